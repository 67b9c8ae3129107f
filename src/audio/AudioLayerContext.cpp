// The context: SDL's audio subsystem and the two device lists.
#include <SDL.h>

#include "audio/AudioLayer.h"
#include "audio/PipeWireAudio.h"
#include "audio/PulseAudio.h"

std::string truncate_device_name(const std::string& name, size_t maxBytes) {
    if (name.size() <= maxBytes) return name;
    size_t cut = maxBytes;
    // Never split a UTF-8 sequence: back off over continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

namespace {

std::string default_device_name(int iscapture) {
    std::string result;
#if SDL_VERSION_ATLEAST(2, 24, 0)
    char* name = nullptr;
    SDL_AudioSpec spec;
    if (SDL_GetDefaultAudioInfo(&name, &spec, iscapture) == 0 && name != nullptr) {
        result = name;
    }
    SDL_free(name);
#else
    (void)iscapture;
#endif
    return result;
}

// Fills `list` with SDL's devices of one kind; false when SDL cannot list them.
bool list_devices(int iscapture, std::vector<AudioDeviceInfo>& list) {
    list.clear();
    const int count = SDL_GetNumAudioDevices(iscapture);
    if (count < 0) return false;
    const std::string defaultName = default_device_name(iscapture);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, iscapture);
        if (name == nullptr) continue;
        AudioDeviceInfo info;
        info.id = name;
        info.name = truncate_device_name(name, kMaxDeviceNameBytes);
        info.isDefault = !defaultName.empty() && defaultName == info.id;
        list.push_back(std::move(info));
    }
    return true;
}

}  // namespace

int audio_context_init(AudioContext* context) {
    if (context == nullptr) return kAudioInvalidArgs;
    if (context->initialized) audio_context_uninit(context);
    // The session's sound server is served directly, PipeWire first (it also answers as
    // PulseAudio), unless the user chose an SDL driver.
    const char* driver = SDL_getenv("SDL_AUDIODRIVER");
    if (driver == nullptr || *driver == '\0') {
        if (pipewire_audio::SessionHasAudio()) {
            context->backend = AudioBackend::pipewire;
            context->initialized = true;
            return kAudioSuccess;
        }
        if (pulse_audio::SessionHasAudio()) {
            context->backend = AudioBackend::pulseaudio;
            context->initialized = true;
            return kAudioSuccess;
        }
    }
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Moravel");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return kAudioNoBackend;
    context->backend = AudioBackend::sdl;
    context->initialized = true;
    return kAudioSuccess;
}

int audio_context_get_devices(AudioContext* context, AudioDeviceInfo** ppPlaybackInfos,
                              uint32_t* pPlaybackCount, AudioDeviceInfo** ppCaptureInfos,
                              uint32_t* pCaptureCount) {
    auto clearOutputs = [&] {
        if (ppPlaybackInfos) *ppPlaybackInfos = nullptr;
        if (pPlaybackCount) *pPlaybackCount = 0;
        if (ppCaptureInfos) *ppCaptureInfos = nullptr;
        if (pCaptureCount) *pCaptureCount = 0;
    };
    clearOutputs();
    if (context == nullptr || !context->initialized) return kAudioInvalidArgs;
    bool listed = false;
    switch (context->backend) {
        case AudioBackend::pipewire:
            listed = pipewire_audio::ListDevices(context->playback, context->capture);
            break;
        case AudioBackend::pulseaudio:
            listed = pulse_audio::ListDevices(context->playback, context->capture);
            break;
        case AudioBackend::sdl:
            listed = list_devices(0, context->playback) && list_devices(1, context->capture);
            break;
    }
    if (!listed) {
        context->playback.clear();
        context->capture.clear();
        return kAudioError;
    }
    if (ppPlaybackInfos && !context->playback.empty()) *ppPlaybackInfos = context->playback.data();
    if (pPlaybackCount) *pPlaybackCount = static_cast<uint32_t>(context->playback.size());
    if (ppCaptureInfos && !context->capture.empty()) *ppCaptureInfos = context->capture.data();
    if (pCaptureCount) *pCaptureCount = static_cast<uint32_t>(context->capture.size());
    return kAudioSuccess;
}

void audio_context_uninit(AudioContext* context) {
    if (context == nullptr || !context->initialized) return;
    context->playback.clear();
    context->capture.clear();
    // Shutting SDL's audio down would wait again for a device that could not be closed.
    if (context->backend == AudioBackend::sdl && !audio_devices_abandoned()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    context->backend = AudioBackend::sdl;
    context->initialized = false;
}
