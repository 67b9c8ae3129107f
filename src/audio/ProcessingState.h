#pragma once
#include <cstdint>

// Lengths (in floats) of the processing buffers for C channels at R Hz.
struct ProcessingSizes {
    int32_t sineTable;     // one sine period, R / 25 entries (25 Hz at one entry per frame)
    int32_t fragment;      // each of the two fragment buffers
    int32_t voiceBuffer;   // the Clone delay line
    int32_t echoSize;      // the sound effects' base ring length
    int32_t effectBuffer;  // the sound effects' shared delay buffer
};
ProcessingSizes ComputeProcessingSizes(uint32_t channels, uint32_t sampleRate);

// One sine period of `length` entries: the phase increment is computed in extended precision
// and stored as a float, the phase is summed in single precision.
void FillSineTable(float* table, int32_t length);

// The callback's set-up on the first block after a device set-up: channel count, pitch
// processors, sine table, fragment, delay and effect buffers, noise suppressor states and the
// bass/treble filters with the current gains. Sets gl_soundTouchInitialized. For a device it
// cannot serve (no channels, more than the pitch processors take, rate 0), or when a buffer
// cannot be allocated, nothing is changed and false is returned; the block then plays
// unprocessed and the next block tries again.
bool InitializeProcessingState(uint32_t channels, uint32_t sampleRate);
