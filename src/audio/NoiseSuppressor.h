#pragma once
// The noise suppressor behind three calls: a per-channel state, one 480-sample frame on the
// 16-bit scale processed from in to out (they may be the same array), and destruction.
struct DenoiseState;

constexpr int kDenoiseFrameSize = 480;

DenoiseState* denoise_create(int sampleRate);
void denoise_process_frame(DenoiseState* state, float* out, const float* in);
void denoise_destroy(DenoiseState* state);
