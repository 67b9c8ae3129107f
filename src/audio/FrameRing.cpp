#include "audio/FrameRing.h"

#include <algorithm>
#include <cstring>

uint32_t next_power_of_two(uint32_t n) {
    uint32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

FrameRing::FrameRing(uint32_t channels, uint32_t capacityFrames, uint32_t highWater,
                     uint32_t target)
    : channels_(channels),
      capacity_(next_power_of_two(std::max<uint32_t>(capacityFrames, 1))),
      mask_(capacity_ - 1),
      highWater_(std::min(highWater, capacity_)),
      target_(std::min(target, highWater_)),
      samples_(static_cast<size_t>(capacity_) * channels, 0.0f) {}

void FrameRing::setTrimming(uint32_t windowPops, uint32_t slack) {
    trimWindow_ = windowPops;
    trimSlack_ = slack;
    popsInWindow_ = 0;
    leastLeftover_ = INT64_MAX;
}

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

FrameRing::PopResult FrameRing::pop(float* out, uint32_t count) {
    PopResult result;
    uint64_t r = read_.load(std::memory_order_relaxed);
    const uint64_t w = write_.load(std::memory_order_acquire);
    uint32_t available = static_cast<uint32_t>(w - r);
    if (available > highWater_) {
        result.dropped = available - target_;
        r += result.dropped;
        available = target_;
        // A window that saw an overrun says nothing about the steady surplus.
        popsInWindow_ = 0;
        leastLeftover_ = INT64_MAX;
    } else if (trimWindow_ > 0) {
        leastLeftover_ = std::min<int64_t>(leastLeftover_, static_cast<int64_t>(available) - count);
        if (++popsInWindow_ >= trimWindow_) {
            if (leastLeftover_ > trimSlack_) {
                result.trimmed = static_cast<uint32_t>(leastLeftover_ - trimSlack_);
                r += result.trimmed;
                available -= result.trimmed;
            }
            popsInWindow_ = 0;
            leastLeftover_ = INT64_MAX;
        }
    }

    const uint32_t n = std::min(count, available);
    const uint32_t start = static_cast<uint32_t>(r) & mask_;
    const uint32_t first = std::min(n, capacity_ - start);
    std::memcpy(out, &samples_[static_cast<size_t>(start) * channels_],
                static_cast<size_t>(first) * channels_ * sizeof(float));
    std::memcpy(out + static_cast<size_t>(first) * channels_, &samples_[0],
                static_cast<size_t>(n - first) * channels_ * sizeof(float));
    std::memset(out + static_cast<size_t>(n) * channels_, 0,
                static_cast<size_t>(count - n) * channels_ * sizeof(float));
    read_.store(r + n, std::memory_order_release);
    result.copied = n;
    return result;
}
