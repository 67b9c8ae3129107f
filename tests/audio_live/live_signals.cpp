#include "live_signals.h"

#include <algorithm>
#include <cmath>

namespace live {

std::vector<float> Clicks(int count, double spacing, double lead, uint32_t rate) {
    const size_t start = static_cast<size_t>(lead * rate);
    const size_t step = static_cast<size_t>(spacing * rate);
    std::vector<float> samples(start + step * count, 0.0f);
    for (int c = 0; c < count; ++c) {
        for (size_t i = 0; i < rate / 1000; ++i) samples[start + c * step + i] = 0.6f;
    }
    return samples;
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
