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
