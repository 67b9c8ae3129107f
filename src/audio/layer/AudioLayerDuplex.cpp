// The duplex device: a backend's capture side and playback side joined by a DuplexBridge. Both
// sides run in small chunks on the backend's threads; the processing callback runs, one block
// of exactly one period, whenever the playback side needs more.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/bridge/DuplexBridge.h"
#include "audio/layer/AudioLayer.h"

// What a running duplex holds: the backend's side of it, and the bridge its threads meet in.
struct DuplexState : StreamSink {
    AudioDevice* device = nullptr;
    std::unique_ptr<DuplexBridge> bridge;
    std::unique_ptr<BackendDuplex> backend;
    // Set before the backend is closed: from then on its threads leave the bridge alone.
    std::atomic<bool> closing{false};
    // Which backend callbacks are inside the bridge right now.
    std::atomic<int> busy{0};

    void captured(const float* frames, uint32_t count) override;
    void render(float* out, uint32_t count, uint32_t heldFrames) override;
    uint32_t renderableFrames() override;
    uint32_t serverRanDry() override;
};

namespace {

// How long closing may wait for a backend to join its threads.
constexpr std::chrono::seconds kCloseTimeout{2};

// Devices whose close did not finish in time. Their backend still holds them, so it must not
// be shut down (that would wait for them again); their state is never freed, and stays listed
// here so that it is still owned by something until the process ends. Only the main thread
// closes.
std::vector<DuplexState*>& abandoned_states() {
    static auto* states = new std::vector<DuplexState*>;
    return *states;
}

// Marks a backend callback as inside the bridge unless the device is closing.
class BridgeVisit {
public:
    explicit BridgeVisit(DuplexState* state) : state_(state) {
        state_->busy.fetch_add(1);
        entered_ = !state_->closing.load();
    }
    ~BridgeVisit() { state_->busy.fetch_sub(1); }
    bool entered() const { return entered_; }

private:
    DuplexState* state_;
    bool entered_;
};

// One block for the bridge: the period exactly as an offline device runs it.
void run_block(void* user, float* output, float* input, uint32_t frames) {
    audio_device_run_callback(static_cast<DuplexState*>(user)->device, output, input, frames);
}

bool valid_side(const AudioDeviceConfig::Side& side) {
    return side.format == SampleFormat::f32 && side.channels >= 1 &&
           side.channels <= kMaxChannels;
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

// The id a side opens its device by; empty for the backend's default.
std::string device_id(const AudioDeviceConfig::Side& side) {
    return side.pDeviceID != nullptr ? side.pDeviceID->id : "";
}

}  // namespace

void DuplexState::captured(const float* frames, uint32_t count) {
    const BridgeVisit visit(this);
    if (visit.entered()) bridge->capture(frames, count, monotonic_ns());
}

void DuplexState::render(float* out, uint32_t count, uint32_t heldFrames) {
    const BridgeVisit visit(this);
    if (visit.entered()) {
        bridge->render(out, count, monotonic_ns(), heldFrames);
    } else {
        std::memset(out, 0, static_cast<size_t>(count) * device->playback.channels * sizeof(float));
    }
}

uint32_t DuplexState::renderableFrames() {
    const BridgeVisit visit(this);
    return visit.entered() ? bridge->readyFrames() : 0;
}

uint32_t DuplexState::serverRanDry() {
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

    AudioBackend& backend = *context->backend;
    BackendDuplexSpec spec;
    spec.captureId = device_id(config->capture);
    spec.playbackId = device_id(config->playback);
    spec.captureChannels = config->capture.channels;
    spec.playbackChannels = config->playback.channels;
    spec.sampleRate =
        config->sampleRate != 0 ? config->sampleRate : backend.rate(spec.captureId, spec.playbackId);
    spec.periodFrames = std::min(std::max<uint32_t>(spec.sampleRate / 100, 1), kMaxPeriodFrames);
    spec.timing = backend.timing(spec.periodFrames);

    audio_device_init_offline(device, spec.captureChannels, spec.playbackChannels,
                              spec.sampleRate, config->dataCallback);
    device->periodFrames = spec.periodFrames;

    auto state = new DuplexState;
    state->device = device;
    DuplexBridge::Layout layout;
    layout.captureChannels = spec.captureChannels;
    layout.playbackChannels = spec.playbackChannels;
    layout.sampleRate = spec.sampleRate;
    layout.blockFrames = spec.periodFrames;
    layout.spareFrames = spec.timing.spare;
    layout.spareGrowthFrames = spec.timing.spareGrowth;
    layout.heldTargetFrames = spec.timing.held;
    layout.heldGrowthFrames = spec.timing.heldGrowth;
    RateController::Tuning tuning;
    tuning.followMean = spec.timing.held != 0;
    state->bridge =
        std::make_unique<DuplexBridge>(layout, device->counters, run_block, state, tuning);
    device->duplex = state;

    state->backend = backend.open(spec, *state, device->counters);
    if (state->backend == nullptr) {
        context->lastError = backend.lastError();
        audio_device_uninit(device);
        return kAudioDeviceOpenFailed;
    }
    return kAudioSuccess;
}

int audio_device_start(AudioDevice* device) {
    if (device == nullptr || device->duplex == nullptr) return kAudioInvalidArgs;
    device->duplex->backend->start();
    return kAudioSuccess;
}

void audio_device_uninit(AudioDevice* device) {
    if (device == nullptr || device->duplex == nullptr) return;
    DuplexState* state = device->duplex;
    device->duplex = nullptr;
    // From here no backend callback enters the bridge; wait for any that is inside (they never
    // block, so this is short). After that the callback cannot run again, whatever the backend
    // does.
    state->closing.store(true);
    while (state->busy.load() != 0) std::this_thread::yield();
    BackendDuplex* backend = state->backend.release();
    if (close_within_timeout([backend] { delete backend; })) {
        delete state;
    } else {
        // A backend thread is stuck in the sound server and may still call back into the
        // state: it stays, closed to the callbacks, until the process ends.
        abandoned_states().push_back(state);
    }
}

uint32_t audio_device_ring_fill(const AudioDevice* device) {
    return device != nullptr && device->duplex != nullptr
               ? device->counters.waitingFrames.load(std::memory_order_relaxed)
               : 0;
}

DeviceLoss audio_device_loss(const AudioDevice* device) {
    return device != nullptr && device->duplex != nullptr ? device->duplex->backend->loss()
                                                          : DeviceLoss::none;
}

bool audio_devices_abandoned() { return !abandoned_states().empty(); }
