#pragma once
// Program-wide settings and state, used by name from every subsystem. Defined once, in
// MoravelConsole.cpp.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <soundtouch/SoundTouch.h>

#include "app/RelaxedAtomic.h"
#include "audio/AudioLayer.h"
#include "audio/NoiseSuppressor.h"
#include "config/PortableConfig.h"
#include "effects/EffectBassTreble.h"
#include "ui/MenuItem.h"

// Sizes of the fixed per-block work buffers.
constexpr int kOriginalVoiceSamples = 10240;
constexpr int kBassTrebleBufferFrames = 10000;
constexpr int kNoiseQueueSamples = 4800;
constexpr int kChainPositions = 4;

// ---- User settings: written by the main thread only, read by the audio callback. ----
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

// ---- Device choice (main thread only). ----
extern int32_t gl_deviceCaptureId;
extern int32_t gl_devicePlayId;
extern bool gl_enable_stereo;
extern std::string gl_CurrentCaptureDeviceName;
extern std::string gl_CurrentPlaybackDeviceName;

// ---- Program flow. ----
extern bool gl_Working;

// ---- Audio engine objects and flags. ----
extern AudioContext gl_context;
extern AudioDeviceInfo* gl_pPlaybackDeviceInfos;
extern uint32_t gl_playbackDeviceCount;
extern AudioDeviceInfo* gl_pCaptureDeviceInfos;
extern uint32_t gl_captureDeviceCount;
extern AudioDeviceConfig gl_deviceConfig;
extern AudioDevice gl_device;
extern bool isSetupReady;
extern bool gl_soundTouchInitialized;
extern bool gl_ChannelConversionInitialized;
extern ChannelConverter gl_converter;
extern uint32_t gl_channelCount;

// ---- Processing state, owned by the callback's stages. ----
extern float originalInputVoice[kOriginalVoiceSamples];
extern uint32_t SS_Microphone_SilanceCount;

extern EffectBassTreble gl_BassTreble_1;
extern EffectBassTreble gl_BassTreble_2;
extern float gl_BassTreble_Buffer_1[kBassTrebleBufferFrames];
extern float gl_BassTreble_Buffer_2[kBassTrebleBufferFrames];

extern float m_noiseBufferInput[kNoiseQueueSamples];
extern float m_noiseBufferOutput[kNoiseQueueSamples];
extern int32_t m_noiseBufferInputSize;
extern int32_t m_noiseBufferOutputSize;
extern DenoiseState* gl_DenoiseState_1;
extern DenoiseState* gl_DenoiseState_2;

extern soundtouch::SoundTouch soundTouch[kChainPositions];

extern float* gl_soundFreq;
extern int32_t gl_soundFreqTotal;
extern int32_t gl_soundFreqIdx_1;
extern int32_t gl_soundFreqIdx_2;
extern int32_t gl_soundFreqIdx_3;
extern int32_t gl_soundFreqIdx_4;

extern float* gl_fragmentBuffer1;
extern float* gl_fragmentBuffer2;
extern int32_t gl_fragmentBufferIdx1[kChainPositions];
extern int32_t gl_fragmentBufferIdx2[kChainPositions];
extern int32_t SS_FRAGMENT_BUFFER_SIZE;

extern float* SS_Voice_Buffer;
extern int32_t SS_VOICE_BUFFER_SIZE;
extern int32_t SS_voiceStart[kChainPositions];

extern float SS_VariablePitch_Value[kChainPositions];
extern float SS_VariablePitch_Value_Offset[kChainPositions];
extern int32_t SS_VariableTempValue[kChainPositions];

extern float* SS_EffectBuffer;
extern int32_t SS_ECHO_EFFECT_SIZE;
extern int32_t SS_effectStart;
extern int32_t SS_reverseStart;

// ---- Menus and the configuration store. ----
extern std::vector<MenuItem> glMAIN_MENU;
extern std::vector<MenuItem> glVOICE_MENU;
extern std::vector<MenuItem> glEFFECTS_MENU;
extern std::vector<MenuItem> glAUDIOSETTINGS_MENU;
extern std::vector<MenuItem> glHELP_MENU;

extern std::vector<PortableItem> gl_PortableConfig;
extern std::string glPortableConfiguration;
extern std::mutex m_CriticalPortableSave;

// The body of main (src/app/Lifecycle.cpp): start-up, the menus, shutdown, the goodbye screen.
int MoravelConsoleMain();
