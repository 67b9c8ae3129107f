#include "LiveAudio.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "audio/backends/BackendTable.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "support/SoundFiles.h"

// libpulse keeps a few small allocations of its client library past SDL's shutdown; they are
// not this program's to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\nleak:libpipewire-0.3.so\nleak:libspa-\n";
}

namespace live {

namespace {

// Runs argv with stdout into `outPath` (or inherited when empty); returns the child's pid.
pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (!outPath.empty()) {
        const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) _exit(127);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int WaitExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The onsets of one channel of an interleaved recording.
std::vector<size_t> Onsets(const std::vector<float>& samples, int channels, int channel,
                           float threshold, size_t quiet) {
    std::vector<size_t> onsets;
    size_t below = quiet;
    for (size_t i = static_cast<size_t>(channel); i < samples.size(); i += channels) {
        if (std::fabs(samples[i]) > threshold) {
            if (below >= quiet) onsets.push_back(i / channels);
            below = 0;
        } else {
            ++below;
        }
    }
    return onsets;
}

}  // namespace

bool Play(const std::string& sink, const std::vector<float>& samples, uint32_t rate,
          const std::string& workDir) {
    const std::string path = workDir + "/signal.wav";
    if (!WriteSound(path, 1, static_cast<int>(rate), samples)) return false;
    const bool ok = WaitExit(Spawn({"paplay", "-d", sink, path}, "")) == 0;
    std::remove(path.c_str());
    return ok;
}

bool Recorder::Start(const std::string& source, uint32_t rate, const std::string& path,
                     int channels) {
    path_ = path;
    pid_ = Spawn({"parec", "-d", source, "--format=float32le", "--rate=" + std::to_string(rate),
                  "--channels=" + std::to_string(channels), "--latency-msec=10", "--raw"},
                 path);
    return pid_ > 0;
}

bool Recorder::WaitForData(double seconds) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    struct stat info {};
    while (stat(path_.c_str(), &info) != 0 || info.st_size == 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<float> Recorder::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        WaitExit(pid_);
        pid_ = -1;
    }
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::copy(bytes.begin(), bytes.begin() + samples.size() * sizeof(float),
              reinterpret_cast<char*>(samples.data()));
    std::remove(path_.c_str());
    return samples;
}

Recorder::~Recorder() {
    if (pid_ > 0) Stop();
}

std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate) {
    const size_t start = static_cast<size_t>(lead * rate);
    const size_t step = static_cast<size_t>(spacing * rate);
    std::vector<float> samples(start + step * count, 0.0f);
    for (int c = 0; c < count; ++c) {
        for (size_t i = 0; i < rate / 1000; ++i) samples[start + c * step + i] = 0.6f;
    }
    return samples;
}

std::vector<double> ProbeDistances(const std::vector<float>& stereo, float threshold,
                                   size_t quiet, size_t maxDistance) {
    const std::vector<size_t> left = Onsets(stereo, 2, 0, threshold, quiet);
    const std::vector<size_t> right = Onsets(stereo, 2, 1, threshold, quiet);
    std::vector<double> distances;
    size_t r = 0;
    for (size_t onset : left) {
        while (r < right.size() && right[r] < onset) ++r;
        if (r < right.size() && right[r] - onset <= maxDistance) {
            distances.push_back(static_cast<double>(right[r] - onset));
            ++r;
        }
    }
    return distances;
}

double ProbeLatencyMs(PrivateSoundServer& server, const std::string& workDir, uint32_t rate,
                      int clicks, size_t minClicks) {
    if (!server.AddProbe()) return NAN;
    Recorder recorder;
    bool played = false;
    if (recorder.Start("probe.monitor", rate, workDir + "/probe.raw", 2) &&
        recorder.WaitForData()) {
        // The new loopbacks settle before the clicks come.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        played = Play("fake_mic", Clicks(clicks, 0.3, 0.3, rate), rate, workDir);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const std::vector<double> distances =
        ProbeDistances(recorder.Stop(), 0.05f, rate / 20, rate / 5);
    server.RemoveProbe();
    if (!played || distances.size() < minClicks) return NAN;
    return Median(distances) * 1000.0 / rate;
}

double Median(std::vector<double> values) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

bool ServedDirectly(const std::string& server) {
    for (const AudioBackend* backend : audio_backends()) {
        if (server == backend->name()) return true;
    }
    return false;
}

AudioDeviceConfig MicrophoneToCable(const AudioContext& context) {
    auto find = [](const std::vector<AudioDeviceInfo>& list, const char* name) {
        const AudioDeviceInfo* found = nullptr;
        for (const AudioDeviceInfo& info : list) {
            if (info.name == name) found = &info;
        }
        return found;
    };
    AudioDeviceConfig config = audio_device_config_init_duplex();
    config.capture.pDeviceID = find(context.capture, "Microphone");
    config.playback.pDeviceID = find(context.playback, "Virtual cable");
    config.capture.channels = 1;
    config.playback.channels = 1;
    config.dataCallback = data_callback;
    return config;
}

namespace {

const char* const kBreakCauses[] = {"capture ran dry", "server ran dry", "backlog dropped",
                                    "ring full", "surplus trimmed"};

// The breaks by cause, from the log of the latest ones.
std::string DescribeBreaks(const DuplexCounters& c) {
    const uint64_t total = c.breaks.load();
    const uint64_t logged = std::min<uint64_t>(total, DuplexCounters::kBreakLog);
    uint64_t count[5] = {};
    uint64_t frames[5] = {};
    for (uint64_t i = total - logged; i < total; ++i) {
        const BreakRecord& record = c.breakLog[i % DuplexCounters::kBreakLog];
        const uint32_t cause = std::min<uint32_t>(record.cause.load(), 4);
        ++count[cause];
        frames[cause] += record.frames.load();
    }
    std::string text = std::to_string(total) + " breaks";
    if (logged < total) text += " (the latest " + std::to_string(logged) + ":";
    else if (total > 0) text += " (";
    for (int cause = 0; cause < 5; ++cause) {
        if (count[cause] == 0) continue;
        text += " " + std::to_string(count[cause]) + " " + kBreakCauses[cause] + ", " +
                std::to_string(frames[cause]) + " frames;";
    }
    if (total > 0) text.back() = ')';
    return text;
}

}  // namespace

std::string DescribeCounters(const DuplexCounters& c) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "%llu blocks (+%llu priming), %llu underruns (%llu frames silenced), %llu "
                  "frames dropped, %llu chunks (%llu late, longest gap %.1f ms), ratio %+d ppm "
                  "(%+d..%+d), %u frames waiting, at least %d beyond a block, reserve %u (at most %u), "
                  "server underflows %llu, overflows %llu",
                  static_cast<unsigned long long>(c.blocks.load()),
                  static_cast<unsigned long long>(c.primingBlocks.load()),
                  static_cast<unsigned long long>(c.underruns.load()),
                  static_cast<unsigned long long>(c.silencedFrames.load()),
                  static_cast<unsigned long long>(c.droppedFrames.load()),
                  static_cast<unsigned long long>(c.captureChunks.load()),
                  static_cast<unsigned long long>(c.lateChunks.load()),
                  c.longestChunkGapUs.load() / 1000.0, c.ratioPpm.load(), c.lowestRatioPpm.load(),
                  c.highestRatioPpm.load(), c.waitingFrames.load(),
                  static_cast<int>(c.lowestSpareFrames.load()), c.reserveFrames.load(),
                  c.highestReserveFrames.load(),
                  static_cast<unsigned long long>(c.serverUnderflows.load()),
                  static_cast<unsigned long long>(c.serverOverflows.load()));
    return std::string(line) + "; " + DescribeBreaks(c);
}

}  // namespace live
