#include "live_signals.h"

#include <algorithm>
#include <cmath>

namespace live {

std::vector<float> Tone(double hz, float amplitude, double seconds, uint32_t rate) {
    std::vector<float> samples(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * i / rate));
    }
    return samples;
}

std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate) {
    const size_t start = static_cast<size_t>(lead * rate);
    const size_t step = static_cast<size_t>(spacing * rate);
    std::vector<float> samples(start + step * count, 0.0f);
    for (int c = 0; c < count; ++c) {
        for (size_t i = 0; i < rate / 1000; ++i) samples[start + c * step + i] = 0.6f;
    }
    return samples;
}

double LoudestFrequency(const std::vector<float>& samples, uint32_t rate, double maxHz) {
    const size_t n = samples.size();
    double best = 0.0;
    double bestHz = 0.0;
    for (size_t k = 1; k < n / 2 && static_cast<double>(k) * rate / n <= maxHz; ++k) {
        // Goertzel: the power of bin k.
        const double w = 2.0 * M_PI * k / n;
        const double coeff = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (float x : samples) {
            const double s0 = x + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        if (power > best) {
            best = power;
            bestHz = static_cast<double>(k) * rate / n;
        }
    }
    return bestHz;
}

double RmsDb(const std::vector<float>& samples) {
    double sum = 0.0;
    for (float x : samples) sum += static_cast<double>(x) * x;
    return 10.0 * std::log10(sum / std::max<size_t>(samples.size(), 1) + 1e-30);
}

std::vector<float> LoudestWindow(const std::vector<float>& samples, size_t length) {
    if (samples.size() <= length) return samples;
    double energy = 0.0;
    for (size_t i = 0; i < length; ++i) energy += samples[i] * samples[i];
    double best = energy;
    size_t bestStart = 0;
    for (size_t i = length; i < samples.size(); ++i) {
        energy += samples[i] * samples[i] - samples[i - length] * samples[i - length];
        if (energy > best) {
            best = energy;
            bestStart = i - length + 1;
        }
    }
    return std::vector<float>(samples.begin() + bestStart, samples.begin() + bestStart + length);
}

std::vector<double> ClickEchoDistances(const std::vector<float>& samples, float threshold,
                                       size_t quiet, size_t maxDistance) {
    std::vector<size_t> onsets;
    size_t below = quiet;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold) {
            if (below >= quiet) onsets.push_back(i);
            below = 0;
        } else {
            ++below;
        }
    }
    std::vector<double> distances;
    for (size_t i = 0; i + 1 < onsets.size(); ++i) {
        const size_t d = onsets[i + 1] - onsets[i];
        if (d <= maxDistance) {
            distances.push_back(static_cast<double>(d));
            ++i;  // that pair is one click; the next onset starts the next click
        }
    }
    return distances;
}

double Median(std::vector<double> values) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

}  // namespace live
