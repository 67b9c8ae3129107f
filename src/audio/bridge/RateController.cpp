#include "audio/bridge/RateController.h"

#include <algorithm>
#include <cmath>

RateController::RateController(uint32_t sampleRate, uint32_t blockFrames, uint32_t targetFrames)
    : RateController(sampleRate, blockFrames, targetFrames, Tuning{}) {}

RateController::RateController(uint32_t sampleRate, uint32_t blockFrames, uint32_t targetFrames,
                               const Tuning& tuning)
    : rate_(std::max<uint32_t>(sampleRate, 1)),
      blockFrames_(blockFrames),
      target_(targetFrames),
      tuning_(tuning) {
    tuning_.windowBlocks = std::clamp<uint32_t>(tuning_.windowBlocks, 1, kMaxWindowBlocks);
}

void RateController::reset() {
    ratio_ = 1.0;
    integral_ = 0.0;
    blocksInWindow_ = 0;
}

double RateController::clampDeviation(double deviation) const {
    return std::clamp(deviation, -tuning_.maxDeviation, tuning_.maxDeviation);
}

double RateController::update(int64_t spareFrames) {
    leastSpare_ = blocksInWindow_ == 0 ? spareFrames : std::min(leastSpare_, spareFrames);
    spareSum_ = blocksInWindow_ == 0 ? spareFrames : spareSum_ + spareFrames;
    readings_[blocksInWindow_] = spareFrames;
    if (++blocksInWindow_ < tuning_.windowBlocks) return ratio_;
    const int64_t measured = tuning_.followMean ? spareSum_ / tuning_.windowBlocks : leastSpare_;
    if (settling_ && settleSkip_) {
        // The break and the refill fall in this window: the level it measured is none of them.
        settleSkip_ = false;
        blocksInWindow_ = 0;
        return ratio_;
    }
    if (settling_) {
        // By the window's median: a single reading far off (a server's report, the start of the
        // next stall) would have the controller build up delay that is not there, or work off
        // one that is, at the ratio's limit.
        settling_ = false;
        int64_t* const middle = readings_.data() + tuning_.windowBlocks / 2;
        std::nth_element(readings_.data(), middle, readings_.data() + tuning_.windowBlocks);
        target_ = static_cast<uint32_t>(std::max<int64_t>(*middle, target_));
    }

    // One window of blocks has passed: its length in seconds, and how far off the spare (its
    // least or its mean) was, in seconds of audio.
    const double window = static_cast<double>(tuning_.windowBlocks) * blockFrames_ / rate_;
    const double error = static_cast<double>(measured - static_cast<int64_t>(target_)) / rate_;
    const double proportional = error / tuning_.settleSeconds;
    // Critically damped: the integral's gain is a quarter of the square of the proportional's.
    const double integralGain = 0.25 / (tuning_.settleSeconds * tuning_.settleSeconds);
    const double integral = clampDeviation(integral_ + integralGain * error * window);
    // A large error is not the clocks' difference but a level being worked off (a surplus from
    // the start, a burst, a server that refilled after running dry): learning it would hold the
    // ratio off for tens of seconds afterwards. The clocks' difference shows as a small error
    // that persists while the target stands still.
    if (std::fabs(proportional) <= tuning_.maxDeviation / 10 && !targetMoved_) integral_ = integral;
    targetMoved_ = false;
    ratio_ = 1.0 + clampDeviation(proportional + integral_);
    blocksInWindow_ = 0;
    return ratio_;
}
