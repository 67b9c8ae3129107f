#pragma once
// Keeps the captured frames that wait for the playback side near a target, against two device
// clocks that never quite agree, by a tiny change of the resampling ratio instead of dropping
// or repeating audio. The ratio is input frames taken per output frame: above 1 the waiting
// frames shrink, below 1 they grow.
//
// The measure is the least number of frames left waiting beyond a block over a window of
// blocks: the capture side delivers in chunks and the least is what guards against running
// dry. Once per window a proportional-integral step moves the ratio; the integral learns the
// clocks' steady difference, the proportional part removes what is off now. Pure arithmetic:
// no clock, no thread, no allocation.
#include <array>
#include <cstdint>

class RateController {
public:
    static constexpr uint32_t kMaxWindowBlocks = 100;
    struct Tuning {
        uint32_t windowBlocks = 50;      // blocks per measurement (0.5 s of 10 ms blocks)
        double settleSeconds = 1.0;      // an error of x seconds asks for a ratio of 1 + x / this
        double maxDeviation = 0.005;     // |ratio - 1| never exceeds this (0.5 %, 8.6 cents)
        // Follow the window's mean instead of its least: for a reserve that a sound server
        // holds, whose single low readings say more about when it was asked than what it held.
        bool followMean = false;
    };

    RateController(uint32_t sampleRate, uint32_t blockFrames, uint32_t targetFrames);
    RateController(uint32_t sampleRate, uint32_t blockFrames, uint32_t targetFrames,
                   const Tuning& tuning);

    // Before each block: the frames that will be left waiting once this block has taken its
    // own. Returns the ratio to use from now on.
    double update(int64_t spareFrames);
    // Forgets the window and the learnt clock difference.
    void reset();
    // Forgets the window and the correction it asked for, keeping the learnt clock difference:
    // what it saw no longer says anything (the capture side ran dry and the target is being
    // waited for again).
    void restartWindow() {
        blocksInWindow_ = 0;
        ratio_ = 1.0 + integral_;
    }

    // Moves the target; the learnt clock difference stays.
    void setTarget(uint32_t targetFrames) {
        targetMoved_ = targetMoved_ || targetFrames != target_;
        target_ = targetFrames;
    }
    // Forgets the window and its correction, and takes what the second whole window from now
    // measures (its median) as the target if that is higher: after a break that refilled more
    // than the target, the level it left is kept rather than taken back by a jump in pitch.
    void settleAfterBreak() {
        restartWindow();
        settling_ = true;
        settleSkip_ = true;
    }

    // A settle asked for has not yet measured its window.
    bool settling() const { return settling_; }
    double ratio() const { return ratio_; }
    uint32_t targetFrames() const { return target_; }

private:
    double clampDeviation(double deviation) const;

    uint32_t rate_;
    uint32_t blockFrames_;
    uint32_t target_;
    Tuning tuning_;
    double ratio_ = 1.0;
    double integral_ = 0.0;  // the learnt clock difference, as a deviation of the ratio
    uint32_t blocksInWindow_ = 0;
    bool settling_ = false;
    bool settleSkip_ = false;  // the settle's first window is still going
    bool targetMoved_ = false;  // within this window: its error is the move, not the clocks
    int64_t leastSpare_ = 0;
    int64_t spareSum_ = 0;
    std::array<int64_t, kMaxWindowBlocks> readings_{};  // the window's, for its median
};
