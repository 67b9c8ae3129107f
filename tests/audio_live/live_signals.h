#pragma once
// Test signals and their measurement for the live loop through a private sound server.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/Signals.h"

namespace live {

// `count` clicks of 1 ms, `spacing` seconds apart, after `lead` seconds of silence.
std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate);

// For every click: the distance in samples from its first arrival to its second. A click
// arrives where the signal first rises above `threshold` after `quiet` samples below it.
std::vector<double> ClickEchoDistances(const std::vector<float>& samples, float threshold,
                                       size_t quiet, size_t maxDistance);

double Median(std::vector<double> values);

}  // namespace live
