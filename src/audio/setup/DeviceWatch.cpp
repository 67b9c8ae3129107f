#include "audio/setup/DeviceWatch.h"

#include "audio/EngineState.h"
#include "audio/setup/AudioSetup.h"
#include "audio/setup/DeviceChoice.h"

namespace {

// How often a lost device is looked for again; the first look comes sooner, as a fresh
// listing is what tells a server that has gone (SDL's lists go stale with it).
constexpr uint64_t kRetryMs = 1000;
constexpr uint64_t kFirstRetryMs = 300;

uint64_t g_nextTryMs = 0;
// The backend and the sound system the lost device ran on: another one answering now means
// it is not back.
AudioBackend* g_lostBackend = nullptr;
std::string g_lostSystem;

bool Listed(const std::vector<AudioDeviceInfo>& list, const std::string& name) {
    for (const AudioDeviceInfo& info : list) {
        if (info.name == name) return true;
    }
    return false;
}

// Asks the running backend for its lists now, to see which device is gone.
LostDevice Identify(DeviceLoss reported) {
    std::vector<AudioDeviceInfo> capture;
    std::vector<AudioDeviceInfo> playback;
    const bool listed =
        gl_context.backend != nullptr && gl_context.backend->listDevices(playback, capture);
    return identify_lost_device(reported, listed, capture, playback, gl_CurrentCaptureDeviceName,
                                gl_CurrentPlaybackDeviceName);
}

// The saved devices opened again, as at a start with a valid choice; false while the server
// or either device is not back (the device then stays closed).
bool ReopenSavedDevices() {
    CloseAudioDevice();
    // Nothing else is tried while the lost backend does not answer with devices: the next in
    // the table (SDL) would find a server that is still starting, and SDL's own PulseAudio
    // driver crashes on one that has no devices yet.
    if (g_lostBackend != nullptr && !g_lostBackend->probe()) return false;
    if (applicationInit() != 0) return false;
    LoadSavedDeviceChoice();
    if (!is_valid_device_index(gl_deviceCaptureId, gl_captureDeviceCount) ||
        !is_valid_device_index(gl_devicePlayId, gl_playbackDeviceCount)) {
        return false;
    }
    return OpenChosenDevices() == 0;
}

}  // namespace

LostDevice identify_lost_device(DeviceLoss reported, bool listed,
                                const std::vector<AudioDeviceInfo>& capture,
                                const std::vector<AudioDeviceInfo>& playback,
                                const std::string& captureName, const std::string& playbackName) {
    if (!listed) return {DeviceLoss::server, ""};
    if (!Listed(capture, captureName)) return {DeviceLoss::capture, captureName};
    if (!Listed(playback, playbackName)) return {DeviceLoss::playback, playbackName};
    switch (reported) {
        case DeviceLoss::capture:
            return {reported, captureName};
        case DeviceLoss::playback:
            return {reported, playbackName};
        default:
            return {DeviceLoss::server, ""};
    }
}

bool WatchAudioDevices(uint64_t nowMs) {
    if (gl_LostDevice.what == DeviceLoss::none) {
        if (!isSetupReady) return false;
        const DeviceLoss reported = audio_device_loss(&gl_device);
        if (reported == DeviceLoss::none) return false;
        gl_LostDevice = Identify(reported);
        g_lostBackend = gl_context.backend;
        g_lostSystem = g_lostBackend != nullptr ? g_lostBackend->system() : "";
        g_nextTryMs = nowMs + kFirstRetryMs;
        return true;
    }
    if (nowMs < g_nextTryMs) return false;
    g_nextTryMs = nowMs + kRetryMs;
    if (ReopenSavedDevices()) {
        gl_LostDevice = LostDevice{};
        return true;
    }
    // Still waiting: say what for now (the server may be back, a device not yet).
    const LostDevice before = gl_LostDevice;
    std::vector<AudioDeviceInfo> capture(gl_pCaptureDeviceInfos,
                                         gl_pCaptureDeviceInfos + gl_captureDeviceCount);
    std::vector<AudioDeviceInfo> playback(gl_pPlaybackDeviceInfos,
                                          gl_pPlaybackDeviceInfos + gl_playbackDeviceCount);
    const bool serverBack = gl_context.initialized && gl_context.backend != nullptr &&
                            gl_context.backend->system() == g_lostSystem;
    gl_LostDevice = identify_lost_device(before.what, serverBack, capture, playback,
                                         gl_CurrentCaptureDeviceName, gl_CurrentPlaybackDeviceName);
    return gl_LostDevice.what != before.what || gl_LostDevice.name != before.name;
}
