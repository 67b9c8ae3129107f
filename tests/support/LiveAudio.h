#pragma once
// Live audio through the private sound server: playing a signal into a sink, recording a
// monitor, and the measurements of the live loop (added latency through the probe, breaks of
// a steady tone).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/layer/AudioLayer.h"
#include "audio/bridge/DuplexCounters.h"
#include "support/PrivateSoundServer.h"

namespace live {

// paplay of `samples` (mono float at `rate`) into `sink`; returns when it has been played.
bool Play(const std::string& sink, const std::vector<float>& samples, uint32_t rate,
          const std::string& workDir);

// parec of a source as float at `rate` with `channels` channels, into a file, until Stop.
class Recorder {
public:
    bool Start(const std::string& source, uint32_t rate, const std::string& path,
               int channels = 1);
    // Waits until the recording has begun to arrive; false when it has not within `seconds`.
    bool WaitForData(double seconds = 5.0) const;
    // The interleaved samples recorded.
    std::vector<float> Stop();
    ~Recorder();

private:
    pid_t pid_ = -1;
    std::string path_;
};

// `count` clicks of 1 ms, `spacing` seconds apart, after `lead` seconds of silence.
std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate);

// For every click of the probe's left channel, the distance in samples to the same click on
// the right channel. A click arrives where a channel first rises above `threshold` after
// `quiet` samples below it; right-channel clicks more than `maxDistance` after a left one are
// not counted.
std::vector<double> ProbeDistances(const std::vector<float>& stereo, float threshold,
                                   size_t quiet, size_t maxDistance);

// The added latency in ms between the fake mic and the cable: clicks played into the fake mic,
// recorded through the probe of `server` (added for the measurement and removed after); NaN
// when fewer than `minClicks` came through on both sides.
double ProbeLatencyMs(PrivateSoundServer& server, const std::string& workDir, uint32_t rate,
                      int clicks = 8, size_t minClicks = 6);

double Median(std::vector<double> values);

// Whether the program serves `server` ("pulseaudio", "pipewire") directly: its backend is built.
bool ServedDirectly(const std::string& server);

// The duplex of the harness: "Microphone" to "Virtual cable" of `context` (listed already), one
// channel each way, the processing callback. The device pointers are null when a name is not
// listed.
AudioDeviceConfig MicrophoneToCable(const AudioContext& context);

// One line of what the duplex device's threads saw.
std::string DescribeCounters(const DuplexCounters& counters);

}  // namespace live
