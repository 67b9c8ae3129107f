// The way straight into PipeWire, for sessions whose audio PipeWire runs: the device lists from
// the PipeWire registry, and a duplex made of two PipeWire streams whose process callbacks run
// on PipeWire's real-time thread in step with the graph. SDL reaches PipeWire only through its
// PulseAudio emulation (about 20 ms more delay) or through SDL's own PipeWire driver, which
// hands the graph one fixed-size buffer per cycle whatever the cycle's length.
#include <pipewire/pipewire.h>
#include <pipewire/extensions/metadata.h>
#include <spa/param/audio/format-utils.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>

#include "audio/backends/AudioBackend.h"
#include "audio/bridge/DriftResampler.h"

namespace {

// How long the registry may take to answer, and a stream to connect.
constexpr uint64_t kAnswerTimeoutNs = 2000000000ull;
constexpr uint32_t kFallbackRate = 48000;

void InitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

std::string Lookup(const spa_dict* props, const char* key) {
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? value : "";
}

// The "name" of a default-device value such as {"name":"alsa_output.pci-0000"}.
std::string JsonName(const char* value) {
    if (value == nullptr) return "";
    const char* key = std::strstr(value, "\"name\"");
    if (key == nullptr) return "";
    const char* open = std::strchr(key + 6, '"');
    if (open == nullptr) return "";
    const char* close = std::strchr(open + 1, '"');
    return close != nullptr ? std::string(open + 1, close) : "";
}

struct Node {
    std::string name;
    std::string description;
    bool sink = false;
};

// One connection that reads the registry: the audio nodes, the default devices and the graph's
// rate, with a round trip to the daemon for each step.
struct Registry {
    pw_main_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    spa_hook coreListener{};
    spa_hook registryListener{};
    // A deque: the listeners' hooks must not move once registered.
    std::deque<std::pair<pw_proxy*, spa_hook>> metadata;
    int pendingSync = 0;
    bool failed = false;

    std::vector<Node> nodes;
    std::string defaultSink;
    std::string defaultSource;
    uint32_t rate = 0;

    bool Connect() {
        InitOnce();
        loop = pw_main_loop_new(nullptr);
        if (loop == nullptr) return false;
        context = pw_context_new(pw_main_loop_get_loop(loop), nullptr, 0);
        if (context == nullptr) return false;
        core = pw_context_connect(context, nullptr, 0);
        if (core == nullptr) return false;
        static const pw_core_events coreEvents = [] {
            pw_core_events events{};
            events.version = PW_VERSION_CORE_EVENTS;
            events.done = [](void* data, uint32_t id, int seq) {
                auto* self = static_cast<Registry*>(data);
                if (id == PW_ID_CORE && seq == self->pendingSync) pw_main_loop_quit(self->loop);
            };
            events.error = [](void* data, uint32_t id, int, int, const char*) {
                auto* self = static_cast<Registry*>(data);
                if (id == PW_ID_CORE) {
                    self->failed = true;
                    pw_main_loop_quit(self->loop);
                }
            };
            return events;
        }();
        pw_core_add_listener(core, &coreListener, &coreEvents, this);
        registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
        static const pw_registry_events registryEvents = [] {
            pw_registry_events events{};
            events.version = PW_VERSION_REGISTRY_EVENTS;
            events.global = [](void* data, uint32_t id, uint32_t, const char* type, uint32_t,
                               const spa_dict* props) {
                static_cast<Registry*>(data)->Global(id, type, props);
            };
            return events;
        }();
        pw_registry_add_listener(registry, &registryListener, &registryEvents, this);
        return RoundTrip() && RoundTrip();  // the globals, then the metadata bound meanwhile
    }

    // Waits until the daemon has answered everything asked so far.
    bool RoundTrip() {
        pendingSync = pw_core_sync(core, PW_ID_CORE, pendingSync);
        spa_source* timer = pw_loop_add_timer(
            pw_main_loop_get_loop(loop),
            [](void* data, uint64_t) {
                auto* self = static_cast<Registry*>(data);
                self->failed = true;
                pw_main_loop_quit(self->loop);
            },
            this);
        timespec timeout{static_cast<time_t>(kAnswerTimeoutNs / 1000000000ull),
                         static_cast<long>(kAnswerTimeoutNs % 1000000000ull)};
        pw_loop_update_timer(pw_main_loop_get_loop(loop), timer, &timeout, nullptr, false);
        pw_main_loop_run(loop);
        pw_loop_destroy_source(pw_main_loop_get_loop(loop), timer);
        return !failed;
    }

    void Global(uint32_t id, const char* type, const spa_dict* props) {
        if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
            const std::string mediaClass = Lookup(props, PW_KEY_MEDIA_CLASS);
            const bool sink = mediaClass == "Audio/Sink" || mediaClass == "Audio/Duplex";
            const bool source = mediaClass.rfind("Audio/Source", 0) == 0 || mediaClass == "Audio/Duplex";
            if (!sink && !source) return;
            Node node;
            node.name = Lookup(props, PW_KEY_NODE_NAME);
            node.description = Lookup(props, PW_KEY_NODE_DESCRIPTION);
            if (node.description.empty()) node.description = Lookup(props, PW_KEY_NODE_NICK);
            if (node.description.empty()) node.description = node.name;
            if (node.name.empty()) return;
            if (sink) {
                node.sink = true;
                nodes.push_back(node);
            }
            if (source) {
                node.sink = false;
                nodes.push_back(node);
            }
        } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
            const std::string name = Lookup(props, PW_KEY_METADATA_NAME);
            if (name != "default" && name != "settings") return;
            auto* proxy = static_cast<pw_proxy*>(
                pw_registry_bind(registry, id, PW_TYPE_INTERFACE_Metadata, PW_VERSION_METADATA, 0));
            if (proxy == nullptr) return;
            static const pw_metadata_events metadataEvents = [] {
                pw_metadata_events events{};
                events.version = PW_VERSION_METADATA_EVENTS;
                events.property = [](void* data, uint32_t subject, const char* key, const char*,
                                     const char* value) {
                    auto* self = static_cast<Registry*>(data);
                    if (subject != PW_ID_CORE || key == nullptr) return 0;
                    if (std::strcmp(key, "default.audio.sink") == 0) self->defaultSink = JsonName(value);
                    if (std::strcmp(key, "default.audio.source") == 0) {
                        self->defaultSource = JsonName(value);
                    }
                    if (std::strcmp(key, "clock.rate") == 0 && value != nullptr) {
                        self->rate = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
                    }
                    return 0;
                };
                return events;
            }();
            metadata.emplace_back(proxy, spa_hook{});
            pw_metadata_add_listener(reinterpret_cast<pw_metadata*>(proxy),
                                     &metadata.back().second, &metadataEvents, this);
        }
    }

    ~Registry() {
        for (auto& entry : metadata) {
            spa_hook_remove(&entry.second);
            pw_proxy_destroy(entry.first);
        }
        if (registry != nullptr) {
            spa_hook_remove(&registryListener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        }
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
        }
        if (context != nullptr) pw_context_destroy(context);
        if (loop != nullptr) pw_main_loop_destroy(loop);
    }
};

bool SessionHasAudio();
bool ListDevices(std::vector<AudioDeviceInfo>& playback, std::vector<AudioDeviceInfo>& capture);

bool SessionHasAudio() {
    std::vector<AudioDeviceInfo> playback;
    std::vector<AudioDeviceInfo> capture;
    return ListDevices(playback, capture) && (!playback.empty() || !capture.empty());
}

bool ListDevices(std::vector<AudioDeviceInfo>& playback, std::vector<AudioDeviceInfo>& capture) {
    playback.clear();
    capture.clear();
    Registry registry;
    if (!registry.Connect()) return false;
    for (const Node& node : registry.nodes) {
        AudioDeviceInfo info;
        info.id = node.name;
        info.name = truncate_device_name(node.description, kMaxDeviceNameBytes);
        info.isDefault = node.name == (node.sink ? registry.defaultSink : registry.defaultSource);
        (node.sink ? playback : capture).push_back(std::move(info));
    }
    return true;
}

uint32_t GraphRate() {
    Registry registry;
    if (!registry.Connect() || registry.rate == 0) return kFallbackRate;
    return registry.rate;
}

struct DuplexSpec {
    std::string captureNode;
    std::string playbackNode;
    uint32_t captureChannels = 1;
    uint32_t playbackChannels = 1;
    uint32_t sampleRate = 48000;
    uint32_t quantumFrames = 256;  // the graph cycle the streams ask for
};

struct Duplex final : BackendDuplex {
    ~Duplex() override;
    void start() override;
    DeviceLoss loss() const override { return lost.load(std::memory_order_relaxed); }
    // A stream or the connection failed while running; the server's loss outweighs a device's.
    void Lose(DeviceLoss what) {
        if (started.load(std::memory_order_relaxed) &&
            lost.load(std::memory_order_relaxed) != DeviceLoss::server) {
            lost.store(what, std::memory_order_relaxed);
        }
    }

    std::atomic<bool> started{false};
    std::atomic<DeviceLoss> lost{DeviceLoss::none};
    spa_hook coreListener{};

    StreamSink* sink = nullptr;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* capture = nullptr;
    pw_stream* playback = nullptr;
    spa_hook captureListener{};
    spa_hook playbackListener{};
    uint32_t captureStride = 4;
    uint32_t playbackStride = 4;
};

// A stream whose device goes away is not moved to another one: it fails, or is unlinked. Any
// change also wakes an open that waits for the streams to connect.
void OnStreamState(Duplex* duplex, pw_stream_state state, DeviceLoss side) {
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) duplex->Lose(side);
    pw_thread_loop_signal(duplex->loop, false);
}

void OnCapture(void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    // After a cycle this thread was too late for, more than one buffer waits: take them all,
    // or every later chunk would stay a cycle behind.
    pw_buffer* buffer;
    while ((buffer = pw_stream_dequeue_buffer(duplex->capture)) != nullptr) {
        spa_data& block = buffer->buffer->datas[0];
        if (block.data != nullptr && block.chunk != nullptr) {
            const uint32_t offset = std::min(block.chunk->offset, block.maxsize);
            const uint32_t size = std::min(block.chunk->size, block.maxsize - offset);
            duplex->sink->captured(static_cast<const float*>(SPA_PTROFF(block.data, offset, void)),
                                   size / duplex->captureStride);
        }
        pw_stream_queue_buffer(duplex->capture, buffer);
    }
    // The playback stream runs right after, in the same cycle, on what was just captured.
    pw_stream_trigger_process(duplex->playback);
}

void OnPlayback(void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    pw_buffer* buffer = pw_stream_dequeue_buffer(duplex->playback);
    if (buffer == nullptr) return;
    spa_data& block = buffer->buffer->datas[0];
    if (block.data != nullptr && block.chunk != nullptr) {
        uint32_t frames = block.maxsize / duplex->playbackStride;
        // The graph says how much this cycle needs; a fixed amount would run early or late.
        if (buffer->requested != 0) frames = std::min<uint32_t>(frames, buffer->requested);
        duplex->sink->render(static_cast<float*>(block.data), frames, 0);
        block.chunk->offset = 0;
        block.chunk->stride = static_cast<int32_t>(duplex->playbackStride);
        block.chunk->size = frames * duplex->playbackStride;
    }
    pw_stream_queue_buffer(duplex->playback, buffer);
}

const spa_pod* FormatFor(spa_pod_builder* builder, uint32_t channels, uint32_t rate) {
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = rate;
    info.channels = channels;
    if (channels == 1) {
        info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    } else {
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
    }
    return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &info);
}

pw_stream* NewStream(Duplex* duplex, bool capture, const DuplexSpec& spec, const char* group,
                     spa_hook* listener, const pw_stream_events* events) {
    char latency[64];
    std::snprintf(latency, sizeof latency, "%u/%u", spec.quantumFrames, spec.sampleRate);
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, capture ? "Capture" : "Playback",
        PW_KEY_MEDIA_ROLE, "Communication", PW_KEY_APP_NAME, "Moravel", PW_KEY_NODE_NAME,
        capture ? "Moravel voice in" : "Moravel voice out", PW_KEY_NODE_LATENCY, latency,
        PW_KEY_TARGET_OBJECT, capture ? spec.captureNode.c_str() : spec.playbackNode.c_str(),
        // Never move to another device: that could feed the cable back into the microphone.
        PW_KEY_NODE_DONT_RECONNECT, "true",
        // One group: the graph runs both streams, and so both devices, from one driver's cycle.
        // Apart, each device drives its own cycle on its own clock and the two drift and slip
        // against each other.
        PW_KEY_NODE_GROUP, group, nullptr);
    pw_stream* stream = pw_stream_new(duplex->core, capture ? "Voice in" : "Voice out", props);
    if (stream != nullptr) pw_stream_add_listener(stream, listener, events, duplex);
    return stream;
}

bool WaitUntilConnected(Duplex* duplex, std::string& error) {
    // Called with the loop locked; the state callbacks signal it.
    timespec deadline;
    pw_thread_loop_get_time(duplex->loop, &deadline, static_cast<int64_t>(kAnswerTimeoutNs));
    for (;;) {
        const char* why = nullptr;
        const pw_stream_state captureState = pw_stream_get_state(duplex->capture, &why);
        const pw_stream_state playbackState = pw_stream_get_state(duplex->playback, &why);
        if (captureState == PW_STREAM_STATE_ERROR || playbackState == PW_STREAM_STATE_ERROR) {
            error = why != nullptr ? why : "a stream failed";
            return false;
        }
        if (captureState >= PW_STREAM_STATE_PAUSED && playbackState >= PW_STREAM_STATE_PAUSED) {
            return true;
        }
        if (pw_thread_loop_timed_wait_full(duplex->loop, &deadline) != 0) {
            error = "the devices did not answer";
            return false;
        }
    }
}

// Connects both streams (not yet running); null with the reason when it cannot.
Duplex* Open(const DuplexSpec& spec, StreamSink* sink, std::string& error) {
    InitOnce();
    auto* duplex = new Duplex;
    duplex->sink = sink;
    duplex->captureStride = spec.captureChannels * sizeof(float);
    duplex->playbackStride = spec.playbackChannels * sizeof(float);
    duplex->loop = pw_thread_loop_new("moravel-audio", nullptr);
    if (duplex->loop == nullptr) {
        error = "cannot create a PipeWire loop";
        delete duplex;
        return nullptr;
    }
    // client-rt.conf raises the thread that runs the process callbacks to real-time priority.
    duplex->context = pw_context_new(pw_thread_loop_get_loop(duplex->loop),
                                     pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr),
                                     0);
    if (duplex->context == nullptr || pw_thread_loop_start(duplex->loop) != 0) {
        error = "cannot start PipeWire";
        delete duplex;
        return nullptr;
    }

    static const pw_stream_events captureEvents = [] {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.process = OnCapture;
        events.state_changed = [](void* data, pw_stream_state, pw_stream_state state, const char*) {
            OnStreamState(static_cast<Duplex*>(data), state, DeviceLoss::capture);
        };
        return events;
    }();
    static const pw_stream_events playbackEvents = [] {
        pw_stream_events events = captureEvents;
        events.process = OnPlayback;
        events.state_changed = [](void* data, pw_stream_state, pw_stream_state state, const char*) {
            OnStreamState(static_cast<Duplex*>(data), state, DeviceLoss::playback);
        };
        return events;
    }();
    // The connection breaks when the daemon goes away (other core errors name objects that went
    // with a device).
    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.error = [](void* data, uint32_t id, int, int res, const char*) {
            if (id == PW_ID_CORE && res == -EPIPE) static_cast<Duplex*>(data)->Lose(DeviceLoss::server);
        };
        return events;
    }();

    pw_thread_loop_lock(duplex->loop);
    duplex->core = pw_context_connect(duplex->context, nullptr, 0);
    bool ok = duplex->core != nullptr;
    if (ok) {
        pw_core_add_listener(duplex->core, &duplex->coreListener, &coreEvents, duplex);
        static std::atomic<uint32_t> opened{0};
        char group[64];
        std::snprintf(group, sizeof group, "moravel-%d-%u", static_cast<int>(getpid()),
                      opened.fetch_add(1));
        duplex->capture =
            NewStream(duplex, true, spec, group, &duplex->captureListener, &captureEvents);
        duplex->playback =
            NewStream(duplex, false, spec, group, &duplex->playbackListener, &playbackEvents);
        ok = duplex->capture != nullptr && duplex->playback != nullptr;
    }
    const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT |
                                                    PW_STREAM_FLAG_MAP_BUFFERS |
                                                    PW_STREAM_FLAG_RT_PROCESS |
                                                    PW_STREAM_FLAG_INACTIVE);
    if (ok) {
        uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* captureFormat = FormatFor(&builder, spec.captureChannels, spec.sampleRate);
        const spa_pod* playbackFormat = FormatFor(&builder, spec.playbackChannels, spec.sampleRate);
        // The playback stream is not run by the graph on its own but by the capture stream's
        // callback: its output depends on that input.
        const auto playbackFlags = static_cast<pw_stream_flags>(flags | PW_STREAM_FLAG_TRIGGER);
        ok = pw_stream_connect(duplex->capture, PW_DIRECTION_INPUT, PW_ID_ANY, flags,
                               &captureFormat, 1) == 0 &&
             pw_stream_connect(duplex->playback, PW_DIRECTION_OUTPUT, PW_ID_ANY, playbackFlags,
                               &playbackFormat, 1) == 0;
    }
    if (!ok) error = "cannot connect to PipeWire";
    if (ok) ok = WaitUntilConnected(duplex, error);
    pw_thread_loop_unlock(duplex->loop);
    if (!ok) {
        delete duplex;
        return nullptr;
    }
    return duplex;
}

void Duplex::start() {
    pw_thread_loop_lock(loop);
    // Capture first, so the first playback cycles find captured frames on their way.
    pw_stream_set_active(capture, true);
    pw_stream_set_active(playback, true);
    started.store(true, std::memory_order_relaxed);
    pw_thread_loop_unlock(loop);
}

// Returns when no stream callback can run any more.
Duplex::~Duplex() {
    if (loop != nullptr) {
        pw_thread_loop_lock(loop);
        started.store(false, std::memory_order_relaxed);
        // Destroying a stream waits for its process callback to finish on the real-time thread.
        if (playback != nullptr) pw_stream_destroy(playback);
        if (capture != nullptr) pw_stream_destroy(capture);
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
        }
        pw_thread_loop_unlock(loop);
        pw_thread_loop_stop(loop);
    }
    if (context != nullptr) pw_context_destroy(context);
    if (loop != nullptr) pw_thread_loop_destroy(loop);
}

class PipeWire final : public AudioBackend {
public:
    const char* name() const override { return "pipewire"; }

    bool probe() override { return SessionHasAudio(); }

    bool listDevices(std::vector<AudioDeviceInfo>& playback,
                     std::vector<AudioDeviceInfo>& capture) override {
        if (ListDevices(playback, capture)) return true;
        lastError_ = "PipeWire does not answer";
        return false;
    }

    // The graph's: devices at other rates are converted to it.
    uint32_t rate(const std::string&, const std::string&) override { return GraphRate(); }

    // Both streams ask the graph for 256-frame cycles at 48 kHz (5.3 ms; pulse clients in the
    // same graph hold it there anyway) and the playback side runs right after the capture side
    // in each cycle, so a late cycle is late for both: the look-ahead and half a cycle wait. A
    // system busy enough to make the capture side run dry earns more, up to two periods in all.
    DuplexTiming timing(uint32_t period) const override {
        DuplexTiming timing;
        timing.captureChunk = timing.playbackChunk = std::max<uint32_t>(period * 256 / 480, 1);
        timing.spare = DriftResampler::kTaps / 2 + timing.captureChunk / 2;
        timing.spareGrowth = 2 * period - std::min(timing.spare, 2 * period);
        return timing;
    }

    std::unique_ptr<BackendDuplex> open(const BackendDuplexSpec& spec, StreamSink& sink,
                                        DuplexCounters&) override {
        DuplexSpec streams;
        streams.captureNode = spec.captureId;
        streams.playbackNode = spec.playbackId;
        streams.captureChannels = spec.captureChannels;
        streams.playbackChannels = spec.playbackChannels;
        streams.sampleRate = spec.sampleRate;
        streams.quantumFrames = spec.timing.captureChunk;
        std::string error;
        std::unique_ptr<BackendDuplex> duplex(Open(streams, &sink, error));
        if (duplex == nullptr) lastError_ = "PipeWire: " + error;
        return duplex;
    }
};

}  // namespace

AudioBackend& PipeWireBackend() {
    static PipeWire backend;
    return backend;
}
