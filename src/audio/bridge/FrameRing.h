#pragma once
// A lock-free single-producer / single-consumer ring of interleaved float frames. The capture
// thread pushes, the playback thread pops; memory is allocated once at construction. Only the
// consumer moves the read index and only the producer moves the write index, so neither side
// ever waits for the other.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameRing {
public:
    // capacityFrames is rounded up to a power of two.
    FrameRing(uint32_t channels, uint32_t capacityFrames);

    // Producer side. Returns the frames stored; frames that do not fit are lost (counted).
    uint32_t push(const float* frames, uint32_t count);

    // Consumer side: copies up to `count` of the oldest frames to `out` and returns how many.
    uint32_t pop(float* out, uint32_t count);
    // Consumer side: forgets up to `count` of the oldest frames; returns how many.
    uint32_t discard(uint32_t count);
    // Consumer side: the waiting frame `index` frames after the oldest (index < fill()), its
    // channels in a row; the consumer may change it before it is popped.
    float* waitingFrame(uint32_t index) {
        const uint64_t at = read_.load(std::memory_order_relaxed) + index;
        return &samples_[static_cast<size_t>(static_cast<uint32_t>(at) & mask_) * channels_];
    }

    // Frames waiting; exact only on the consumer's or producer's own thread.
    uint32_t fill() const;
    uint32_t capacity() const { return capacity_; }
    uint32_t channels() const { return channels_; }
    uint64_t lostOnPush() const { return lostOnPush_.load(std::memory_order_relaxed); }

private:
    uint32_t channels_;
    uint32_t capacity_;
    uint32_t mask_;
    std::vector<float> samples_;
    // Free-running frame counters; their difference is the fill.
    alignas(64) std::atomic<uint64_t> write_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
    std::atomic<uint64_t> lostOnPush_{0};
};

// The smallest power of two that is at least n (n >= 1).
uint32_t next_power_of_two(uint32_t n);
