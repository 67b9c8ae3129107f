#pragma once
// The user settings: written by the main thread only (the menus, the settings file), read by
// the audio callback on every block. Defined in src/app/MoravelConsole.cpp.
#include <cstdint>

#include "config/RelaxedAtomic.h"

extern RelaxedAtomic<bool> SS_MORAVEL_ACTIVE;
extern RelaxedAtomic<int8_t> SS_VavorOzodediEffect;
extern RelaxedAtomic<int32_t> SS_EffectType;
extern RelaxedAtomic<float> SS_Manual_Pitch;
extern RelaxedAtomic<float> SS_Microphone_Sensivity;
extern RelaxedAtomic<float> gl_bass;
extern RelaxedAtomic<float> gl_treble;
extern RelaxedAtomic<bool> overlapOriginalVoice;
extern RelaxedAtomic<bool> SS_EnableNoiseRemoval;
extern RelaxedAtomic<int8_t> SS_ChainEffect_1;
extern RelaxedAtomic<int8_t> SS_ChainEffect_2;
extern RelaxedAtomic<int8_t> SS_ChainEffect_3;
extern RelaxedAtomic<int8_t> SS_ChainEffect_4;
