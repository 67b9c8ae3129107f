#pragma once
// A lock-free single-producer / single-consumer ring of interleaved float frames. The capture
// thread pushes, the playback thread pops; memory is allocated once at construction.
//
// The consumer keeps the fill near one period: a pop that finds more than `highWater` frames
// waiting first drops the oldest ones down to `target`, so the delay through the ring cannot
// drift upward however the two device clocks differ. A pop that finds too few frames fills
// the rest with silence. Only the consumer moves the read index and only the producer moves
// the write index, so neither side ever waits for the other.
//
// Below the high water the delay still depends on how the two devices happened to start
// against each other. With trimming on, the consumer watches the frames left over after each
// pop; when even the smallest leftover of a whole window of pops exceeds `slack`, that steady
// surplus is only delay, and the oldest frames beyond `slack` are dropped once.
#include <atomic>
#include <cstdint>
#include <vector>

class FrameRing {
public:
    // capacityFrames is rounded up to a power of two.
    FrameRing(uint32_t channels, uint32_t capacityFrames, uint32_t highWater, uint32_t target);

    // Producer side. Returns the frames stored; frames that do not fit are lost (counted).
    uint32_t push(const float* frames, uint32_t count);

    struct PopResult {
        uint32_t copied = 0;   // frames taken from the ring
        uint32_t dropped = 0;  // oldest frames discarded above the high water
        uint32_t trimmed = 0;  // oldest frames discarded as steady surplus
    };

    // Trims the surplus above `slack` frames once per `windowPops` pops (0: never).
    void setTrimming(uint32_t windowPops, uint32_t slack);
    // Consumer side. Always writes `count` frames to `out`; the ones missing are silence.
    PopResult pop(float* out, uint32_t count);

    // Frames waiting; exact only on the consumer's or producer's own thread.
    uint32_t fill() const;
    uint32_t capacity() const { return capacity_; }
    uint32_t channels() const { return channels_; }
    uint64_t lostOnPush() const { return lostOnPush_.load(std::memory_order_relaxed); }

private:
    uint32_t channels_;
    uint32_t capacity_;
    uint32_t mask_;
    uint32_t highWater_;
    uint32_t target_;
    std::vector<float> samples_;
    // Trimming state, the consumer's alone.
    uint32_t trimWindow_ = 0;
    uint32_t trimSlack_ = 0;
    uint32_t popsInWindow_ = 0;
    int64_t leastLeftover_ = INT64_MAX;
    // Free-running frame counters; their difference is the fill.
    alignas(64) std::atomic<uint64_t> write_{0};
    alignas(64) std::atomic<uint64_t> read_{0};
    std::atomic<uint64_t> lostOnPush_{0};
};

// The smallest power of two that is at least n (n >= 1).
uint32_t next_power_of_two(uint32_t n);
