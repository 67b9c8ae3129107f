#include "audio/bridge/FrameRing.h"

#include <algorithm>
#include <cstring>

uint32_t next_power_of_two(uint32_t n) {
    uint32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

FrameRing::FrameRing(uint32_t channels, uint32_t capacityFrames)
    : channels_(channels),
      capacity_(next_power_of_two(std::max<uint32_t>(capacityFrames, 1))),
      mask_(capacity_ - 1),
      samples_(static_cast<size_t>(capacity_) * channels, 0.0f) {}

uint32_t FrameRing::fill() const {
    return static_cast<uint32_t>(write_.load(std::memory_order_acquire) -
                                 read_.load(std::memory_order_acquire));
}

uint32_t FrameRing::push(const float* frames, uint32_t count) {
    const uint64_t w = write_.load(std::memory_order_relaxed);
    const uint64_t r = read_.load(std::memory_order_acquire);
    const uint32_t space = capacity_ - static_cast<uint32_t>(w - r);
    const uint32_t n = std::min(count, space);
    if (n < count) lostOnPush_.fetch_add(count - n, std::memory_order_relaxed);
    if (n == 0) return 0;

    const uint32_t start = static_cast<uint32_t>(w) & mask_;
    const uint32_t first = std::min(n, capacity_ - start);
    std::memcpy(&samples_[static_cast<size_t>(start) * channels_], frames,
                static_cast<size_t>(first) * channels_ * sizeof(float));
    std::memcpy(&samples_[0], frames + static_cast<size_t>(first) * channels_,
                static_cast<size_t>(n - first) * channels_ * sizeof(float));
    write_.store(w + n, std::memory_order_release);
    return n;
}

uint32_t FrameRing::pop(float* out, uint32_t count) {
    const uint64_t r = read_.load(std::memory_order_relaxed);
    const uint64_t w = write_.load(std::memory_order_acquire);
    const uint32_t n = std::min(count, static_cast<uint32_t>(w - r));
    const uint32_t start = static_cast<uint32_t>(r) & mask_;
    const uint32_t first = std::min(n, capacity_ - start);
    std::memcpy(out, &samples_[static_cast<size_t>(start) * channels_],
                static_cast<size_t>(first) * channels_ * sizeof(float));
    std::memcpy(out + static_cast<size_t>(first) * channels_, &samples_[0],
                static_cast<size_t>(n - first) * channels_ * sizeof(float));
    read_.store(r + n, std::memory_order_release);
    return n;
}

uint32_t FrameRing::discard(uint32_t count) {
    const uint64_t r = read_.load(std::memory_order_relaxed);
    const uint64_t w = write_.load(std::memory_order_acquire);
    const uint32_t n = std::min(count, static_cast<uint32_t>(w - r));
    read_.store(r + n, std::memory_order_release);
    return n;
}
