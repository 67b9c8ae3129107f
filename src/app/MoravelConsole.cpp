// The program-wide objects, defined once in the order the program needs them. Each is declared
// by the subsystem that owns it.
#include <mutex>
#include <string>
#include <vector>

#include "audio/EngineState.h"
#include "audio/setup/DeviceWatch.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "config/PortableConfig.h"
#include "config/UserSettings.h"
#include "effects/EffectState.h"
#include "ui/Menus.h"

// Objects with constructors, in construction order; they are destroyed in reverse.
soundtouch::SoundTouch soundTouch[kChainPositions];
EffectBassTreble gl_BassTreble_1;
EffectBassTreble gl_BassTreble_2;
std::string gl_CurrentCaptureDeviceName;
std::string gl_CurrentPlaybackDeviceName;
LostDevice gl_LostDevice;
std::vector<MenuItem> glMAIN_MENU;
std::vector<MenuItem> glVOICE_MENU;
std::vector<MenuItem> glEFFECTS_MENU;
std::vector<MenuItem> glAUDIOSETTINGS_MENU;
std::vector<MenuItem> glHELP_MENU;
std::vector<PortableItem> gl_PortableConfig;
std::string glPortableConfiguration;
std::mutex m_CriticalPortableSave;

// User settings; LoadConfiguration replaces these start values before any menu exists.
RelaxedAtomic<bool> SS_MORAVEL_ACTIVE{false};
RelaxedAtomic<int8_t> SS_VavorOzodediEffect{0};
RelaxedAtomic<int32_t> SS_EffectType{0};
RelaxedAtomic<float> SS_Manual_Pitch{0.0f};
RelaxedAtomic<float> SS_Microphone_Sensivity{0.0f};
RelaxedAtomic<float> gl_bass{0.0f};
RelaxedAtomic<float> gl_treble{0.0f};
RelaxedAtomic<bool> overlapOriginalVoice{false};
RelaxedAtomic<bool> SS_EnableNoiseRemoval{false};
RelaxedAtomic<int8_t> SS_ChainEffect_1{0};
RelaxedAtomic<int8_t> SS_ChainEffect_2{0};
RelaxedAtomic<int8_t> SS_ChainEffect_3{0};
RelaxedAtomic<int8_t> SS_ChainEffect_4{0};

int32_t gl_deviceCaptureId = -1;
int32_t gl_devicePlayId = -1;
bool gl_enable_stereo = false;

bool gl_Working = true;

AudioContext gl_context;
AudioDeviceInfo* gl_pPlaybackDeviceInfos = nullptr;
uint32_t gl_playbackDeviceCount = 0;
AudioDeviceInfo* gl_pCaptureDeviceInfos = nullptr;
uint32_t gl_captureDeviceCount = 0;
AudioDeviceConfig gl_deviceConfig;
AudioDevice gl_device;
bool isSetupReady = false;
bool gl_soundTouchInitialized = false;
bool gl_ChannelConversionInitialized = false;
ChannelConverter gl_converter;
uint32_t gl_channelCount = 0;

float originalInputVoice[kOriginalVoiceSamples];
uint32_t SS_Microphone_SilanceCount = 0;
float gl_BassTreble_Buffer_1[kBassTrebleBufferFrames];
float gl_BassTreble_Buffer_2[kBassTrebleBufferFrames];

float m_noiseBufferInput[kNoiseQueueSamples];
float m_noiseBufferOutput[kNoiseQueueSamples];
int32_t m_noiseBufferInputSize = 0;
int32_t m_noiseBufferOutputSize = 0;
DenoiseState* gl_DenoiseState_1 = nullptr;
DenoiseState* gl_DenoiseState_2 = nullptr;

float* gl_soundFreq = nullptr;
int32_t gl_soundFreqTotal = 0;
int32_t gl_soundFreqIdx_1 = 0;
int32_t gl_soundFreqIdx_2 = 0;
int32_t gl_soundFreqIdx_3 = 0;
int32_t gl_soundFreqIdx_4 = 0;

float* gl_fragmentBuffer1 = nullptr;
float* gl_fragmentBuffer2 = nullptr;
int32_t gl_fragmentBufferIdx1[kChainPositions];
int32_t gl_fragmentBufferIdx2[kChainPositions];
int32_t SS_FRAGMENT_BUFFER_SIZE = 0;

float* SS_Voice_Buffer = nullptr;
int32_t SS_VOICE_BUFFER_SIZE = 0;
int32_t SS_voiceStart[kChainPositions];

float SS_VariablePitch_Value[kChainPositions];
float SS_VariablePitch_Value_Offset[kChainPositions];
int32_t SS_VariableTempValue[kChainPositions];

float* SS_EffectBuffer = nullptr;
int32_t SS_ECHO_EFFECT_SIZE = 0;
int32_t SS_effectStart = 0;
int32_t SS_reverseStart = -1;
