#pragma once
// Test signals and their measurement for the live loop through a private sound server.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace live {

// A sine of `hz` at `amplitude`, `seconds` long.
std::vector<float> Tone(double hz, float amplitude, double seconds, uint32_t rate);

// `count` clicks of 1 ms, `spacing` seconds apart, after `lead` seconds of silence.
std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate);

// The frequency of the loudest DFT bin of `samples` (bins of rate / size Hz, DC left out).
double LoudestFrequency(const std::vector<float>& samples, uint32_t rate, double maxHz);

// RMS level in dB relative to full scale.
double RmsDb(const std::vector<float>& samples);

// The `length` samples around the loudest stretch of the recording.
std::vector<float> LoudestWindow(const std::vector<float>& samples, size_t length);

// For every click: the distance in samples from its first arrival to its second. A click
// arrives where the signal first rises above `threshold` after `quiet` samples below it.
std::vector<double> ClickEchoDistances(const std::vector<float>& samples, float threshold,
                                       size_t quiet, size_t maxDistance);

double Median(std::vector<double> values);

}  // namespace live
