#pragma once
// The private PulseAudio daemon of scripts/pulse-harness.sh, driven from a test: start and
// stop it, play a signal into one of its sinks, record a monitor.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace live {

class PrivatePulse {
public:
    ~PrivatePulse() { Stop(); }
    // False with the reason when the tools are missing or the daemon does not come up.
    bool Start(std::string& why);
    void Stop();
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

// paplay of `samples` (mono float at `rate`) into `sink`; returns when it has been played.
bool Play(const std::string& sink, const std::vector<float>& samples, uint32_t rate,
          const std::string& workDir);

// parec of a monitor as mono float at `rate`, into a file, until Stop.
class Recorder {
public:
    bool Start(const std::string& source, uint32_t rate, const std::string& path);
    std::vector<float> Stop();
    ~Recorder();

private:
    pid_t pid_ = -1;
    std::string path_;
};

}  // namespace live
