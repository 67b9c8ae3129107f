#include "ui/ValueCommands.h"

#include <climits>
#include <cmath>
#include <cstdlib>

int TruncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT_MAX;
    if (value <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(value);
}

int ParseIntegerInput(const std::string& text) {
    if (text.size() < 2) return 0;
    // strtol instead of atoi: the same digits are read, but an overlong number saturates
    // instead of wrapping into range (4294967346 must not become 50).
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

float ClampCustomPitch(double pitch) {
    if (pitch < kCustomPitchMin) return kCustomPitchMin;
    if (pitch > kCustomPitchMax) return kCustomPitchMax;
    return static_cast<float>(pitch);
}

float StepCustomPitch(float current, int step) {
    const double delta = step > 0 ? 0.05 : -0.05;
    const float stepped = static_cast<float>(static_cast<double>(current) + delta);
    return ClampCustomPitch(stepped);
}

float CustomPitchFromInput(const std::string& text, float current) {
    if (text.size() < 2) return current;
    const double entered = std::atof(text.c_str());
    if (std::isnan(entered)) return current;
    return ClampCustomPitch(entered);
}

int SensitivityPercent(float sensitivity) {
    // Product and sum each rounded to single precision, as the stored value was computed.
    const float scaled = sensitivity * -1000.0f;
    const float percent = scaled + 100.0f;
    return TruncateToInt(percent);
}

int StepSensitivityPercent(float sensitivity, int step) {
    const int current = sensitivity == 0.0f ? 0 : SensitivityPercent(sensitivity);
    // Wide arithmetic: a saturated percentage from a damaged file must not overflow.
    long long percent = static_cast<long long>(current) + step;
    if (percent < 0) percent += 100;
    if (percent > INT_MAX) return INT_MAX;
    if (percent < INT_MIN) return INT_MIN;
    return static_cast<int>(percent);
}

float SensitivityFromPercent(int percent) {
    if (percent < 1 || percent > 99) return 0.0f;
    return static_cast<float>(100 - percent) / 1000.0f;
}

int GainSteps(float gain) { return TruncateToInt(gain * 2.0f); }

int StepGainSteps(float gain, int step) {
    return TruncateToInt(static_cast<float>(step) + 2.0f * gain);
}

int ClampGainSteps(int steps) {
    if (steps < -kGainStepsLimit) return -kGainStepsLimit;
    if (steps > kGainStepsLimit) return kGainStepsLimit;
    return steps;
}

float GainFromSteps(int steps) { return static_cast<float>(steps) * 0.5f; }
