#include "audio/backends/BackendTable.h"

// Each backend's file defines its one instance. The sound servers first, served directly (a
// PipeWire session also answers as PulseAudio), then SDL2, which reaches every other system.
#ifdef MORAVEL_WITH_PIPEWIRE
AudioBackend& PipeWireBackend();
#endif
#ifdef MORAVEL_WITH_PULSEAUDIO
AudioBackend& PulseAudioBackend();
#endif
AudioBackend& SdlBackend();

const std::vector<AudioBackend*>& audio_backends() {
    static const std::vector<AudioBackend*> backends = {
#ifdef MORAVEL_WITH_PIPEWIRE
        &PipeWireBackend(),
#endif
#ifdef MORAVEL_WITH_PULSEAUDIO
        &PulseAudioBackend(),
#endif
        &SdlBackend(),
    };
    return backends;
}

AudioBackend* choose_audio_backend() {
    for (AudioBackend* backend : audio_backends()) {
        if (backend->namedByUser()) return backend->probe() ? backend : nullptr;
    }
    for (AudioBackend* backend : audio_backends()) {
        if (backend->probe()) return backend;
    }
    return nullptr;
}
