#include "audio/bridge/DriftResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Taps before the output point; the rest lie after it (the filter's look-ahead).
constexpr uint32_t kBefore = DriftResampler::kTaps / 2 - 1;
constexpr uint32_t kAfter = DriftResampler::kTaps / 2;
// Pass band up to 90 % of the Nyquist frequency (21.6 kHz at 48 kHz); Kaiser window.
constexpr double kCutoff = 0.9;
constexpr double kKaiserBeta = 8.0;
constexpr uint64_t kOne = 1ull << 32;

// The modified Bessel function of the first kind, order zero, by its power series
// sum ((x/2)^k / k!)^2: for the window's arguments (up to 8) it has converged to double
// precision well within 40 terms. (std::cyl_bessel_i is not in every C++ library.)
double BesselI0(double x) {
    const double quarterSquare = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 64 && term > sum * 1e-17; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

double Sinc(double x) {
    if (std::fabs(x) < 1e-12) return 1.0;
    return std::sin(M_PI * x) / (M_PI * x);
}

}  // namespace

float DriftResampler::Coefficient(uint32_t phase, uint32_t tap) {
    const double half = static_cast<double>(kTaps) / 2.0;
    const double x = static_cast<double>(tap) - kBefore - static_cast<double>(phase) / kPhases;
    const double edge = x / half;
    if (std::fabs(edge) >= 1.0) return 0.0f;
    const double window =
        BesselI0(kKaiserBeta * std::sqrt(1.0 - edge * edge)) / BesselI0(kKaiserBeta);
    return static_cast<float>(kCutoff * Sinc(kCutoff * x) * window);
}

DriftResampler::DriftResampler(uint32_t channels, uint32_t maxInputFrames)
    : channels_(std::max<uint32_t>(channels, 1)),
      capacity_(maxInputFrames + kTaps),
      table_(static_cast<size_t>(kPhases + 1) * kTaps),
      buffer_(static_cast<size_t>(capacity_) * channels_, 0.0f),
      kernel_(kTaps),
      // Silent history before the first input frame, so the first output lies on it.
      filled_(kBefore),
      position_(static_cast<uint64_t>(kBefore) << 32) {
    for (uint32_t phase = 0; phase <= kPhases; ++phase) {
        float* row = &table_[static_cast<size_t>(phase) * kTaps];
        double sum = 0.0;
        for (uint32_t tap = 0; tap < kTaps; ++tap) {
            row[tap] = Coefficient(phase, tap);
            sum += row[tap];
        }
        // Every phase passes a constant unchanged.
        for (uint32_t tap = 0; tap < kTaps; ++tap) row[tap] = static_cast<float>(row[tap] / sum);
    }
}

uint64_t DriftResampler::ToFixed(double ratio) {
    return static_cast<uint64_t>(std::llround(ratio * static_cast<double>(kOne)));
}

uint32_t DriftResampler::inputNeeded(uint32_t outputs, double ratio) const {
    if (outputs == 0) return 0;
    const uint64_t last = position_ + static_cast<uint64_t>(outputs - 1) * ToFixed(ratio);
    const uint64_t needed = (last >> 32) + kAfter + 1;
    return needed > filled_ ? static_cast<uint32_t>(needed - filled_) : 0;
}

uint32_t DriftResampler::add(const float* frames, uint32_t count) {
    const uint32_t n = std::min(count, capacity_ - filled_);
    std::memcpy(&buffer_[static_cast<size_t>(filled_) * channels_], frames,
                static_cast<size_t>(n) * channels_ * sizeof(float));
    filled_ += n;
    return n;
}

uint32_t DriftResampler::process(float* out, uint32_t outputs, double ratio) {
    const uint64_t step = ToFixed(ratio);
    uint32_t made = 0;
    for (; made < outputs; ++made) {
        const uint32_t index = static_cast<uint32_t>(position_ >> 32);
        if (index + kAfter >= filled_) break;
        const uint32_t fraction = static_cast<uint32_t>(position_);
        const uint32_t phase = fraction >> 24;
        const float blend = static_cast<float>(fraction & 0xFFFFFFu) / 16777216.0f;
        const float* low = &table_[static_cast<size_t>(phase) * kTaps];
        const float* high = low + kTaps;
        for (uint32_t tap = 0; tap < kTaps; ++tap) {
            kernel_[tap] = low[tap] + (high[tap] - low[tap]) * blend;
        }
        const float* first = &buffer_[static_cast<size_t>(index - kBefore) * channels_];
        for (uint32_t c = 0; c < channels_; ++c) {
            float sum = 0.0f;
            for (uint32_t tap = 0; tap < kTaps; ++tap) sum += first[tap * channels_ + c] * kernel_[tap];
            out[static_cast<size_t>(made) * channels_ + c] = sum;
        }
        position_ += step;
    }
    // Forget the input no later output reaches back to.
    const uint32_t keepFrom =
        std::min(static_cast<uint32_t>(position_ >> 32), filled_ + kBefore) - kBefore;
    if (keepFrom > 0) {
        const uint32_t kept = filled_ > keepFrom ? filled_ - keepFrom : 0;
        std::memmove(buffer_.data(), &buffer_[static_cast<size_t>(keepFrom) * channels_],
                     static_cast<size_t>(kept) * channels_ * sizeof(float));
        filled_ = kept;
        position_ -= static_cast<uint64_t>(keepFrom) << 32;
    }
    return made;
}
