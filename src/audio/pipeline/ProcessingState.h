#pragma once
#include <cstdint>

namespace soundtouch {
class SoundTouch;
}

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

// The lifecycle of the callback's processing state (the effects' buffers and pitch processors,
// the noise suppressors, the bass/treble filters, the pipeline's own state), in one place for the
// device set-up, the offline renderer and the tests. gl_soundTouchInitialized says whether it
// has been built for the running device.

// Built on the first block after a device set-up: channel count, pitch processors, sine table,
// fragment, delay and effect buffers, noise suppressor states and the bass/treble filters with
// the current gains. Sets gl_soundTouchInitialized. For a device it cannot serve (no channels,
// more than the pitch processors take, rate 0), or when a buffer cannot be allocated, nothing
// is changed and false is returned; the block then plays unprocessed and the next block tries
// again.
bool InitializeProcessingState(uint32_t channels, uint32_t sampleRate);

// The start configuration of one pitch processor: stereo at 48 kHz, no tempo or rate change, the
// anti-alias filter on, 40 ms sequences, 15 ms seek window, 8 ms overlap, 12 semitones up.
void ConfigurePitchProcessor(soundtouch::SoundTouch& processor);

// The sweeping and stepping pitch state and the four pitch processors back to their start
// configuration; every device set-up does this before its device runs.
void ResetPitchEffects();

// Releases what a device's first block allocated (the noise suppressor states, the sine table,
// the fragment buffers and the delay line; the sound effects' buffer is replaced at the next
// build). Only while no device runs.
void ReleaseProcessingState();

// Everything back to before any device ran: no buffers, no suppressor states, positions and
// queues at their start, pitch processors emptied and configured as a set-up leaves them,
// gl_soundTouchInitialized and the channel converter cleared. For an offline render and for
// tests; only while no device runs.
void ResetProcessingState();
