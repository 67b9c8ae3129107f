// Bringing the audio engine up and down: the context and device lists, the saved device choice,
// the duplex device, and the release of what the processing callback built.
#include "audio/setup/AudioSetup.h"

#include <cstdlib>
#include <string>

#include "audio/setup/DeviceChoice.h"
#include "audio/EngineState.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "audio/pipeline/ProcessingState.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"

namespace {

// Written after the three device keys: the names the chosen devices had.
constexpr const char* kCaptureNameKey = "DEVICE_CAPTURE_NAME";
constexpr const char* kPlaybackNameKey = "DEVICE_PLAYBACK_NAME";

void fill_device_config() {
    gl_deviceConfig = audio_device_config_init_duplex();
    const uint32_t channels = gl_enable_stereo ? 2 : 1;
    gl_deviceConfig.capture.pDeviceID = &gl_pCaptureDeviceInfos[gl_deviceCaptureId];
    gl_deviceConfig.capture.format = SampleFormat::f32;
    gl_deviceConfig.capture.channels = channels;
    gl_deviceConfig.capture.shareMode = ShareMode::shared;
    gl_deviceConfig.playback.pDeviceID = &gl_pPlaybackDeviceInfos[gl_devicePlayId];
    gl_deviceConfig.playback.format = SampleFormat::f32;
    gl_deviceConfig.playback.channels = channels;
    gl_deviceConfig.playback.shareMode = ShareMode::shared;
    gl_deviceConfig.dataCallback = data_callback;
}

// The saved value of `key`, or null when the file does not hold it (nothing is added).
const std::string* SavedText(const char* key, std::string& text) {
    const int index = Portable_HasValue(key);
    if (index < 0) return nullptr;
    text = DecodeConfigText(gl_PortableConfig[static_cast<size_t>(index)].value);
    return &text;
}

void release_context() {
    audio_context_uninit(&gl_context);
    gl_pPlaybackDeviceInfos = nullptr;
    gl_playbackDeviceCount = 0;
    gl_pCaptureDeviceInfos = nullptr;
    gl_captureDeviceCount = 0;
}

}  // namespace

int applicationInit() {
    // A set-up that failed after creating the context left it behind; release it so that
    // creating it again does not hold the sound system twice.
    release_context();
    if (audio_context_init(&gl_context) != kAudioSuccess) return -2;
    if (audio_context_get_devices(&gl_context, &gl_pPlaybackDeviceInfos, &gl_playbackDeviceCount,
                                  &gl_pCaptureDeviceInfos,
                                  &gl_captureDeviceCount) != kAudioSuccess) {
        return -3;
    }
    ResetPitchEffects();
    return 0;
}

void CloseAudioDevice() {
    if (!isSetupReady) return;
    audio_device_uninit(&gl_device);
    applicationClear();
    gl_soundTouchInitialized = false;
    isSetupReady = false;
}

void LoadSavedDeviceChoice() {
    gl_deviceCaptureId = std::atoi(PortableReadConfigKey("DEVICE_CAPTURE_IDX", "-1").c_str());
    gl_devicePlayId = std::atoi(PortableReadConfigKey("DEVICE_PLAYBACK_IDX", "-1").c_str());
    gl_enable_stereo = std::atoi(PortableReadConfigKey("ENABLE_STEREO", "0").c_str()) != 0;
    // Positions move when devices come and go; a saved name finds the device wherever it is
    // now, and one that has gone makes the dialog run.
    std::string captureName;
    std::string playbackName;
    gl_deviceCaptureId = saved_device_index(gl_pCaptureDeviceInfos, gl_captureDeviceCount,
                                            gl_deviceCaptureId,
                                            SavedText(kCaptureNameKey, captureName));
    gl_devicePlayId = saved_device_index(gl_pPlaybackDeviceInfos, gl_playbackDeviceCount,
                                         gl_devicePlayId, SavedText(kPlaybackNameKey, playbackName));
}

int OpenChosenDevices() {
    fill_device_config();
    const int result = audio_device_init(&gl_context, &gl_deviceConfig, &gl_device);
    if (result != kAudioSuccess) return result;

    gl_CurrentCaptureDeviceName = gl_pCaptureDeviceInfos[gl_deviceCaptureId].name;
    gl_CurrentPlaybackDeviceName = gl_pPlaybackDeviceInfos[gl_devicePlayId].name;

    PortableSaveConfigKey("DEVICE_CAPTURE_IDX", gl_deviceCaptureId);
    PortableSaveConfigKey("DEVICE_PLAYBACK_IDX", gl_devicePlayId);
    PortableSaveConfigKey("ENABLE_STEREO", std::string(gl_enable_stereo ? "1" : "0"));
    PortableSaveConfigKey(kCaptureNameKey, EncodeConfigText(gl_CurrentCaptureDeviceName));
    PortableSaveConfigKey(kPlaybackNameKey, EncodeConfigText(gl_CurrentPlaybackDeviceName));

    audio_device_start(&gl_device);
    isSetupReady = true;
    return 0;
}

void applicationClear() {
    // Also a context left by a failed set-up: it is released once, here or by the next set-up.
    release_context();
    ReleaseProcessingState();
}
