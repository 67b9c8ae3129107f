#pragma once
// The audio engine's program-wide objects: the context and its device lists, the device choice,
// the duplex device and its flags, and the state the callback pipeline keeps between blocks.
// The main thread writes the device objects only while no device runs; the callback owns the
// rest. Defined in src/app/MoravelConsole.cpp.
#include <cstdint>
#include <string>

#include "audio/layer/AudioLayer.h"

// Samples of the copy of the unprocessed block that "Append original voice" mixes back.
constexpr int kOriginalVoiceSamples = 10240;

extern AudioContext gl_context;
extern AudioDeviceInfo* gl_pPlaybackDeviceInfos;
extern uint32_t gl_playbackDeviceCount;
extern AudioDeviceInfo* gl_pCaptureDeviceInfos;
extern uint32_t gl_captureDeviceCount;

// The device choice (main thread only).
extern int32_t gl_deviceCaptureId;
extern int32_t gl_devicePlayId;
extern bool gl_enable_stereo;
extern std::string gl_CurrentCaptureDeviceName;
extern std::string gl_CurrentPlaybackDeviceName;

extern AudioDeviceConfig gl_deviceConfig;
extern AudioDevice gl_device;
extern bool isSetupReady;
// The callback's processing state fits the running device; false makes the callback build it
// on its next block (src/audio/ProcessingState).
extern bool gl_soundTouchInitialized;
extern bool gl_ChannelConversionInitialized;
extern ChannelConverter gl_converter;
extern uint32_t gl_channelCount;

extern float originalInputVoice[kOriginalVoiceSamples];
extern uint32_t SS_Microphone_SilanceCount;
