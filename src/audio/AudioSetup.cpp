// Bringing the audio engine up and down: the context and device lists, the device dialog, the
// duplex device, and the release of what the processing callback allocated.
#include "audio/AudioSetup.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/MoravelState.h"
#include "audio/DeviceChoice.h"
#include "audio/NoiseSuppressor.h"
#include "audio/ProcessingCallback.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"
#include "ui/Banner.h"
#include "ui/InputCompleteness.h"
#include "ui/terminal/Terminal.h"

namespace {

constexpr int kSetupNoDevices = -2;
// Written after the three device keys: the names the chosen devices had.
constexpr const char* kCaptureNameKey = "DEVICE_CAPTURE_NAME";
constexpr const char* kPlaybackNameKey = "DEVICE_PLAYBACK_NAME";

void write_out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void configure_pitch_processor(soundtouch::SoundTouch& processor) {
    processor.setChannels(2);
    processor.setSampleRate(48000);
    processor.setTempoChange(0.0);
    processor.setRateChange(0.0);
    processor.setSetting(2, 0);
    processor.setSetting(0, 1);
    processor.setSetting(3, 40);
    processor.setSetting(4, 15);
    processor.setSetting(5, 8);
    processor.setPitchSemiTones(12);
}

// Asks for one index until the answer addresses a device.
void prompt_device(const Term::Terminal& terminal, const char* kind, uint32_t count,
                   int32_t& index, std::vector<std::string>& history,
                   std::function<bool(std::string)>& complete) {
    const int32_t fallback = index;
    do {
        if (!is_valid_device_index(index, count)) index = fallback;
        const std::string answer =
            Term::prompt_multiline(terminal, device_prompt(kind, index), history, complete);
        index = device_from_answer(answer, index);
    } while (!is_valid_device_index(index, count));
}

// The device dialog.
void run_device_dialog(const Term::Terminal& terminal) {
    write_out("Capture Devices [Usually you have to select your physical microphone device]\n");
    gl_deviceCaptureId =
        offered_capture_index(gl_pCaptureDeviceInfos, gl_captureDeviceCount, gl_deviceCaptureId);
    write_out(device_listing(gl_pCaptureDeviceInfos, gl_captureDeviceCount));

    std::vector<std::string> history;
    std::function<bool(std::string)> complete = [](std::string text) {
        return determine_completeness(std::move(text));
    };
    prompt_device(terminal, "capture", gl_captureDeviceCount, gl_deviceCaptureId, history,
                  complete);

    write_out("\nPlayback Devices [Usually you have to select your virtual audio/cable device]\n");
    gl_devicePlayId =
        offered_playback_index(gl_pPlaybackDeviceInfos, gl_playbackDeviceCount, gl_devicePlayId);
    write_out(device_listing(gl_pPlaybackDeviceInfos, gl_playbackDeviceCount));
    prompt_device(terminal, "playback", gl_playbackDeviceCount, gl_devicePlayId, history,
                  complete);

    write_out(Term::cursor_on());
    const StereoOptions options = stereo_options(gl_enable_stereo);
    const Term::Result answer =
        Term::prompt("\nEnable stereo microphone?", options.first, options.second, ":", true);
    gl_enable_stereo = stereo_from_answer(answer, gl_enable_stereo);
    write_out(Term::cursor_off());
}

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

void release_context() {
    audio_context_uninit(&gl_context);
    gl_pPlaybackDeviceInfos = nullptr;
    gl_playbackDeviceCount = 0;
    gl_pCaptureDeviceInfos = nullptr;
    gl_captureDeviceCount = 0;
}

template <typename T>
void free_buffer(T*& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

}  // namespace

int applicationInit() {
    // A set-up that failed after creating the context left it behind; release it so that
    // creating it again does not hold the sound system twice.
    release_context();
    if (audio_context_init(&gl_context) != kAudioSuccess) {
        write_out("Failed to initialize context.\n");
        return -2;
    }
    if (audio_context_get_devices(&gl_context, &gl_pPlaybackDeviceInfos, &gl_playbackDeviceCount,
                                  &gl_pCaptureDeviceInfos,
                                  &gl_captureDeviceCount) != kAudioSuccess) {
        write_out("Failed to retrieve device information.\n");
        return -3;
    }
    ResetPitchEffects();
    return 0;
}

void ResetPitchEffects() {
    for (int i = 0; i < kChainPositions; ++i) {
        SS_VariablePitch_Value[i] = 0.0f;
        SS_VariablePitch_Value_Offset[i] = 0.1f;
        SS_VariableTempValue[i] = 6;
    }
    for (int i = 0; i < kChainPositions; ++i) configure_pitch_processor(soundTouch[i]);
}

namespace {

// The saved value of `key`, or null when the file does not hold it (nothing is added).
const std::string* SavedText(const char* key, std::string& text) {
    const int index = Portable_HasValue(key);
    if (index < 0) return nullptr;
    text = DecodeConfigText(gl_PortableConfig[static_cast<size_t>(index)].value);
    return &text;
}

int RunAudioSetup(const Term::Terminal& terminal, bool useSavedDevices) {
    gl_CurrentCaptureDeviceName.clear();
    gl_CurrentPlaybackDeviceName.clear();

    if (isSetupReady) {
        audio_device_uninit(&gl_device);
        applicationClear();
        gl_soundTouchInitialized = false;
        isSetupReady = false;
    }

    if (applicationInit() != 0) return -1;

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

    // Without a device of either kind no index can ever be valid: say so and leave the
    // program in the menus without audio.
    if (gl_captureDeviceCount == 0) {
        write_out("No capture devices found.\n");
        return kSetupNoDevices;
    }
    if (gl_playbackDeviceCount == 0) {
        write_out("No playback devices found.\n");
        return kSetupNoDevices;
    }

    if (!useSavedDevices ||
        !is_valid_device_index(gl_deviceCaptureId, gl_captureDeviceCount) ||
        !is_valid_device_index(gl_devicePlayId, gl_playbackDeviceCount)) {
        run_device_dialog(terminal);
    }

    fill_device_config();
    const int result = audio_device_init(&gl_context, &gl_deviceConfig, &gl_device);
    if (result != kAudioSuccess) {
        write_out("\nCannot init audio device!");
        return result;
    }

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

}  // namespace

int SetupAudioProcessing(bool useSavedDevices) {
    Term::Terminal terminal(true, true, false, true);
    std::string banner;
    menu_add_header(banner);
    write_out(banner + "\n");
    const int result = RunAudioSetup(terminal, useSavedDevices);
    if (result != 0) {
        // The menus would cover the reason at once: it stays until the user has read it.
        write_out("\n\nPress any key to continue.");
        Term::read_key();
    }
    return result;
}

void applicationClear() {
    // Also a context left by a failed set-up: it is released once, here or by the next set-up.
    release_context();
    if (gl_DenoiseState_1 != nullptr) denoise_destroy(gl_DenoiseState_1);
    gl_DenoiseState_1 = nullptr;
    if (gl_DenoiseState_2 != nullptr) denoise_destroy(gl_DenoiseState_2);
    gl_DenoiseState_2 = nullptr;
    free_buffer(gl_soundFreq);
    free_buffer(gl_fragmentBuffer1);
    free_buffer(gl_fragmentBuffer2);
    free_buffer(SS_Voice_Buffer);
}
