#pragma once
// The private sound server of scripts/pulse-harness.sh (PulseAudio, or PipeWire through
// pipewire-pulse), driven from a test or a benchmark: started, its environment set in this
// process (so SDL and the children find it), stopped at the end.
#include <string>
#include <vector>

class PrivateSoundServer {
public:
    ~PrivateSoundServer() { Stop(); }
    // `server` is "pulseaudio" or "pipewire". False with the reason when the tools are missing
    // or the server does not come up.
    bool Start(const std::string& server, std::string& why);
    // Adds the latency probe (a stereo sink: left the fake mic, right the cable) and removes it.
    bool AddProbe();
    void RemoveProbe();
    void Stop();
    const std::string& dir() const { return dir_; }
    const std::string& server() const { return server_; }

private:
    std::string dir_;
    std::string server_;
};

// The servers live tests run against: both, or only the one MORAVEL_SOUND_SERVER names.
std::vector<std::string> LiveSoundServers();
// Whether live tests are to run against `server`.
bool LiveServerWanted(const std::string& server);
