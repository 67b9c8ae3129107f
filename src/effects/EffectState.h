#pragma once
// The state the voice effects, the sound effects and the bass/treble stage keep between blocks.
// Only the audio callback touches it, except that the processing-state lifecycle
// (src/audio/ProcessingState) builds, releases and resets it while no device runs. Defined in
// src/app/MoravelConsole.cpp.
#include <cstdint>

#include <soundtouch/SoundTouch.h>

#include "effects/EffectBassTreble.h"

// Positions of the voice effect chain; each has its own pitch processor and effect state.
constexpr int kChainPositions = 4;
// Frames each bass/treble work buffer holds.
constexpr int kBassTrebleBufferFrames = 10000;

extern soundtouch::SoundTouch soundTouch[kChainPositions];

extern EffectBassTreble gl_BassTreble_1;
extern EffectBassTreble gl_BassTreble_2;
extern float gl_BassTreble_Buffer_1[kBassTrebleBufferFrames];
extern float gl_BassTreble_Buffer_2[kBassTrebleBufferFrames];

// Robot: one sine period and a phase per chain position.
extern float* gl_soundFreq;
extern int32_t gl_soundFreqTotal;
extern int32_t gl_soundFreqIdx_1;
extern int32_t gl_soundFreqIdx_2;
extern int32_t gl_soundFreqIdx_3;
extern int32_t gl_soundFreqIdx_4;

// Alien: two alternating fragment buffers.
extern float* gl_fragmentBuffer1;
extern float* gl_fragmentBuffer2;
extern int32_t gl_fragmentBufferIdx1[kChainPositions];
extern int32_t gl_fragmentBufferIdx2[kChainPositions];
extern int32_t SS_FRAGMENT_BUFFER_SIZE;

// Clone: the delay line.
extern float* SS_Voice_Buffer;
extern int32_t SS_VOICE_BUFFER_SIZE;
extern int32_t SS_voiceStart[kChainPositions];

// Mutation and Atari: the sweeping and stepping pitch.
extern float SS_VariablePitch_Value[kChainPositions];
extern float SS_VariablePitch_Value_Offset[kChainPositions];
extern int32_t SS_VariableTempValue[kChainPositions];

// The sound effects' shared delay buffer.
extern float* SS_EffectBuffer;
extern int32_t SS_ECHO_EFFECT_SIZE;
extern int32_t SS_effectStart;
extern int32_t SS_reverseStart;
