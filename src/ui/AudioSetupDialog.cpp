#include "ui/AudioSetupDialog.h"

#include <functional>
#include <vector>

#include "audio/setup/AudioSetup.h"
#include "audio/setup/DeviceChoice.h"
#include "audio/setup/DeviceWatch.h"
#include "audio/EngineState.h"
#include "ui/Banner.h"
#include "ui/InputCompleteness.h"

namespace {

constexpr int kSetupNoDevices = -2;

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
    Term::write("Capture Devices [Usually you have to select your physical microphone device]\n");
    gl_deviceCaptureId =
        offered_capture_index(gl_pCaptureDeviceInfos, gl_captureDeviceCount, gl_deviceCaptureId);
    Term::write(device_listing(gl_pCaptureDeviceInfos, gl_captureDeviceCount));

    std::vector<std::string> history;
    std::function<bool(std::string)> complete = [](std::string text) {
        return determine_completeness(std::move(text));
    };
    prompt_device(terminal, "capture", gl_captureDeviceCount, gl_deviceCaptureId, history,
                  complete);

    Term::write("\nPlayback Devices [Usually you have to select your virtual audio/cable device]\n");
    gl_devicePlayId =
        offered_playback_index(gl_pPlaybackDeviceInfos, gl_playbackDeviceCount, gl_devicePlayId);
    Term::write(device_listing(gl_pPlaybackDeviceInfos, gl_playbackDeviceCount));
    prompt_device(terminal, "playback", gl_playbackDeviceCount, gl_devicePlayId, history,
                  complete);

    Term::write(Term::cursor_on());
    const StereoOptions options = stereo_options(gl_enable_stereo);
    const Term::Result answer =
        Term::prompt("\nEnable stereo microphone?", options.first, options.second, ":", true);
    gl_enable_stereo = stereo_from_answer(answer, gl_enable_stereo);
    Term::write(Term::cursor_off());
}

int RunAudioSetup(const Term::Terminal& terminal, bool useSavedDevices) {
    gl_CurrentCaptureDeviceName.clear();
    gl_CurrentPlaybackDeviceName.clear();
    // A set-up chosen by hand replaces waiting for a lost device.
    gl_LostDevice = LostDevice{};
    CloseAudioDevice();
    switch (applicationInit()) {
        case 0:
            break;
        case -2:
            Term::write("Failed to initialize context.\n");
            return -1;
        default:
            Term::write("Failed to retrieve device information.\n");
            return -1;
    }
    LoadSavedDeviceChoice();

    // Without a device of either kind no index can ever be valid: say so and leave the
    // program in the menus without audio.
    if (gl_captureDeviceCount == 0) {
        Term::write("No capture devices found.\n");
        return kSetupNoDevices;
    }
    if (gl_playbackDeviceCount == 0) {
        Term::write("No playback devices found.\n");
        return kSetupNoDevices;
    }

    if (!useSavedDevices ||
        !is_valid_device_index(gl_deviceCaptureId, gl_captureDeviceCount) ||
        !is_valid_device_index(gl_devicePlayId, gl_playbackDeviceCount)) {
        run_device_dialog(terminal);
    }

    const int result = OpenChosenDevices();
    if (result != 0) {
        Term::write("\nCannot init audio device!");
        // The sound system's own reason, on a line of its own.
        if (!gl_context.lastError.empty()) Term::write("\n" + gl_context.lastError);
    }
    return result;
}

}  // namespace

int SetupAudioProcessing(bool useSavedDevices) {
    const Term::Terminal terminal = Term::Terminal::FullScreen();
    std::string banner;
    menu_add_header(banner);
    Term::write(banner + "\n");
    const int result = RunAudioSetup(terminal, useSavedDevices);
    if (result != 0) {
        // The menus would cover the reason at once: it stays until the user has read it.
        Term::write("\n\nPress any key to continue.");
        Term::read_key();
    }
    return result;
}

StereoOptions stereo_options(bool stereoEnabled) {
    return stereoEnabled ? StereoOptions{"Y", "n"} : StereoOptions{"y", "N"};
}

bool stereo_from_answer(Term::Result answer, bool stereoEnabled) {
    if (answer == Term::Result::Yes) return true;
    if (answer == Term::Result::No) return false;
    return stereoEnabled;
}
