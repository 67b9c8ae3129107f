#pragma once
// Test signals and their measurement: noise, tones, the frequency and level of a recording.
#include <cstddef>
#include <cstdint>
#include <vector>

// Deterministic samples in [-amplitude, amplitude].
std::vector<float> Noise(size_t samples, float amplitude, uint32_t seed = 1);

// A sine of `hz` at `amplitude`, `seconds` long.
std::vector<float> Tone(double hz, float amplitude, double seconds, uint32_t rate);

// The frequency of the loudest DFT bin of `samples` (bins of rate / size Hz, DC left out).
double LoudestFrequency(const std::vector<float>& samples, uint32_t rate, double maxHz);

// Samples a dominant-frequency measurement reads.
constexpr size_t kDominantFrequencyWindow = 16384;

// Frequency of the loudest component of kDominantFrequencyWindow samples from `start`: Hann
// window, loudest FFT bin, parabolic interpolation of the log magnitudes around it.
double DominantFrequency(const std::vector<float>& signal, size_t start, double rate);

// RMS level in dB relative to full scale.
double RmsDb(const std::vector<float>& samples);

// The `length` samples around the loudest stretch of the recording.
std::vector<float> LoudestWindow(const std::vector<float>& samples, size_t length);

// Where a steady sine of `hz` breaks: the indices n at which the sine's own recurrence,
// |y[n] − 2cos(ω)·y[n−1] + y[n−2]|, exceeds `threshold`. A continuous tone gives none; a cut,
// a dropped or repeated stretch or inserted silence gives one where it starts and one where
// it ends.
std::vector<size_t> ToneBreaks(const std::vector<float>& samples, double hz, uint32_t rate,
                               float threshold = 0.02f);

// The frequency a listener hears in a recorded sine of about `hz`: whole periods per second,
// from its upward zero crossings, over the stretches where it runs unbroken (a period more than
// 5 % off the nominal one, where the tone broke, is left out). 0 without two such crossings.
double ToneFrequency(const std::vector<float>& samples, double hz, uint32_t rate);

// Positions closer than `gap` to the previous one belong to the same event; the first
// position of every event.
std::vector<size_t> GroupEvents(const std::vector<size_t>& positions, size_t gap);

// The samples from where the signal first exceeds `level` to where it last does, less
// `margin` at both ends: the steady part of a recorded tone, without the silence around it.
std::vector<float> AudiblePart(const std::vector<float>& samples, float level, size_t margin);

// Lengths of the runs of at least `minLength` samples that are exactly 0.
std::vector<size_t> ZeroRuns(const std::vector<float>& samples, size_t minLength);
