#include "audio/pipeline/SensitivityGate.h"

#include <algorithm>
#include <cstdint>

float FirstChannelPeak(const float* block, unsigned int frames, unsigned int channels) {
    float highest = 0.0f;
    float lowest = 0.0f;
    for (unsigned int f = 0; f < frames; ++f) {
        const float sample = block[static_cast<unsigned long>(f) * channels];
        highest = std::max(highest, sample);  // branch-free; a NaN sample is passed over
        lowest = std::min(lowest, sample);
    }
    return highest > -lowest ? highest : -lowest;
}

bool SensitivityGateCloses(float threshold, float peak, uint32_t& quietBlocks) {
    if (!(threshold > 0.0f)) return false;
    if (threshold > peak) {
        if (quietBlocks < UINT32_MAX) ++quietBlocks;  // a gate closed for months stays closed
        return quietBlocks > kGateQuietBlocksPassed;
    }
    quietBlocks = 0;
    return false;
}
