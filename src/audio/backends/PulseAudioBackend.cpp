// The way straight into a PulseAudio server: the device lists, and a duplex of a record and a
// playback stream served by one thread, which writes each block to the playback stream as soon
// as its captured audio is there. The reserve against a stalled system is then held in the
// server, which plays on while no client runs, where SDL's PulseAudio driver runs the two sides
// on two threads that the system wakes independently and keeps its reserve between them.
#include <SDL.h>
#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "audio/backends/AudioBackend.h"
#include "audio/bridge/DriftResampler.h"
#include "audio/bridge/DuplexCounters.h"

namespace {

// How long the server may take to answer a request or to connect a stream.
constexpr std::chrono::seconds kAnswerTimeout{2};
constexpr uint32_t kFallbackRate = 48000;
// The real-time priority asked for the streams' thread when the process may set it itself: just
// below the server's own (5 by default), whose threads make the audio this one waits for.
constexpr int kStreamThreadPriority = 4;

// A connection to the server, served by a thread of its own.
struct Connection {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;

    bool Connect(std::string& error) {
        loop = pa_threaded_mainloop_new();
        if (loop == nullptr) {
            error = "cannot create a PulseAudio loop";
            return false;
        }
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Moravel");
        context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Moravel", props);
        pa_proplist_free(props);
        // Never start a server of our own: one that is not running is not the user's.
        if (context == nullptr ||
            pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            pa_threaded_mainloop_start(loop) < 0) {
            error = "cannot reach PulseAudio";
            return false;
        }
        pa_context_state_t state = PA_CONTEXT_UNCONNECTED;
        const bool answered = WaitFor([&] {
            state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (!answered || state != PA_CONTEXT_READY) {
            error = "PulseAudio did not answer";
            return false;
        }
        return true;
    }

    // Checks `done` with the loop locked until it holds; false when the answer time ran out.
    // Polls rather than waits on the loop's signal, so that a server that never answers
    // cannot hold the caller.
    template <class Done>
    bool WaitFor(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
        for (;;) {
            pa_threaded_mainloop_lock(loop);
            const bool finished = done();
            pa_threaded_mainloop_unlock(loop);
            if (finished) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    // Runs an introspection request to its end; false when it failed or timed out.
    template <class Request>
    bool Run(Request request) {
        pa_threaded_mainloop_lock(loop);
        pa_operation* operation = request(context);
        pa_threaded_mainloop_unlock(loop);
        if (operation == nullptr) return false;
        const bool finished =
            WaitFor([&] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
        pa_threaded_mainloop_lock(loop);
        if (!finished) pa_operation_cancel(operation);
        const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
        pa_operation_unref(operation);
        pa_threaded_mainloop_unlock(loop);
        return finished && done;
    }

    ~Connection() {
        if (loop != nullptr) pa_threaded_mainloop_stop(loop);
        if (context != nullptr) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop != nullptr) pa_threaded_mainloop_free(loop);
    }
};

struct Device {
    std::string name;
    std::string description;
    uint32_t rate = 0;
};

// What the server says about its devices.
struct ServerDevices {
    std::vector<Device> sinks;
    std::vector<Device> sources;
    std::string defaultSink;
    std::string defaultSource;
};

template <class Info>
void AddDevice(std::vector<Device>& list, const Info* info) {
    Device device;
    device.name = info->name != nullptr ? info->name : "";
    device.description = info->description != nullptr && *info->description != '\0'
                             ? info->description
                             : device.name;
    device.rate = info->sample_spec.rate;
    if (!device.name.empty()) list.push_back(std::move(device));
}

bool QueryDevices(ServerDevices& devices) {
    Connection connection;
    std::string error;
    if (!connection.Connect(error)) return false;
    return connection.Run([&](pa_context* context) {
               return pa_context_get_server_info(
                   context,
                   [](pa_context*, const pa_server_info* info, void* data) {
                       auto* found = static_cast<ServerDevices*>(data);
                       if (info == nullptr) return;
                       if (info->default_sink_name != nullptr) found->defaultSink = info->default_sink_name;
                       if (info->default_source_name != nullptr) {
                           found->defaultSource = info->default_source_name;
                       }
                   },
                   &devices);
           }) &&
           connection.Run([&](pa_context* context) {
               return pa_context_get_sink_info_list(
                   context,
                   [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                       if (eol == 0 && info != nullptr) {
                           AddDevice(static_cast<ServerDevices*>(data)->sinks, info);
                       }
                   },
                   &devices);
           }) &&
           connection.Run([&](pa_context* context) {
               return pa_context_get_source_info_list(
                   context,
                   [](pa_context*, const pa_source_info* info, int eol, void* data) {
                       // A sink's monitor is what is played, not a microphone; choosing the
                       // cable's own would feed the voice back into itself.
                       if (eol == 0 && info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
                           AddDevice(static_cast<ServerDevices*>(data)->sources, info);
                       }
                   },
                   &devices);
           });
}

// Sinks and sources (monitors of sinks left out) by description; `id` is the server's device
// name, `isDefault` follows the server's defaults. False when no PulseAudio server answers.
bool ListDevices(std::vector<AudioDeviceInfo>& playback, std::vector<AudioDeviceInfo>& capture) {
    playback.clear();
    capture.clear();
    ServerDevices devices;
    if (!QueryDevices(devices)) return false;
    auto fill = [](const std::vector<Device>& from, const std::string& defaultName,
                   std::vector<AudioDeviceInfo>& to) {
        for (const Device& device : from) {
            AudioDeviceInfo info;
            info.id = device.name;
            info.name = truncate_device_name(device.description, kMaxDeviceNameBytes);
            info.isDefault = device.name == defaultName;
            to.push_back(std::move(info));
        }
    };
    fill(devices.sinks, devices.defaultSink, playback);
    fill(devices.sources, devices.defaultSource, capture);
    return true;
}

bool SessionHasAudio() {
    std::vector<AudioDeviceInfo> playback;
    std::vector<AudioDeviceInfo> capture;
    return ListDevices(playback, capture) && (!playback.empty() || !capture.empty());
}

uint32_t SourceRate(const std::string& source) {
    ServerDevices devices;
    if (!QueryDevices(devices)) return kFallbackRate;
    const std::string& name = source.empty() ? devices.defaultSource : source;
    for (const Device& device : devices.sources) {
        if (device.name == name && device.rate > 0) return device.rate;
    }
    return kFallbackRate;
}

struct DuplexSpec {
    std::string captureSource;  // empty: the server's default
    std::string playbackSink;
    uint32_t captureChannels = 1;
    uint32_t playbackChannels = 1;
    uint32_t sampleRate = 48000;
    uint32_t chunkFrames = 240;            // what the record stream delivers at a time
    uint32_t blockFrames = 480;            // what is written to the playback stream at a time
    uint32_t playbackRequestFrames = 240;  // how little the server asks for at a time
    uint32_t reserveFrames = 336;          // what the server is to hold when a block comes
};

struct Duplex final : BackendDuplex {
    ~Duplex() override;
    void start() override;
    DeviceLoss loss() const override { return lost.load(std::memory_order_relaxed); }
    // A stream or the connection failed while running; the server's loss outweighs a device's.
    void Lose(DeviceLoss what) {
        if (running && lost.load(std::memory_order_relaxed) != DeviceLoss::server) {
            lost.store(what, std::memory_order_relaxed);
        }
    }

    StreamSink* sink = nullptr;
    DuplexCounters* counters = nullptr;
    Connection connection;
    pa_stream* record = nullptr;
    pa_stream* playback = nullptr;
    uint32_t captureStride = 4;
    uint32_t playbackStride = 4;
    uint32_t rate = 48000;
    uint32_t blockFrames = 480;
    uint32_t requestFrames = 240;
    bool running = false;  // changed and read with the loop locked
    std::atomic<DeviceLoss> lost{DeviceLoss::none};
    // Frames written to the playback stream, and what the server last reported it held.
    uint64_t written = 0;
    uint64_t writtenAtReport = 0;
    int64_t reportedFill = 0;
    bool reportPlaying = false;
    pa_operation* report = nullptr;  // the question on its way, if any
    uint64_t reportNs = 0;  // when the report came; 0 before the first
};

// The playback buffer for a reserve: the server starts playing, and starts again after running
// dry, once it holds the reserve and a block, less the request the device takes to itself at
// once with early requests (it counts as held); it takes at most a request beyond that, so that
// a burst after a stall waits in the bridge, where the backlog rule can see it.
pa_buffer_attr PlaybackAttr(const Duplex* duplex, uint32_t reserveFrames) {
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.prebuf = (reserveFrames + duplex->blockFrames - duplex->requestFrames) * duplex->playbackStride;
    attr.tlength = attr.prebuf + duplex->requestFrames * duplex->playbackStride;
    attr.minreq = duplex->requestFrames * duplex->playbackStride;
    attr.fragsize = static_cast<uint32_t>(-1);
    return attr;
}

// What the server still holds of what was written. The server's own count at its last report
// (asked for after each write, so it is at most a block old), plus what was written since the
// report, less what the device played since. The report's write index already counts every
// write made before it came, those sent while the question was on its way included. Read from
// what the server asks for, or from its interpolated latency, it would be misjudged wherever
// the device's rate is not 48 kHz or the server resamples the stream: it then pulls in steps of
// its own.
uint32_t HeldFrames(const Duplex* duplex, uint64_t nowNs) {
    if (duplex->reportNs == 0) return 0;
    int64_t held = duplex->reportedFill + static_cast<int64_t>(duplex->written - duplex->writtenAtReport);
    if (duplex->reportPlaying && nowNs > duplex->reportNs) {
        held -= static_cast<int64_t>((nowNs - duplex->reportNs) * duplex->rate / 1000000000ull);
    }
    return held > 0 ? static_cast<uint32_t>(held) : 0;
}

void OnTimingReport(pa_stream* stream, int success, void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    if (duplex->report != nullptr) pa_operation_unref(duplex->report);
    duplex->report = nullptr;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (!success || timing == nullptr || timing->write_index_corrupt || timing->read_index_corrupt) {
        return;
    }
    // What the stream's buffer holds, and what the device has already taken from it and not
    // played yet.
    duplex->reportedFill = (timing->write_index - timing->read_index) / duplex->playbackStride +
                           static_cast<int64_t>(timing->sink_usec * duplex->rate / PA_USEC_PER_SEC);
    duplex->reportPlaying = timing->playing != 0;
    duplex->writtenAtReport = duplex->written;
    duplex->reportNs = monotonic_ns();
}

// Asks the server how much it holds, unless a question is on its way.
void AskForTimingReport(Duplex* duplex) {
    if (duplex->report != nullptr) return;
    duplex->report = pa_stream_update_timing_info(duplex->playback, OnTimingReport, duplex);
}

// Writes to the playback stream what captured audio makes ready, as far as the server takes
// it. The reserve against a stalled system is held in the server, where it still plays while
// this thread cannot run, not here: what the server still holds is told to the bridge, whose
// rate controller keeps it at its target.
void Play(Duplex* duplex) {
    if (!duplex->running) return;
    for (;;) {
        const size_t writable = pa_stream_writable_size(duplex->playback);
        if (writable == static_cast<size_t>(-1)) return;
        size_t bytes = std::min(writable, static_cast<size_t>(duplex->sink->renderableFrames()) *
                                              duplex->playbackStride);
        if (bytes < duplex->playbackStride) return;
        const uint32_t held = HeldFrames(duplex, monotonic_ns());
        void* data = nullptr;
        if (pa_stream_begin_write(duplex->playback, &data, &bytes) < 0 || data == nullptr) return;
        const uint32_t frames = static_cast<uint32_t>(bytes / duplex->playbackStride);
        if (frames == 0) {
            pa_stream_cancel_write(duplex->playback);
            return;
        }
        duplex->sink->render(static_cast<float*>(data), frames, held);
        if (pa_stream_write(duplex->playback, data, static_cast<size_t>(frames) * duplex->playbackStride,
                            nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            return;
        }
        duplex->written += frames;
        AskForTimingReport(duplex);
    }
}

void OnRead(pa_stream* stream, size_t, void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    while (pa_stream_readable_size(stream) > 0) {
        const void* frames = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &frames, &bytes) < 0 || bytes == 0) break;
        // A hole (frames null) is audio the server lost; the bridge sees the gap by its clock.
        if (frames != nullptr && duplex->running) {
            duplex->sink->captured(static_cast<const float*>(frames),
                                   static_cast<uint32_t>(bytes / duplex->captureStride));
        }
        pa_stream_drop(stream);
    }
    // Playback right after, on what was just captured.
    Play(duplex);
}

// The server asks on its own after it played some: what waited for room goes now.
void OnWrite(pa_stream*, size_t, void* data) { Play(static_cast<Duplex*>(data)); }

// The server ran dry: the reserve grows, and so does what the server waits for before it plays
// again, so the break itself puts the larger reserve in place.
void OnUnderflow(pa_stream* stream, void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    duplex->counters->serverUnderflows.fetch_add(1, std::memory_order_relaxed);
    if (!duplex->running) return;
    const pa_buffer_attr attr = PlaybackAttr(duplex, duplex->sink->serverRanDry());
    pa_operation* operation = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
}

// A stream fails when its device goes away (the streams are never moved to another).
void OnStreamState(pa_stream* stream, void* data) {
    auto* duplex = static_cast<Duplex*>(data);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        duplex->Lose(stream == duplex->record ? DeviceLoss::capture : DeviceLoss::playback);
    }
}

void OnContextState(pa_context* context, void* data) {
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        static_cast<Duplex*>(data)->Lose(DeviceLoss::server);
    }
}

void OnOverflow(pa_stream*, void* data) {
    static_cast<Duplex*>(data)->counters->serverOverflows.fetch_add(1, std::memory_order_relaxed);
}

// Runs on the streams' thread once, before any audio: real time if the process may take it,
// else from the desktop's RealtimeKit, else the highest share of an ordinary thread, as SDL
// asks for its own audio threads.
void RaisePriority(pa_threaded_mainloop*, void*) {
    sched_param param{};
    param.sched_priority = kStreamThreadPriority;
#if defined(__linux__)
    if (pthread_setschedparam(pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0) return;
    const Sint64 thread = gettid();
    if (SDL_LinuxSetThreadPriorityAndPolicy(thread, SDL_THREAD_PRIORITY_TIME_CRITICAL, SCHED_RR) ==
        0) {
        return;
    }
    SDL_LinuxSetThreadPriorityAndPolicy(thread, SDL_THREAD_PRIORITY_TIME_CRITICAL, SCHED_OTHER);
#else
    // Elsewhere (a PulseAudio server on a BSD) the portable call, and SDL's own way when it
    // is refused.
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) != 0) {
        SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);
    }
#endif
}

pa_stream* NewStream(pa_context* context, bool capture, uint32_t channels, uint32_t rate) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = rate;
    spec.channels = static_cast<uint8_t>(channels);
    pa_channel_map map;
    pa_channel_map_init_auto(&map, channels, PA_CHANNEL_MAP_DEFAULT);
    return pa_stream_new(context, capture ? "Voice in" : "Voice out", &spec, &map);
}

// Connects both streams, corked; null with the reason when it cannot. The server's underflow
// and overflow reports are counted in `counters`.
Duplex* Open(const DuplexSpec& spec, StreamSink* sink, DuplexCounters& counters,
             std::string& error) {
    auto* duplex = new Duplex;
    duplex->sink = sink;
    duplex->counters = &counters;
    duplex->captureStride = spec.captureChannels * sizeof(float);
    duplex->playbackStride = spec.playbackChannels * sizeof(float);
    duplex->rate = spec.sampleRate;
    duplex->blockFrames = spec.blockFrames;
    duplex->requestFrames = spec.playbackRequestFrames;
    if (!duplex->connection.Connect(error)) {
        delete duplex;
        return nullptr;
    }
    pa_threaded_mainloop_lock(duplex->connection.loop);
    // Queued with the loop locked: its thread is already running, and may otherwise run the
    // queued call before libpulse has finished setting it up.
    pa_threaded_mainloop_once_unlocked(duplex->connection.loop, RaisePriority, nullptr);
    pa_context* context = duplex->connection.context;
    duplex->record = NewStream(context, true, spec.captureChannels, spec.sampleRate);
    duplex->playback = NewStream(context, false, spec.playbackChannels, spec.sampleRate);
    bool ok = duplex->record != nullptr && duplex->playback != nullptr;
    if (ok) {
        pa_stream_set_read_callback(duplex->record, OnRead, duplex);
        pa_stream_set_write_callback(duplex->playback, OnWrite, duplex);
        pa_stream_set_underflow_callback(duplex->playback, OnUnderflow, duplex);
        pa_stream_set_overflow_callback(duplex->record, OnOverflow, duplex);
        pa_stream_set_state_callback(duplex->record, OnStreamState, duplex);
        pa_stream_set_state_callback(duplex->playback, OnStreamState, duplex);
        pa_context_set_state_callback(context, OnContextState, duplex);
        // Small pieces each way, asked for explicitly. Captured chunks with the latency
        // adjusted, so that the server sizes its device buffers to match. Playback with early
        // requests: the sink then runs only a request ahead and the reserve stays in this
        // stream's buffer, where it counts; with the latency adjusted, the sink would run half
        // of it ahead, out of reach of a stall. Never moved to another device, which could feed
        // the cable back into the microphone.
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_START_CORKED);
        const auto recordFlags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_ADJUST_LATENCY);
        const auto playbackFlags = static_cast<pa_stream_flags_t>(
            flags | PA_STREAM_EARLY_REQUESTS);
        pa_buffer_attr recordAttr{};
        recordAttr.maxlength = static_cast<uint32_t>(-1);
        recordAttr.tlength = recordAttr.prebuf = recordAttr.minreq = static_cast<uint32_t>(-1);
        recordAttr.fragsize = spec.chunkFrames * duplex->captureStride;
        const pa_buffer_attr playbackAttr = PlaybackAttr(duplex, spec.reserveFrames);
        const char* source = spec.captureSource.empty() ? nullptr : spec.captureSource.c_str();
        const char* sinkName = spec.playbackSink.empty() ? nullptr : spec.playbackSink.c_str();
        ok = pa_stream_connect_record(duplex->record, source, &recordAttr, recordFlags) == 0 &&
             pa_stream_connect_playback(duplex->playback, sinkName, &playbackAttr, playbackFlags,
                                        nullptr, nullptr) == 0;
    }
    if (!ok) error = pa_strerror(pa_context_errno(context));
    pa_threaded_mainloop_unlock(duplex->connection.loop);

    pa_stream_state_t recordState = PA_STREAM_UNCONNECTED;
    pa_stream_state_t playbackState = PA_STREAM_UNCONNECTED;
    if (ok) {
        const bool answered = duplex->connection.WaitFor([&] {
            recordState = pa_stream_get_state(duplex->record);
            playbackState = pa_stream_get_state(duplex->playback);
            return !PA_STREAM_IS_GOOD(recordState) || !PA_STREAM_IS_GOOD(playbackState) ||
                   (recordState == PA_STREAM_READY && playbackState == PA_STREAM_READY);
        });
        ok = answered && recordState == PA_STREAM_READY && playbackState == PA_STREAM_READY;
        if (!answered) {
            error = "the devices did not answer";
        } else if (!ok) {
            error = pa_strerror(pa_context_errno(context));
        }
    }
    if (!ok) {
        delete duplex;
        return nullptr;
    }
    return duplex;
}

void Duplex::start() {
    pa_threaded_mainloop_lock(connection.loop);
    running = true;
    // Capture first, so the first playback requests find captured frames on their way.
    pa_operation* operation = pa_stream_cork(record, 0, nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
    operation = pa_stream_cork(playback, 0, nullptr, nullptr);
    if (operation != nullptr) pa_operation_unref(operation);
    Play(this);
    pa_threaded_mainloop_unlock(connection.loop);
}

// Disconnects and frees everything; returns when no stream callback can run any more. The
// connection's thread stops, after this, before its context goes.
Duplex::~Duplex() {
    if (connection.loop == nullptr) return;
    // The callbacks run with the loop locked: once it is held here, none is running, and with
    // the streams gone none can start.
    pa_threaded_mainloop_lock(connection.loop);
    running = false;
    pa_context_set_state_callback(connection.context, nullptr, nullptr);
    if (report != nullptr) {
        pa_operation_cancel(report);
        pa_operation_unref(report);
        report = nullptr;
    }
    for (pa_stream* stream : {playback, record}) {
        if (stream == nullptr) continue;
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_set_overflow_callback(stream, nullptr, nullptr);
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
    pa_threaded_mainloop_unlock(connection.loop);
}

class PulseAudio final : public AudioBackend {
public:
    const char* name() const override { return "pulseaudio"; }

    bool probe() override { return SessionHasAudio(); }

    bool listDevices(std::vector<AudioDeviceInfo>& playback,
                     std::vector<AudioDeviceInfo>& capture) override {
        if (ListDevices(playback, capture)) return true;
        lastError_ = "PulseAudio does not answer";
        return false;
    }

    // The microphone's own; the server converts the playback stream for the cable.
    uint32_t rate(const std::string& captureId, const std::string&) override {
        return SourceRate(captureId);
    }

    // Captured audio in quarter periods, each block written as soon as it is ready, and the
    // reserve held in the server instead of the bridge, where it would wait with a stalled
    // client. It starts at half a period (what the server holds, its device's share included,
    // when a block comes) and grows after the server runs dry, up to two periods, what the
    // server's own loopback keeps; the bridge holds only the resampler's look-ahead.
    DuplexTiming timing(uint32_t period) const override {
        DuplexTiming timing;
        timing.captureChunk = std::max<uint32_t>(period / 4, 1);
        timing.playbackChunk = std::max<uint32_t>(period / 2, 1);  // the server's requests
        timing.spare = DriftResampler::kTaps / 2;
        timing.held = period / 2;
        timing.heldGrowth = 2 * period - timing.held;
        return timing;
    }

    std::unique_ptr<BackendDuplex> open(const BackendDuplexSpec& spec, StreamSink& sink,
                                        DuplexCounters& counters) override {
        DuplexSpec streams;
        streams.captureSource = spec.captureId;
        streams.playbackSink = spec.playbackId;
        streams.captureChannels = spec.captureChannels;
        streams.playbackChannels = spec.playbackChannels;
        streams.sampleRate = spec.sampleRate;
        streams.chunkFrames = spec.timing.captureChunk;
        streams.blockFrames = spec.periodFrames;
        streams.playbackRequestFrames = spec.timing.playbackChunk;
        streams.reserveFrames = spec.timing.held;
        std::string error;
        std::unique_ptr<BackendDuplex> duplex(Open(streams, &sink, counters, error));
        if (duplex == nullptr) lastError_ = "PulseAudio: " + error;
        return duplex;
    }
};

}  // namespace

AudioBackend& PulseAudioBackend() {
    static PulseAudio backend;
    return backend;
}
