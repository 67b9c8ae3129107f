#pragma once
// Playing a signal into a sink of the private PulseAudio daemon and recording a monitor.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/PrivatePulse.h"

namespace live {

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
