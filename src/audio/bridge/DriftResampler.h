#pragma once
// A resampler for ratios a hair away from 1, as two device clocks need: windowed-sinc
// interpolation of 32 taps from a table of 256 phases, blended linearly between neighbours.
// The position runs in 32.32 fixed point, so the ratio can change at every call without a
// rounding drift, and the caller knows exactly how many input frames the next outputs take:
// nothing is held back inside beyond the filter's own half-length. All memory is allocated at
// construction.
#include <cstdint>
#include <vector>

class DriftResampler {
public:
    static constexpr uint32_t kTaps = 32;
    static constexpr uint32_t kPhases = 256;

    // `maxInputFrames`: the most input one call to `process` may be given.
    DriftResampler(uint32_t channels, uint32_t maxInputFrames);

    // Input frames that must have been added before `outputs` more frames can be made at
    // `ratio` (input frames per output frame).
    uint32_t inputNeeded(uint32_t outputs, double ratio) const;
    // Appends input frames; returns how many fitted (all, when the caller adds what
    // inputNeeded asks).
    uint32_t add(const float* frames, uint32_t count);
    // Makes up to `outputs` frames at `ratio` from the input added so far; returns how many.
    uint32_t process(float* out, uint32_t outputs, double ratio);
    // Input frames added but not yet used up.
    uint32_t pending() const { return filled_ - static_cast<uint32_t>(position_ >> 32); }

    // The filter coefficient of tap `tap` at phase `phase` (0 = the output lies on an input
    // frame); pure, for tests.
    static float Coefficient(uint32_t phase, uint32_t tap);

private:
    static uint64_t ToFixed(double ratio);

    uint32_t channels_;
    uint32_t capacity_;
    std::vector<float> table_;   // (kPhases + 1) x kTaps
    std::vector<float> buffer_;  // capacity_ frames of input, the oldest first
    std::vector<float> kernel_;  // kTaps, the blend for one output
    uint32_t filled_;            // frames in buffer_
    uint64_t position_;          // where the next output lies, 32.32 frames into buffer_
};
