#pragma once
#include <cstdint>

// The noise suppressor behind three calls: a per-channel state, one 480-sample frame on the
// 16-bit scale processed from in to out (they may be the same array), and destruction.
struct DenoiseState;

constexpr int kDenoiseFrameSize = 480;

DenoiseState* denoise_create(int sampleRate);
void denoise_process_frame(DenoiseState* state, float* out, const float* in);
void denoise_destroy(DenoiseState* state);

// A sample on the 16-bit scale as the suppressor takes it: rounded to the nearest integer and
// saturated to [-32768, 32767]; NaN becomes 0.
int16_t DenoiseSampleToInt16(float sample);
