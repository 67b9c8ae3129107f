// SDL2's own drivers: Core Audio on macOS, and ALSA, JACK or a sound server's SDL driver
// elsewhere; or the driver the user names with SDL_AUDIODRIVER. One SDL capture device and one
// SDL playback device, each calling back on a thread of SDL's.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "audio/backends/AudioBackend.h"
#include "audio/bridge/DriftResampler.h"

namespace {

constexpr uint32_t kFallbackSampleRate = 48000;

std::string DefaultDeviceName(int iscapture) {
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
bool ListDevices(int iscapture, std::vector<AudioDeviceInfo>& list) {
    list.clear();
    const int count = SDL_GetNumAudioDevices(iscapture);
    if (count < 0) return false;
    const std::string defaultName = DefaultDeviceName(iscapture);
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

// The native rate of a capture device, looked up by the name SDL opens it by; empty is the
// default device.
uint32_t NativeCaptureRate(const std::string& name) {
    SDL_AudioSpec spec;
    SDL_zero(spec);
    if (name.empty()) {
#if SDL_VERSION_ATLEAST(2, 24, 0)
        if (SDL_GetDefaultAudioInfo(nullptr, &spec, 1) != 0) spec.freq = 0;
#endif
    } else {
        const int count = SDL_GetNumAudioDevices(1);
        for (int i = 0; i < count; ++i) {
            const char* candidate = SDL_GetAudioDeviceName(i, 1);
            if (candidate != nullptr && name == candidate) {
                if (SDL_GetAudioDeviceSpec(i, 1, &spec) != 0) spec.freq = 0;
                break;
            }
        }
    }
    return spec.freq > 0 ? static_cast<uint32_t>(spec.freq) : kFallbackSampleRate;
}

struct SdlDuplex final : BackendDuplex {
    ~SdlDuplex() override {
        // Playback first: its thread runs the processing.
        if (playbackId != 0) SDL_CloseAudioDevice(playbackId);
        if (captureId != 0) SDL_CloseAudioDevice(captureId);
    }
    void start() override {
        // Capture first, so the first playback chunks find captured frames on their way.
        SDL_PauseAudioDevice(captureId, 0);
        SDL_PauseAudioDevice(playbackId, 0);
        started = true;
    }
    // SDL stops a device it has lost: unplugged, or its sound server gone.
    DeviceLoss loss() const override {
        if (!started) return DeviceLoss::none;
        if (SDL_GetAudioDeviceStatus(captureId) == SDL_AUDIO_STOPPED) return DeviceLoss::capture;
        if (SDL_GetAudioDeviceStatus(playbackId) == SDL_AUDIO_STOPPED) return DeviceLoss::playback;
        return DeviceLoss::none;
    }

    StreamSink* sink = nullptr;
    uint32_t captureStride = 4;
    uint32_t playbackStride = 4;
    SDL_AudioDeviceID captureId = 0;
    SDL_AudioDeviceID playbackId = 0;
    bool started = false;
};

void SDLCALL CaptureCallback(void* userdata, Uint8* stream, int len) {
    auto* duplex = static_cast<SdlDuplex*>(userdata);
    duplex->sink->captured(reinterpret_cast<const float*>(stream),
                           static_cast<uint32_t>(len) / duplex->captureStride);
}

void SDLCALL PlaybackCallback(void* userdata, Uint8* stream, int len) {
    auto* duplex = static_cast<SdlDuplex*>(userdata);
    duplex->sink->render(reinterpret_cast<float*>(stream),
                         static_cast<uint32_t>(len) / duplex->playbackStride, 0);
}

SDL_AudioDeviceID OpenSide(const std::string& id, bool capture, uint32_t channels, uint32_t rate,
                           uint32_t chunk, SDL_AudioCallback callback, void* userdata) {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = static_cast<Uint16>(chunk);
    want.callback = callback;
    want.userdata = userdata;
    // Names the stream in the sound server's mixer and logs.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, capture ? "Voice in" : "Voice out");
    SDL_AudioSpec have;
    // No changes allowed: SDL converts whatever the device really runs at into this format.
    return SDL_OpenAudioDevice(id.empty() ? nullptr : id.c_str(), capture ? 1 : 0, &want, &have, 0);
}

class Sdl final : public AudioBackend {
public:
    const char* name() const override { return "sdl"; }

    // SDL falls back to its next driver (ALSA, say) when the server it ran on has gone.
    std::string system() const override {
        const char* driver = SDL_GetCurrentAudioDriver();
        return std::string("sdl:") + (driver != nullptr ? driver : "");
    }

    bool namedByUser() const override {
        const char* driver = SDL_getenv("SDL_AUDIODRIVER");
        return driver != nullptr && *driver != '\0';
    }

    bool probe() override {
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Moravel");
        if (initialized_) return true;
        initialized_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!initialized_) lastError_ = std::string("SDL: ") + SDL_GetError();
        return initialized_;
    }

    bool listDevices(std::vector<AudioDeviceInfo>& playback,
                     std::vector<AudioDeviceInfo>& capture) override {
        if (ListDevices(0, playback) && ListDevices(1, capture)) return true;
        lastError_ = std::string("SDL: ") + SDL_GetError();
        return false;
    }

    uint32_t rate(const std::string& captureId, const std::string&) override {
        return NativeCaptureRate(captureId);
    }

    // Capture in quarter periods (2.5 ms); captured chunks arrive up to two late, so three
    // chunks and the resampler's look-ahead wait, and a system busy enough to make the capture
    // side run dry earns more, up to two periods in all (what a server's own loopback keeps).
    // Playback in whole periods: SDL's PulseAudio driver sizes the server's buffer by the
    // chunk, and below a period it runs dry where the server's own loopback does not.
    DuplexTiming timing(uint32_t period) const override {
        DuplexTiming timing;
        timing.captureChunk = std::max<uint32_t>(period / 4, 1);
        timing.playbackChunk = period;
        timing.spare = 3 * timing.captureChunk + DriftResampler::kTaps / 2;
        timing.spareGrowth = 2 * period - std::min(timing.spare, 2 * period);
        return timing;
    }

    std::unique_ptr<BackendDuplex> open(const BackendDuplexSpec& spec, StreamSink& sink,
                                        DuplexCounters&) override {
        auto duplex = std::make_unique<SdlDuplex>();
        duplex->sink = &sink;
        duplex->captureStride = spec.captureChannels * sizeof(float);
        duplex->playbackStride = spec.playbackChannels * sizeof(float);
        duplex->captureId = OpenSide(spec.captureId, true, spec.captureChannels, spec.sampleRate,
                                     spec.timing.captureChunk, CaptureCallback, duplex.get());
        if (duplex->captureId != 0) {
            duplex->playbackId =
                OpenSide(spec.playbackId, false, spec.playbackChannels, spec.sampleRate,
                         spec.timing.playbackChunk, PlaybackCallback, duplex.get());
        }
        if (duplex->captureId == 0 || duplex->playbackId == 0) {
            lastError_ = std::string("SDL: ") + SDL_GetError();
            return nullptr;
        }
        return duplex;
    }

    // Shutting SDL's audio down would wait again for a device that could not be closed.
    void release(bool devicesAbandoned) override {
        if (!initialized_ || devicesAbandoned) return;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        initialized_ = false;
    }

private:
    bool initialized_ = false;
};

}  // namespace

AudioBackend& SdlBackend() {
    static Sdl backend;
    return backend;
}
