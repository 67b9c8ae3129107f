#pragma once
// The arithmetic of the value commands (custom pitch, sensitivity, bass and treble): parsing
// of the prompt text, stepping with "+" and "-", clamping and wrapping. No state, no I/O.
#include <string>

constexpr float kCustomPitchMin = -15.0f;
constexpr float kCustomPitchMax = 30.0f;
constexpr int kGainStepsLimit = 60;  // bass and treble, in half decibels of the stored gain

// A float truncated toward zero; values beyond the int range saturate and NaN gives 0, so
// no setting read from a file can make the conversion undefined.
int TruncateToInt(float value);

// Whole number at the start of prompt text, as atoi reads it (leading blanks, sign, digits up
// to the first other character, 0 when there is none), saturated to the int range. Text of
// fewer than 2 characters (Enter alone) gives 0.
int ParseIntegerInput(const std::string& text);

// Custom pitch in semitones.
float ClampCustomPitch(double pitch);
// The pitch after "+" (step > 0) or "-" (step < 0): ±0.05 in double precision, then clamped.
float StepCustomPitch(float current, int step);
// The pitch typed at the prompt (atof rules). Enter alone, and text that reads as NaN, keep
// the current pitch; everything else, infinities included, is clamped into range.
float CustomPitchFromInput(const std::string& text, float current);

// Sensitivity: the menu shows a percentage g (1..99), the gate gets (100 - g) / 1000; 0.0 is
// the 100 % state in which nothing is gated.
int SensitivityPercent(float sensitivity);
// The percentage after "+" or "-", before the range check: from the 100 % state "+" gives 1
// and "-" gives 99.
int StepSensitivityPercent(float sensitivity, int step);
// 1..99 -> (100 - g) / 1000 in single precision; anything else -> 0.0.
float SensitivityFromPercent(int percent);

// Bass and treble: the menu value v counts half decibels, the filter gets v * 0.5 dB.
int GainSteps(float gain);
int StepGainSteps(float gain, int step);
int ClampGainSteps(int steps);
float GainFromSteps(int steps);
