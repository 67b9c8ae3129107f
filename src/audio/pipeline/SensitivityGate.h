#pragma once
#include <cstdint>

// Quiet blocks that still pass before the gate closes.
constexpr uint32_t kGateQuietBlocksPassed = 10;

// Peak magnitude of the first channel of an interleaved block: the larger of the largest
// positive sample and the negated most negative one (both start at 0).
float FirstChannelPeak(const float* block, unsigned int frames, unsigned int channels);

// One block's step of the microphone gate. A threshold of 0 or less switches the gate off and
// leaves the count alone. A peak below the threshold counts one more quiet block; a peak that
// reaches it resets the count. True when the block is to be silenced.
bool SensitivityGateCloses(float threshold, float peak, uint32_t& quietBlocks);
