// The live path through a real sound server, measured beside the server's own loopback in the
// same run: a private PulseAudio or PipeWire (scripts/pulse-harness.sh), "Microphone" (the fake
// mic's monitor) to "Virtual cable", a continuous 1 kHz tone played in and the cable's monitor
// recorded. Prints figures; passes or fails nothing.
//
//   build/bench/live_glitch_bench [--seconds N] [--server pulseaudio|pipewire]...
//                                 [--mode loopback|off|chain]... [--load N] [--driver DRIVER]
//                                 [--tone HZ] [--mic RATE[xCHANNELS]] [--cable RATE[xCHANNELS]]
//                                 [--machine quiet|idle]... [--beside]
//
// Modes: "loopback" is the server's module-loopback latency_msec=20 (the yardstick), "off" the
// program with processing off, "chain" the program with Robot then Baby Pitch, Echo and noise
// removal. --load starts N busy processes at normal priority for the whole run. --beside runs the
// loopback in the same seconds as each case of the program, into a cable of its own: both meet
// the same stalls of the machine, which cases run one after the other do not.
//
// Figures per run: dropouts (events where the tone breaks: ToneBreaks grouped within 25 ms;
// for the chain, whose output is not a tone, runs of 32 or more exact zeros), the added
// latency at the start and at the end (clicks through the probe), and for the program the
// layer's own counters and its CPU share. Server-side underruns are counted from the server's
// log when the harness was started with logging (PULSE_HARNESS_LOG_LEVEL=debug for PulseAudio,
// PIPEWIRE_DEBUG=3 for PipeWire).
//
// Each case also reports the machine's own stalls: a real-time thread that sleeps 1 ms at a time
// counts how late it woke. A stall longer than what a path holds inside the server is heard
// whatever the path does, so dropouts are read beside these counts.
#include <SDL.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/layer/AudioLayer.h"
#include "audio/setup/AudioSetup.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "support/LiveAudio.h"
#include "support/PrivateSoundServer.h"
#include "support/QuietMachine.h"
#include "support/ProgramState.h"
#include "support/Signals.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr double kToneHz = 1000.0;

// The tone played in, the microphone's and the cable's shape (set from the options).
double g_toneHz = kToneHz;
uint32_t g_micRate = kRate;
uint32_t g_cableRate = kRate;
uint32_t g_cableChannels = 1;

// A device's rate and channel count, as the harness makes it.
struct Shape {
    uint32_t rate = kRate;
    uint32_t channels = 1;
};

struct Options {
    double seconds = 600.0;
    double toneHz = kToneHz;
    Shape mic;
    Shape cable;
    std::vector<std::string> servers;
    std::vector<std::string> modes;
    int load = 0;
    std::string driver;  // SDL's audio driver; empty: the harness's (pulseaudio)
    std::vector<std::string> machines;  // "quiet" and/or "idle"
    bool beside = false;
};

bool g_beside = false;
// Where the loopback plays when it runs beside the program.
constexpr const char* kBesideCable = "loopback_cable";

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// Lines of the server's log that report an underrun or overrun of a stream.
int ServerXruns(const std::string& dir) {
    const std::string count = Run("cat '" + dir + "'/daemon.log 2>/dev/null | grep -c -i -E "
                                  "'underrun|overrun|overflow'");
    return std::atoi(count.c_str());
}

// The program's settings for a mode.
void ApplyMode(const std::string& mode) {
    NeutralProcessing();
    if (mode == "off") {
        SS_MORAVEL_ACTIVE = false;
    } else if (mode == "chain") {
        SS_VavorOzodediEffect = 20;
        SS_ChainEffect_1 = 4;
        SS_ChainEffect_2 = 8;
        SS_EffectType = 2;
        SS_EnableNoiseRemoval = true;
    }
}

// Counts how late a thread that sleeps 1 ms at a time wakes, while it lives.
class StallProbe {
public:
    StallProbe() : thread_([this] { Watch(); }) {}
    ~StallProbe() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    std::string Describe() const {
        char text[160];
        std::snprintf(text, sizeof text,
                      "machine stalls %d over 5 ms, %d over 10 ms, %d over 20 ms, longest %.0f ms%s",
                      over5_, over10_, over20_, longestMs_, realtime_ ? "" : " (probe not real-time)");
        return text;
    }

private:
    void Watch() {
        sched_param param{};
        param.sched_priority = 10;
        realtime_ = pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
        using Clock = std::chrono::steady_clock;
        constexpr auto kTick = std::chrono::milliseconds(1);
        auto before = Clock::now();
        while (!stop_) {
            std::this_thread::sleep_for(kTick);
            const auto now = Clock::now();
            const double lateMs =
                std::chrono::duration<double, std::milli>(now - before - kTick).count();
            before = now;
            longestMs_ = std::max(longestMs_, lateMs);
            if (lateMs > 5.0) ++over5_;
            if (lateMs > 10.0) ++over10_;
            if (lateMs > 20.0) ++over20_;
        }
    }

    std::atomic<bool> stop_{false};
    bool realtime_ = false;
    int over5_ = 0;
    int over10_ = 0;
    int over20_ = 0;
    double longestMs_ = 0.0;
    std::thread thread_;
};

struct Figures {
    int dropouts = -1;
    std::string detail;
    double latencyStart = NAN;
    double latencyEnd = NAN;
    double cpuPercent = NAN;
    double toneHz = NAN;
    int serverXruns = 0;
};

// The dropouts of a recording of the tone and the pitch it arrived at.
void AnalyseTone(const std::vector<float>& recorded, const std::string& mode, double seconds,
                 Figures& f) {
    const std::vector<float> steady = AudiblePart(recorded, 0.05f, g_cableRate / 10);
    if (mode == "chain") {
        const std::vector<size_t> runs = ZeroRuns(steady, 32);
        f.dropouts = static_cast<int>(runs.size());
        f.detail = "zero runs of 32+ samples";
    } else {
        const std::vector<size_t> breaks = ToneBreaks(steady, g_toneHz, g_cableRate);
        const std::vector<size_t> events = GroupEvents(breaks, g_cableRate / 40);
        f.dropouts = static_cast<int>(events.size());
        f.toneHz = ToneFrequency(steady, g_toneHz, g_cableRate);
        const std::vector<size_t> zeros = ZeroRuns(steady, 8);
        size_t longest = 0;
        for (size_t run : zeros) longest = std::max(longest, run);
        f.detail = std::to_string(zeros.size()) + " zero runs, longest " + std::to_string(longest);
    }
    const double heard = static_cast<double>(steady.size()) / g_cableRate;
    if (heard < seconds * 0.9) f.detail += "; only " + std::to_string(heard) + " s of tone heard";
}

// The tone through the case's path and, when `beside` is given, through the loopback beside it.
void MeasureTone(const std::string& mode, double seconds, const std::string& work, Figures& f,
                 Figures* beside) {
    live::Recorder recorder;
    live::Recorder besideRecorder;
    recorder.Start("virtual_cable.monitor", g_cableRate, work + "/tone.raw");
    if (beside != nullptr) {
        besideRecorder.Start(std::string(kBesideCable) + ".monitor", g_cableRate,
                             work + "/beside.raw");
    }
    Sleep(0.3);
    live::Play("fake_mic", Tone(g_toneHz, 0.5f, seconds, g_micRate), g_micRate, work);
    Sleep(0.3);
    AnalyseTone(recorder.Stop(), mode, seconds, f);
    if (beside != nullptr) AnalyseTone(besideRecorder.Stop(), "loopback", seconds, *beside);
}

// The added latency of the loopback beside the program, through the probe.
double ProbeBesideMs(PrivateSoundServer& server, const std::string& work) {
    setenv("PULSE_HARNESS_PROBE_CABLE", kBesideCable, 1);
    const double ms = live::ProbeLatencyMs(server, work, kRate);
    unsetenv("PULSE_HARNESS_PROBE_CABLE");
    return ms;
}

// Server modules loaded for a case, unloaded the latest first when the case ends, however it
// ends.
struct LoadedModules {
    std::vector<std::string> ids;
    bool Load(const std::string& arguments) {
        const std::string id = Run("pactl load-module " + arguments);
        if (!id.empty()) ids.push_back(id);
        return !id.empty();
    }
    ~LoadedModules() {
        for (auto id = ids.rbegin(); id != ids.rend(); ++id) Run("pactl unload-module " + *id);
    }
};

// The server's loopback into a cable of its own, in the cable's shape.
bool StartBesideLoopback(LoadedModules& modules) {
    return modules.Load("module-null-sink sink_name=" + std::string(kBesideCable) +
                        " rate=" + std::to_string(g_cableRate) +
                        " channels=" + std::to_string(g_cableChannels)) &&
           modules.Load("module-loopback source=microphone sink=" + std::string(kBesideCable) +
                        " latency_msec=20");
}

// How many streams play into the cable: the path measured and, during a measurement, the
// probe's; one more would be a stray path that no case asked for.
int CableInputs() {
    const std::string count = Run(
        "pactl list short sink-inputs 2>/dev/null | awk -v s=\"$(pactl list short sinks | "
        "awk '$2 == \"virtual_cable\" {print $1}')\" '$2 == s' | wc -l");
    return std::atoi(count.c_str());
}

void RunCase(PrivateSoundServer& server, const std::string& mode, double seconds,
             const std::string& work, const std::string& machine) {
    Figures f;
    const int xrunsBefore = ServerXruns(server.dir());
    std::string module;
    AudioContext context;
    AudioDevice device;
    double cpuStart = 0.0;
    auto wallStart = std::chrono::steady_clock::now();
    const bool beside = g_beside && mode != "loopback";
    LoadedModules besideModules;
    if (beside) {
        if (!StartBesideLoopback(besideModules)) {
            std::printf("%-10s %-8s cannot start the loopback beside it\n",
                        server.server().c_str(), mode.c_str());
            return;
        }
    }
    if (mode == "loopback") {
        module = Run("pactl load-module module-loopback source=microphone sink=virtual_cable "
                     "latency_msec=20");
    } else {
        ApplyMode(mode);
        if (audio_context_init(&context) != 0 ||
            audio_context_get_devices(&context, nullptr, nullptr, nullptr, nullptr) != 0) {
            std::printf("%-10s %-8s cannot create the audio context\n", server.server().c_str(),
                        mode.c_str());
            return;
        }
        const AudioDeviceConfig config = live::MicrophoneToCable(context);
        if (config.capture.pDeviceID == nullptr || config.playback.pDeviceID == nullptr ||
            audio_device_init(&context, &config, &device) != 0) {
            std::printf("%-10s %-8s cannot open the devices: %s\n", server.server().c_str(),
                        mode.c_str(), context.lastError.c_str());
            audio_context_uninit(&context);
            return;
        }
        ResetPitchEffects();
        audio_device_start(&device);
        cpuStart = CpuSeconds();
        wallStart = std::chrono::steady_clock::now();
    }
    Sleep(1.0);
    Figures besideFigures;
    f.latencyStart = live::ProbeLatencyMs(server, work, kRate);
    if (beside) besideFigures.latencyStart = ProbeBesideMs(server, work);
    const int inputs = CableInputs();
    StallProbe stalls;
    MeasureTone(mode, seconds, work, f, beside ? &besideFigures : nullptr);
    stalls.Stop();
    f.latencyEnd = live::ProbeLatencyMs(server, work, kRate);
    if (beside) besideFigures.latencyEnd = ProbeBesideMs(server, work);
    std::string counters;
    if (mode == "loopback") {
        Run("pactl unload-module " + module);
    } else {
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        f.cpuPercent = 100.0 * (CpuSeconds() - cpuStart) / wall;
        counters = live::DescribeCounters(device.counters);
        audio_device_uninit(&device);
        audio_context_uninit(&context);
        applicationClear();
    }
    f.serverXruns = ServerXruns(server.dir()) - xrunsBefore;
    std::printf("%-10s %-8s %-5s %5.0f s: tone %.2f Hz; dropouts %d (%s); latency %.1f ms at "
                "start, %.1f ms at end; %d stream(s) into the cable; server xrun reports %d; %s",
                server.server().c_str(), mode.c_str(), machine.c_str(), seconds, f.toneHz,
                f.dropouts, f.detail.c_str(), f.latencyStart, f.latencyEnd, inputs,
                f.serverXruns, stalls.Describe().c_str());
    if (mode != "loopback") std::printf("; CPU %.1f %%; %s", f.cpuPercent, counters.c_str());
    std::printf("\n");
    if (beside) {
        std::printf("%-10s %-8s %-5s %5.0f s: the loopback beside it: tone %.2f Hz; "
                    "dropouts %d (%s); latency %.1f ms at start, %.1f ms at end\n",
                    server.server().c_str(), "loopback", machine.c_str(), seconds,
                    besideFigures.toneHz, besideFigures.dropouts, besideFigures.detail.c_str(),
                    besideFigures.latencyStart, besideFigures.latencyEnd);
    }
    std::fflush(stdout);
}

std::vector<pid_t> StartLoad(int count) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spin = 0;
            for (;;) spin = spin + 1;
        }
        pids.push_back(pid);
    }
    return pids;
}

void StopLoad(const std::vector<pid_t>& pids) {
    for (pid_t pid : pids) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--beside") {
            options.beside = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--seconds") {
            options.seconds = std::atof(value.c_str());
        } else if (arg == "--server") {
            options.servers.push_back(value);
        } else if (arg == "--mode") {
            options.modes.push_back(value);
        } else if (arg == "--load") {
            options.load = std::atoi(value.c_str());
        } else if (arg == "--driver") {
            options.driver = value;
        } else if (arg == "--machine") {
            if (value != "quiet" && value != "idle") return false;
            options.machines.push_back(value);
        } else if (arg == "--tone") {
            options.toneHz = std::atof(value.c_str());
        } else if (arg == "--mic" || arg == "--cable") {
            Shape& shape = arg == "--mic" ? options.mic : options.cable;
            unsigned rate = 0, channels = 1;
            if (std::sscanf(value.c_str(), "%ux%u", &rate, &channels) < 1 || rate < 8000 ||
                channels < 1 || channels > 8) {
                return false;
            }
            shape = {rate, channels};
        } else {
            return false;
        }
    }
    if (options.servers.empty()) options.servers = {"pulseaudio", "pipewire"};
    if (options.modes.empty()) options.modes = {"loopback", "off", "chain"};
    if (options.machines.empty()) options.machines = {"quiet", "idle"};
    return options.seconds > 0.0 && options.toneHz > 0.0;
}

// The harness makes the devices in these shapes.
void ShapeDevices(const Options& options) {
    setenv("PULSE_HARNESS_MIC_RATE", std::to_string(options.mic.rate).c_str(), 1);
    setenv("PULSE_HARNESS_MIC_CHANNELS", std::to_string(options.mic.channels).c_str(), 1);
    setenv("PULSE_HARNESS_CABLE_RATE", std::to_string(options.cable.rate).c_str(), 1);
    setenv("PULSE_HARNESS_CABLE_CHANNELS", std::to_string(options.cable.channels).c_str(), 1);
    g_toneHz = options.toneHz;
    g_micRate = options.mic.rate;
    g_cableRate = options.cable.rate;
    g_cableChannels = options.cable.channels;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--seconds N] [--server pulseaudio|pipewire]... "
                     "[--mode loopback|off|chain]... [--load N] [--driver SDL_DRIVER]\n"
                     "       [--tone HZ] [--mic RATE[xCHANNELS]] [--cable RATE[xCHANNELS]]\n"
                     "       [--machine quiet|idle]... [--beside]\n",
                     argv[0]);
        return 2;
    }
    char pattern[] = "/tmp/moravel-bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string work = pattern;
    ShapeDevices(options);
    g_beside = options.beside;
    const std::vector<pid_t> load = StartLoad(options.load);
    if (options.load > 0) std::printf("under load: %d busy processes\n", options.load);
    for (const std::string& name : options.servers) {
        PrivateSoundServer server;
        std::string why;
        if (!server.Start(name, why)) {
            std::printf("%-10s not measured: %s\n", name.c_str(), why.c_str());
            continue;
        }
        if (!options.driver.empty()) setenv("SDL_AUDIODRIVER", options.driver.c_str(), 1);
        for (const std::string& mode : options.modes) {
            // Each case on a quiet machine and as it is, one after the other.
            for (const std::string& machine : options.machines) {
                std::unique_ptr<QuietMachine> quiet;
                if (machine == "quiet") {
                    quiet = std::make_unique<QuietMachine>();
                    if (!quiet->held()) {
                        std::printf("%-10s %-8s quiet not measured: %s\n", name.c_str(),
                                    mode.c_str(), quiet->describe().c_str());
                        continue;
                    }
                }
                RunCase(server, mode, options.seconds, work, machine);
            }
        }
        server.Stop();
    }
    StopLoad(load);
    Run("rm -rf '" + work + "'");
    return 0;
}
