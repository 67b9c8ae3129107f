#pragma once
// The private PulseAudio daemon of scripts/pulse-harness.sh, driven from a test: started, its
// environment set in this process (so SDL and the children find it), stopped at the end.
#include <string>

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
