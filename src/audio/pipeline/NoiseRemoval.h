#pragma once
#include <cstdint>

#include "audio/pipeline/NoiseSuppressor.h"
#include "effects/StageBlock.h"

// Samples each staging queue holds.
constexpr int kNoiseQueueSamples = 4800;

// The stage's state: two queues on the 16-bit scale with their fill levels, and a suppressor
// per channel. Defined in src/app/MoravelConsole.cpp.
extern float m_noiseBufferInput[kNoiseQueueSamples];
extern float m_noiseBufferOutput[kNoiseQueueSamples];
extern int32_t m_noiseBufferInputSize;
extern int32_t m_noiseBufferOutputSize;
extern DenoiseState* gl_DenoiseState_1;
extern DenoiseState* gl_DenoiseState_2;

// Denoises the block's input samples in place (1 or 2 channels). Samples wait in two queues of
// whole suppressor frames, so a block size that is not a multiple of 480 frames comes out later
// than it arrived.
void NoiseRemovalStage(StageBlock& block);

// A captured sample on the suppressor's 16-bit scale: times 32768, limited to [-32768, 32767].
float NoiseQueueSample(float sample);
