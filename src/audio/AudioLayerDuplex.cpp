// The duplex device: one SDL capture device and one SDL playback device joined by a ring. The
// callback runs on the playback device's thread, once per period, on the oldest captured period.
// The capture device delivers quarter periods, so the playback side never waits long for the
// frames it needs.
#include <SDL.h>

#include <algorithm>
#include <memory>

#include "audio/AudioLayer.h"
#include "audio/FrameRing.h"

struct SdlDuplexState {
    AudioDevice* device = nullptr;
    SDL_AudioDeviceID captureId = 0;
    SDL_AudioDeviceID playbackId = 0;
    std::unique_ptr<FrameRing> ring;
    std::vector<float> input;  // one writable period of capture frames for the callback
};

namespace {

constexpr uint32_t kFallbackSampleRate = 48000;
// Room for the ring: far above the fill it is kept at, so a push never runs out of space
// unless the playback side stops.
constexpr uint32_t kRingPeriods = 8;
// The capture device delivers quarter periods: captured frames reach the ring sooner, and the
// ring's fill moves in steps smaller than the slack it keeps.
constexpr uint32_t kCaptureChunksPerPeriod = 4;
// A steady surplus is looked for over two seconds of periods, and half a period is kept as
// slack against the scheduling jitter of the two device threads.
constexpr uint32_t kTrimWindowPeriods = 200;

// The native rate of a capture device, looked up by the name SDL opens it by; null is the
// default device.
uint32_t native_capture_rate(const char* name) {
    SDL_AudioSpec spec;
    SDL_zero(spec);
    if (name == nullptr) {
#if SDL_VERSION_ATLEAST(2, 24, 0)
        if (SDL_GetDefaultAudioInfo(nullptr, &spec, 1) != 0) spec.freq = 0;
#endif
    } else {
        const int count = SDL_GetNumAudioDevices(1);
        for (int i = 0; i < count; ++i) {
            const char* candidate = SDL_GetAudioDeviceName(i, 1);
            if (candidate != nullptr && SDL_strcmp(candidate, name) == 0) {
                if (SDL_GetAudioDeviceSpec(i, 1, &spec) != 0) spec.freq = 0;
                break;
            }
        }
    }
    return spec.freq > 0 ? static_cast<uint32_t>(spec.freq) : kFallbackSampleRate;
}

void SDLCALL capture_callback(void* userdata, Uint8* stream, int len) {
    auto* state = static_cast<SdlDuplexState*>(userdata);
    const uint32_t frameBytes = state->ring->channels() * kSampleFormatBytes;
    const uint32_t frames = static_cast<uint32_t>(len) / frameBytes;
    const uint32_t stored = state->ring->push(reinterpret_cast<const float*>(stream), frames);
    if (stored < frames) state->device->overruns.fetch_add(1, std::memory_order_relaxed);
}

void SDLCALL playback_callback(void* userdata, Uint8* stream, int len) {
    auto* state = static_cast<SdlDuplexState*>(userdata);
    AudioDevice* device = state->device;
    const uint32_t frameBytes = device->playback.channels * kSampleFormatBytes;
    uint32_t remaining = static_cast<uint32_t>(len) / frameBytes;
    float* out = reinterpret_cast<float*>(stream);
    // SDL hands one period per call; walking in periods keeps the callback's block size
    // constant even if it ever hands more.
    while (remaining > 0) {
        const uint32_t frames = std::min(remaining, device->periodFrames);
        const FrameRing::PopResult got = state->ring->pop(state->input.data(), frames);
        if (got.copied < frames) device->underruns.fetch_add(1, std::memory_order_relaxed);
        if (got.dropped > 0) device->overruns.fetch_add(1, std::memory_order_relaxed);
        if (got.trimmed > 0) device->trims.fetch_add(1, std::memory_order_relaxed);
        audio_device_run_callback(device, out, state->input.data(), frames);
        out += static_cast<size_t>(frames) * device->playback.channels;
        remaining -= frames;
    }
}

bool valid_side(const AudioDeviceConfig::Side& side) {
    return side.format == SampleFormat::f32 && side.channels >= 1 &&
           side.channels <= kMaxChannels;
}

SDL_AudioDeviceID open_side(const AudioDeviceConfig::Side& side, int iscapture, uint32_t rate,
                            uint32_t period, SDL_AudioCallback callback, void* userdata) {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(side.channels);
    want.samples = static_cast<Uint16>(period);
    want.callback = callback;
    want.userdata = userdata;
    SDL_AudioSpec have;
    const char* name = side.pDeviceID != nullptr ? side.pDeviceID->id.c_str() : nullptr;
    // No changes allowed: SDL converts whatever the device really runs at into this format.
    return SDL_OpenAudioDevice(name, iscapture, &want, &have, 0);
}

}  // namespace

AudioDeviceConfig audio_device_config_init_duplex() { return AudioDeviceConfig{}; }

int audio_device_init(AudioContext* context, const AudioDeviceConfig* config, AudioDevice* device) {
    if (context == nullptr || !context->initialized || config == nullptr || device == nullptr ||
        !valid_side(config->capture) || !valid_side(config->playback)) {
        return kAudioInvalidArgs;
    }
    audio_device_uninit(device);

    const char* captureName =
        config->capture.pDeviceID != nullptr ? config->capture.pDeviceID->id.c_str() : nullptr;
    const uint32_t rate =
        config->sampleRate != 0 ? config->sampleRate : native_capture_rate(captureName);
    const uint32_t period = std::min(std::max<uint32_t>(rate / 100, 1), kMaxPeriodFrames);

    audio_device_init_offline(device, config->capture.channels, config->playback.channels, rate,
                              config->dataCallback);
    device->periodFrames = period;

    auto state = new SdlDuplexState;
    state->device = device;
    state->ring = std::make_unique<FrameRing>(config->capture.channels, kRingPeriods * period,
                                              2 * period, period);
    const uint32_t chunk = std::max<uint32_t>(period / kCaptureChunksPerPeriod, 1);
    state->ring->setTrimming(kTrimWindowPeriods, period / 2);
    state->input.assign(static_cast<size_t>(period) * config->capture.channels, 0.0f);
    device->sdl = state;

    state->captureId = open_side(config->capture, 1, rate, chunk, capture_callback, state);
    if (state->captureId != 0) {
        state->playbackId = open_side(config->playback, 0, rate, period, playback_callback, state);
    }
    if (state->captureId == 0 || state->playbackId == 0) {
        audio_device_uninit(device);
        return kAudioDeviceOpenFailed;
    }
    return kAudioSuccess;
}

int audio_device_start(AudioDevice* device) {
    if (device == nullptr || device->sdl == nullptr) return kAudioInvalidArgs;
    // Capture first, so the first playback period finds captured frames waiting.
    SDL_PauseAudioDevice(device->sdl->captureId, 0);
    SDL_PauseAudioDevice(device->sdl->playbackId, 0);
    return kAudioSuccess;
}

void audio_device_uninit(AudioDevice* device) {
    if (device == nullptr || device->sdl == nullptr) return;
    SdlDuplexState* state = device->sdl;
    // Playback first: it is the thread that runs the callback. Closing joins the device's
    // thread, so after these calls nothing can call the callback again.
    if (state->playbackId != 0) SDL_CloseAudioDevice(state->playbackId);
    if (state->captureId != 0) SDL_CloseAudioDevice(state->captureId);
    delete state;
    device->sdl = nullptr;
}

uint32_t audio_device_ring_fill(const AudioDevice* device) {
    return device != nullptr && device->sdl != nullptr ? device->sdl->ring->fill() : 0;
}
