#pragma once
// An offline render: a sound file through the processing callback, block by block, on a device
// built without SDL that clears and clips each block as the live device does. mvconsole-render
// (tools/) is its command line.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/render/RenderSettings.h"

constexpr int kRenderOk = 0;
constexpr int kRenderFailed = 1;  // a file cannot be read or written, or is not 1 or 2 channels
constexpr int kRenderUsage = 2;   // unknown option, missing argument, bad key, value or FRAMES

struct RenderOptions {
    std::string configFile;                 // empty: first-start settings only
    std::vector<SettingAssignment> settings;  // the --set arguments, in order
    unsigned int blockFrames = 0;           // 0: 10 ms of the input's rate
    std::string input;
    std::string output;
    bool help = false;
};

// The libsndfile format chosen by the output's extension (.wav 32-bit float, .flac 24-bit), or
// 0 for an extension it cannot write.
int OutputFormatFor(const std::string& path);

// Frames per block when none are given: 10 ms of the rate, kept within 1..kMaxPeriodFrames.
unsigned int DefaultBlockFrames(int sampleRate);

struct RenderSummary {
    uint64_t frames = 0;
    uint64_t blocks = 0;
    double processingSeconds = 0.0;  // time spent in the callback
    int sampleRate = 0;
    std::vector<std::string> held;  // settings held to what the processing can take
};

// "<frames> frames, <blocks> blocks, <s> s processing, <x>x faster than real time"
std::string FormatRenderSummary(const RenderSummary& summary);

// Applies the settings and renders INPUT into OUTPUT. Returns the exit status; unless it is
// kRenderOk, `error` says which file failed and why.
int RenderFile(const RenderOptions& options, RenderSummary& summary, std::string& error);

