#pragma once
// A quiet machine for live measurements: an idle CPU of some machines sleeps so deeply that
// the whole machine stalls for milliseconds now and then; holding /dev/cpu_dma_latency open at
// 0 keeps idle CPUs awake while the object lives (Linux, where the file is writable).
#include <string>

class QuietMachine {
public:
    QuietMachine();
    ~QuietMachine();
    QuietMachine(const QuietMachine&) = delete;
    QuietMachine& operator=(const QuietMachine&) = delete;

    bool held() const { return fd_ >= 0; }
    // "quiet (CPU wake-up latency held at 0)" or "idle (...: why not)".
    const std::string& describe() const { return description_; }

private:
    int fd_ = -1;
    std::string description_;
};
