#include "Signals.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

}  // namespace

std::vector<float> Noise(size_t samples, float amplitude, uint32_t seed) {
    std::vector<float> v(samples);
    uint32_t state = seed * 2654435761u + 1u;
    for (float& s : v) {
        state = state * 1664525u + 1013904223u;
        s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

std::vector<float> Tone(double hz, float amplitude, double seconds, uint32_t rate) {
    std::vector<float> samples(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * hz * i / rate));
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

double DominantFrequency(const std::vector<float>& signal, size_t start, double rate) {
    std::vector<std::complex<double>> bins(kDominantFrequencyWindow);
    for (size_t i = 0; i < kDominantFrequencyWindow; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (kDominantFrequencyWindow - 1));
        bins[i] = signal[start + i] * window;
    }
    Fft(bins);
    size_t peak = 1;
    for (size_t k = 1; k < kDominantFrequencyWindow / 2 - 1; ++k) {
        if (std::abs(bins[k]) > std::abs(bins[peak])) peak = k;
    }
    const double a = std::log(std::abs(bins[peak - 1]));
    const double b = std::log(std::abs(bins[peak]));
    const double c = std::log(std::abs(bins[peak + 1]));
    const double offset = 0.5 * (a - c) / (a - 2.0 * b + c);
    return (static_cast<double>(peak) + offset) * rate /
           static_cast<double>(kDominantFrequencyWindow);
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

std::vector<size_t> ToneBreaks(const std::vector<float>& samples, double hz, uint32_t rate,
                               float threshold) {
    std::vector<size_t> breaks;
    const double twoCos = 2.0 * std::cos(2.0 * M_PI * hz / rate);
    for (size_t n = 2; n < samples.size(); ++n) {
        const double residual = samples[n] - twoCos * samples[n - 1] + samples[n - 2];
        if (std::fabs(residual) > threshold) breaks.push_back(n);
    }
    return breaks;
}

double ToneFrequency(const std::vector<float>& samples, double hz, uint32_t rate) {
    const double period = rate / hz;
    double last = -1.0;
    double seconds = 0.0;
    size_t periods = 0;
    for (size_t n = 1; n < samples.size(); ++n) {
        if (samples[n - 1] >= 0.0f || samples[n] < 0.0f) continue;
        // Where the line between the two samples crosses zero.
        const double crossing = (n - 1) + samples[n - 1] / (samples[n - 1] - samples[n]);
        if (last >= 0.0 && std::fabs(crossing - last - period) < 0.05 * period) {
            seconds += (crossing - last) / rate;
            ++periods;
        }
        last = crossing;
    }
    return seconds > 0.0 ? periods / seconds : 0.0;
}

std::vector<size_t> GroupEvents(const std::vector<size_t>& positions, size_t gap) {
    std::vector<size_t> events;
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i == 0 || positions[i] - positions[i - 1] >= gap) events.push_back(positions[i]);
    }
    return events;
}

std::vector<float> AudiblePart(const std::vector<float>& samples, float level, size_t margin) {
    size_t first = samples.size();
    size_t last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > level) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first >= samples.size() || last < first + 2 * margin) return {};
    return std::vector<float>(samples.begin() + first + margin, samples.begin() + last - margin);
}

std::vector<size_t> ZeroRuns(const std::vector<float>& samples, size_t minLength) {
    std::vector<size_t> runs;
    size_t run = 0;
    for (size_t i = 0; i <= samples.size(); ++i) {
        if (i < samples.size() && samples[i] == 0.0f) {
            ++run;
            continue;
        }
        if (run >= minLength) runs.push_back(run);
        run = 0;
    }
    return runs;
}
