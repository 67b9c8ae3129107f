// The duplex device: a capture side and a playback side joined by a DuplexBridge, either two
// SDL devices or two PipeWire streams. Both sides run in small chunks; the processing callback
// runs on the playback side's thread, one block of exactly one period whenever the playback
// side needs more.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/AudioLayer.h"
#include "audio/DuplexBridge.h"
#include "audio/PipeWireAudio.h"
#include "audio/PulseAudio.h"

uint64_t monotonic_ns();

struct SdlDuplexState : StreamSink {
    AudioDevice* device = nullptr;
    SDL_AudioDeviceID captureId = 0;
    SDL_AudioDeviceID playbackId = 0;
    pipewire_audio::Duplex* pipewire = nullptr;
    pulse_audio::Duplex* pulse = nullptr;
    std::unique_ptr<DuplexBridge> bridge;
    // Set before the devices are closed: from then on the threads leave the bridge alone.
    std::atomic<bool> closing{false};
    // Which device callbacks are inside the bridge right now.
    std::atomic<int> busy{0};

    void captured(const float* frames, uint32_t count) override;
    void render(float* out, uint32_t count, uint32_t heldFrames) override;
    uint32_t renderableFrames() override;
    uint32_t serverRanDry() override;
};

uint64_t monotonic_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

namespace {

constexpr uint32_t kFallbackSampleRate = 48000;

// How each side moves audio, and how many captured frames wait beyond a period.
struct DuplexTiming {
    uint32_t captureChunk;
    uint32_t playbackChunk;  // not on PulseAudio directly, which writes whole blocks
    uint32_t spare;
    uint32_t spareGrowth;
    uint32_t playbackRequest = 0;  // PulseAudio directly: the least the server asks for at once
    uint32_t held = 0;             // PulseAudio directly: the reserve kept in the server
    uint32_t heldGrowth = 0;       // and how far it may grow after the server ran dry
};

// Measured through private servers (bench/live_glitch.sh). SDL: capture in quarter periods
// (2.5 ms); SDL's PulseAudio driver sizes the server's playback buffer by the chunk, and below
// a period the server runs dry several times a minute; captured chunks arrive up to two late,
// so three chunks and the resampler's look-ahead wait. PipeWire: both streams ask the graph
// for 256-frame cycles at 48 kHz (5.3 ms; pulse clients in the same graph hold it there
// anyway) and the playback side runs right after the capture side in each cycle, so a late
// cycle is late for both: the look-ahead and half a cycle wait. On both, a system busy enough
// to make the capture side run dry earns up to half a period more.
//
// PulseAudio directly: captured audio in quarter periods, each block written as soon as it is
// ready, and the reserve held in the server instead of here, where it would wait with a stalled
// client. It starts at half a period (what the server holds, its device's share included, when
// a block comes) and grows after the server runs dry, up to two periods, what the server's own
// loopback keeps; the ring holds only the look-ahead.
DuplexTiming duplex_timing(AudioBackend backend, uint32_t period) {
    const uint32_t half = std::max<uint32_t>(period / 2, 1);
    const uint32_t quarter = std::max<uint32_t>(period / 4, 1);
    switch (backend) {
        case AudioBackend::pipewire: {
            const uint32_t cycle = std::max<uint32_t>(period * 256 / 480, 1);
            return {cycle, cycle, DriftResampler::kTaps / 2 + cycle / 2, half};
        }
        case AudioBackend::pulseaudio: {
            DuplexTiming timing{};
            timing.captureChunk = quarter;
            timing.spare = DriftResampler::kTaps / 2;
            timing.held = period / 2;
            timing.heldGrowth = 2 * period - timing.held;
            timing.playbackRequest = half;
            return timing;
        }
        case AudioBackend::sdl:
            break;
    }
    return {quarter, period, 3 * quarter + DriftResampler::kTaps / 2, half};
}
// How long closing may wait for SDL to join a device's thread.
constexpr std::chrono::seconds kCloseTimeout{2};

// Devices whose close did not finish in time. SDL still holds them, so SDL's audio must not be
// shut down (that would wait for them again); their state is never freed, and stays listed here
// so that it is still owned by something until the process ends. Only the main thread closes.
std::vector<SdlDuplexState*>& abandoned_states() {
    static auto* states = new std::vector<SdlDuplexState*>;
    return *states;
}

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

// Marks a device callback as inside the bridge unless the device is closing.
class BridgeVisit {
public:
    explicit BridgeVisit(SdlDuplexState* state) : state_(state) {
        state_->busy.fetch_add(1);
        entered_ = !state_->closing.load();
    }
    ~BridgeVisit() { state_->busy.fetch_sub(1); }
    bool entered() const { return entered_; }

private:
    SdlDuplexState* state_;
    bool entered_;
};

void SDLCALL capture_callback(void* userdata, Uint8* stream, int len) {
    auto* state = static_cast<SdlDuplexState*>(userdata);
    const uint32_t frameBytes = state->device->capture.channels * kSampleFormatBytes;
    state->captured(reinterpret_cast<const float*>(stream), static_cast<uint32_t>(len) / frameBytes);
}

void SDLCALL playback_callback(void* userdata, Uint8* stream, int len) {
    auto* state = static_cast<SdlDuplexState*>(userdata);
    const uint32_t frameBytes = state->device->playback.channels * kSampleFormatBytes;
    state->render(reinterpret_cast<float*>(stream), static_cast<uint32_t>(len) / frameBytes, 0);
}

// One block for the bridge: the period exactly as an offline device runs it.
void run_block(void* user, float* output, float* input, uint32_t frames) {
    audio_device_run_callback(static_cast<SdlDuplexState*>(user)->device, output, input, frames);
}

bool valid_side(const AudioDeviceConfig::Side& side) {
    return side.format == SampleFormat::f32 && side.channels >= 1 &&
           side.channels <= kMaxChannels;
}

SDL_AudioDeviceID open_side(const AudioDeviceConfig::Side& side, int iscapture, uint32_t rate,
                            uint32_t chunk, SDL_AudioCallback callback, void* userdata) {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(side.channels);
    want.samples = static_cast<Uint16>(chunk);
    want.callback = callback;
    want.userdata = userdata;
    // Names the stream in the sound server's mixer and logs.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, iscapture ? "Voice in" : "Voice out");
    SDL_AudioSpec have;
    const char* name = side.pDeviceID != nullptr ? side.pDeviceID->id.c_str() : nullptr;
    // No changes allowed: SDL converts whatever the device really runs at into this format.
    return SDL_OpenAudioDevice(name, iscapture, &want, &have, 0);
}

// Runs `close` on a helper thread and waits for it a while: closing joins device threads, which
// can hang for good when one is stuck inside the sound server. True when it finished.
bool close_within_timeout(std::function<void()> close) {
    struct Closing {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto closing = std::make_shared<Closing>();
    std::thread helper([closing, close] {
        close();
        std::lock_guard<std::mutex> lock(closing->mutex);
        closing->finished = true;
        closing->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(closing->mutex);
    const bool finished =
        closing->done.wait_for(lock, kCloseTimeout, [&] { return closing->finished; });
    lock.unlock();
    if (finished) {
        helper.join();
    } else {
        helper.detach();
    }
    return finished;
}

// Opens the two SDL devices; false when either does not open.
bool open_sdl(SdlDuplexState* state, const AudioDeviceConfig* config, uint32_t rate,
              uint32_t captureChunk, uint32_t playbackChunk) {
    state->captureId = open_side(config->capture, 1, rate, captureChunk, capture_callback, state);
    if (state->captureId != 0) {
        state->playbackId =
            open_side(config->playback, 0, rate, playbackChunk, playback_callback, state);
    }
    return state->captureId != 0 && state->playbackId != 0;
}

// The id a side opens its device by; empty for the server's default.
std::string device_id(const AudioDeviceConfig::Side& side) {
    return side.pDeviceID != nullptr ? side.pDeviceID->id : "";
}

bool open_pipewire(SdlDuplexState* state, const AudioDeviceConfig* config, uint32_t rate,
                   uint32_t quantum) {
    pipewire_audio::DuplexSpec spec;
    spec.captureNode = device_id(config->capture);
    spec.playbackNode = device_id(config->playback);
    spec.captureChannels = config->capture.channels;
    spec.playbackChannels = config->playback.channels;
    spec.sampleRate = rate;
    spec.quantumFrames = quantum;
    std::string error;
    state->pipewire = pipewire_audio::Open(spec, state, error);
    if (state->pipewire == nullptr) SDL_SetError("PipeWire: %s", error.c_str());
    return state->pipewire != nullptr;
}

bool open_pulse(SdlDuplexState* state, const AudioDeviceConfig* config, uint32_t rate,
                const DuplexTiming& timing) {
    pulse_audio::DuplexSpec spec;
    spec.captureSource = device_id(config->capture);
    spec.playbackSink = device_id(config->playback);
    spec.captureChannels = config->capture.channels;
    spec.playbackChannels = config->playback.channels;
    spec.sampleRate = rate;
    spec.chunkFrames = timing.captureChunk;
    spec.blockFrames = state->device->periodFrames;
    spec.playbackRequestFrames = timing.playbackRequest;
    spec.reserveFrames = timing.held;
    std::string error;
    state->pulse = pulse_audio::Open(spec, state, state->device->counters, error);
    if (state->pulse == nullptr) SDL_SetError("PulseAudio: %s", error.c_str());
    return state->pulse != nullptr;
}

// The rate the duplex runs at when the caller leaves it open: the capture device's own.
uint32_t device_rate(AudioBackend backend, const AudioDeviceConfig* config) {
    switch (backend) {
        case AudioBackend::pipewire:
            return pipewire_audio::GraphRate();
        case AudioBackend::pulseaudio:
            return pulse_audio::SourceRate(device_id(config->capture));
        case AudioBackend::sdl:
            break;
    }
    const AudioDeviceInfo* capture = config->capture.pDeviceID;
    return native_capture_rate(capture != nullptr ? capture->id.c_str() : nullptr);
}

}  // namespace

void SdlDuplexState::captured(const float* frames, uint32_t count) {
    const BridgeVisit visit(this);
    if (visit.entered()) bridge->capture(frames, count, monotonic_ns());
}

void SdlDuplexState::render(float* out, uint32_t count, uint32_t heldFrames) {
    const BridgeVisit visit(this);
    if (visit.entered()) {
        bridge->render(out, count, monotonic_ns(), heldFrames);
    } else {
        std::memset(out, 0, static_cast<size_t>(count) * device->playback.channels * sizeof(float));
    }
}

uint32_t SdlDuplexState::renderableFrames() {
    const BridgeVisit visit(this);
    return visit.entered() ? bridge->readyFrames() : 0;
}

uint32_t SdlDuplexState::serverRanDry() {
    const BridgeVisit visit(this);
    return visit.entered() ? bridge->serverRanDry(monotonic_ns()) : bridge->reserveFrames();
}

AudioDeviceConfig audio_device_config_init_duplex() { return AudioDeviceConfig{}; }

int audio_device_init(AudioContext* context, const AudioDeviceConfig* config, AudioDevice* device) {
    if (context == nullptr || !context->initialized || config == nullptr || device == nullptr ||
        !valid_side(config->capture) || !valid_side(config->playback)) {
        return kAudioInvalidArgs;
    }
    audio_device_uninit(device);

    const uint32_t rate =
        config->sampleRate != 0 ? config->sampleRate : device_rate(context->backend, config);
    const uint32_t period = std::min(std::max<uint32_t>(rate / 100, 1), kMaxPeriodFrames);
    const DuplexTiming timing = duplex_timing(context->backend, period);

    audio_device_init_offline(device, config->capture.channels, config->playback.channels, rate,
                              config->dataCallback);
    device->periodFrames = period;

    auto state = new SdlDuplexState;
    state->device = device;
    DuplexBridge::Layout layout;
    layout.captureChannels = config->capture.channels;
    layout.playbackChannels = config->playback.channels;
    layout.sampleRate = rate;
    layout.blockFrames = period;
    layout.spareFrames = timing.spare;
    layout.spareGrowthFrames = timing.spareGrowth;
    layout.heldTargetFrames = timing.held;
    layout.heldGrowthFrames = timing.heldGrowth;
    RateController::Tuning tuning;
    tuning.followMean = timing.held != 0;
    state->bridge =
        std::make_unique<DuplexBridge>(layout, device->counters, run_block, state, tuning);
    device->sdl = state;

    bool opened = false;
    switch (context->backend) {
        case AudioBackend::pipewire:
            opened = open_pipewire(state, config, rate, timing.captureChunk);
            break;
        case AudioBackend::pulseaudio:
            opened = open_pulse(state, config, rate, timing);
            break;
        case AudioBackend::sdl:
            opened = open_sdl(state, config, rate, timing.captureChunk, timing.playbackChunk);
            break;
    }
    if (!opened) {
        audio_device_uninit(device);
        return kAudioDeviceOpenFailed;
    }
    return kAudioSuccess;
}

int audio_device_start(AudioDevice* device) {
    if (device == nullptr || device->sdl == nullptr) return kAudioInvalidArgs;
    SdlDuplexState* state = device->sdl;
    if (state->pipewire != nullptr) {
        pipewire_audio::Start(state->pipewire);
    } else if (state->pulse != nullptr) {
        pulse_audio::Start(state->pulse);
    } else {
        // Capture first, so the first playback chunks find captured frames on their way.
        SDL_PauseAudioDevice(state->captureId, 0);
        SDL_PauseAudioDevice(state->playbackId, 0);
    }
    return kAudioSuccess;
}

void audio_device_uninit(AudioDevice* device) {
    if (device == nullptr || device->sdl == nullptr) return;
    SdlDuplexState* state = device->sdl;
    device->sdl = nullptr;
    // From here no device callback enters the bridge; wait for any that is inside (they never
    // block, so this is short). After that the callback cannot run again, whatever SDL does.
    state->closing.store(true);
    while (state->busy.load() != 0) std::this_thread::yield();
    const SDL_AudioDeviceID playbackId = state->playbackId;
    const SDL_AudioDeviceID captureId = state->captureId;
    pipewire_audio::Duplex* pipewire = state->pipewire;
    pulse_audio::Duplex* pulse = state->pulse;
    const bool closed = close_within_timeout([playbackId, captureId, pipewire, pulse] {
        // Playback first: its thread runs the callback.
        if (playbackId != 0) SDL_CloseAudioDevice(playbackId);
        if (captureId != 0) SDL_CloseAudioDevice(captureId);
        pipewire_audio::Close(pipewire);
        pulse_audio::Close(pulse);
    });
    if (closed) {
        delete state;
    } else {
        // A device thread is stuck in the sound server and may still call back into the state:
        // it stays, closed to the callbacks, until the process ends.
        abandoned_states().push_back(state);
    }
}

uint32_t audio_device_ring_fill(const AudioDevice* device) {
    return device != nullptr && device->sdl != nullptr
               ? device->counters.waitingFrames.load(std::memory_order_relaxed)
               : 0;
}

bool audio_devices_abandoned() { return !abandoned_states().empty(); }
