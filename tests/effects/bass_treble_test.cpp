#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "effects/EffectBassTreble.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Shelf {
    double a0, a1, a2, b0, b1, b2;
};

Shelf MakeShelf(double hz, double gainDb, int type, double rate = 48000.0) {
    Shelf s{};
    EffectBassTreble::Coefficients(hz, static_cast<double>(0.4f), gainDb, rate, type, s.a0, s.a1,
                                   s.a2, s.b0, s.b1, s.b2);
    return s;
}

// Magnitude response of one biquad in dB at `hz`.
double ResponseDb(const Shelf& s, double hz, double rate = 48000.0) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * hz / rate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (s.b0 + s.b1 * z1 + s.b2 * z2) / (s.a0 + s.a1 * z1 + s.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

TEST(BassTrebleCoefficients, BassShelfOfPlusSixDecibels) {
    const Shelf bass = MakeShelf(250.0, 6.0, 0);
    EXPECT_NEAR(ResponseDb(bass, 0.0), 6.0, 1e-9);
    EXPECT_NEAR(ResponseDb(bass, 250.0), 3.0, 1e-9);
    EXPECT_NEAR(ResponseDb(bass, 50.0), 5.65, 0.01);
    EXPECT_NEAR(ResponseDb(bass, 10000.0), 0.0, 0.01);
}

TEST(BassTrebleCoefficients, TrebleShelfOfMinusSixDecibels) {
    const Shelf treble = MakeShelf(4000.0, -6.0, 1);
    EXPECT_NEAR(ResponseDb(treble, 4000.0), -3.0, 1e-9);
    EXPECT_NEAR(ResponseDb(treble, 10000.0), -5.10, 0.01);
    EXPECT_NEAR(ResponseDb(treble, 24000.0), -6.0, 1e-9);
    EXPECT_NEAR(ResponseDb(treble, 0.0), 0.0, 1e-9);
}

TEST(BassTrebleCoefficients, ExtremeGainsGiveHalfAtTheCorners) {
    EXPECT_NEAR(ResponseDb(MakeShelf(250.0, 30.0, 0), 250.0), 15.0, 1e-9);
    EXPECT_NEAR(ResponseDb(MakeShelf(250.0, -30.0, 0), 250.0), -15.0, 1e-9);
    EXPECT_NEAR(ResponseDb(MakeShelf(4000.0, 30.0, 1), 4000.0), 15.0, 1e-9);
    EXPECT_NEAR(ResponseDb(MakeShelf(4000.0, -30.0, 1), 4000.0), -15.0, 1e-9);
    EXPECT_NEAR(ResponseDb(MakeShelf(250.0, -30.0, 0), 0.0), -30.0, 1e-9);
}

TEST(BassTrebleCoefficients, ZeroGainIsTheIdentity) {
    for (int type : {0, 1}) {
        const Shelf s = MakeShelf(type == 0 ? 250.0 : 4000.0, 0.0, type);
        EXPECT_DOUBLE_EQ(s.b0, s.a0);
        EXPECT_DOUBLE_EQ(s.b1, s.a1);
        EXPECT_DOUBLE_EQ(s.b2, s.a2);
    }
}

TEST(BassTrebleState, InitialisationValues) {
    EffectBassTrebleState state{};
    state.bassY1 = 5.0;
    EffectBassTreble::InstanceInit(state, 44100.0f);
    EXPECT_EQ(state.sampleRate, 44100.0f);
    EXPECT_EQ(state.shelfSlope, 0.4000000059604645);
    EXPECT_EQ(state.bassFrequency, 250.0);
    EXPECT_EQ(state.trebleFrequency, 4000.0);
    EXPECT_EQ(state.bassInvA0, 1.0);
    EXPECT_EQ(state.trebleInvA0, 1.0);
    EXPECT_EQ(state.bassY1, 0.0);
    EXPECT_EQ(state.bassB0, 0.0);
}

// Steady-state gain of the filter on a sine of `hz`, in dB.
double MeasuredGainDb(EffectBassTreble& filter, double hz) {
    const int total = 48000;
    std::vector<float> block(total);
    for (int i = 0; i < total; ++i) {
        block[i] = static_cast<float>(0.1 * std::sin(2.0 * kPi * hz * i / 48000.0));
    }
    filter.ProcessBlock(block.data(), block.data(), block.size());
    double in = 0.0;
    double out = 0.0;
    for (int i = total / 2; i < total; ++i) {
        const double x = 0.1 * std::sin(2.0 * kPi * hz * i / 48000.0);
        in += x * x;
        out += static_cast<double>(block[i]) * block[i];
    }
    return 10.0 * std::log10(out / in);
}

TEST(BassTrebleFilter, FiltersWithTheGainsItWasGiven) {
    for (double hz : {50.0, 250.0, 1000.0, 4000.0, 12000.0}) {
        EffectBassTreble filter;
        filter.ProcessInitialize(48000.0f);
        filter.SetBassTreble(6.0, -6.0);
        const double expected =
            ResponseDb(MakeShelf(250.0, 6.0, 0), hz) + ResponseDb(MakeShelf(4000.0, -6.0, 1), hz);
        EXPECT_NEAR(MeasuredGainDb(filter, hz), expected, 0.02) << hz;
    }
}

TEST(BassTrebleFilter, UsesTheConstructionGainsUntilGivenOthers) {
    EffectBassTreble filter;
    EXPECT_EQ(filter.bassDb, -30.0);
    EXPECT_EQ(filter.trebleDb, 30.0);
    for (double hz : {20.0, 16000.0}) {
        filter.ProcessInitialize(48000.0f);
        const double expected = ResponseDb(MakeShelf(250.0, -30.0, 0), hz) +
                                ResponseDb(MakeShelf(4000.0, 30.0, 1), hz);
        EXPECT_NEAR(MeasuredGainDb(filter, hz), expected, 0.02) << hz;
    }
}

TEST(BassTrebleFilter, SplitBlocksAreBitIdenticalToOneCall) {
    std::vector<float> signal(4096);
    uint32_t seed = 7;
    for (float& s : signal) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    EffectBassTreble whole;
    whole.ProcessInitialize(48000.0f);
    whole.SetBassTreble(12.5, -7.0);
    std::vector<float> one = signal;
    EXPECT_EQ(whole.ProcessBlock(one.data(), one.data(), one.size()), one.size());

    EffectBassTreble split;
    split.ProcessInitialize(48000.0f);
    split.SetBassTreble(12.5, -7.0);
    std::vector<float> two = signal;
    split.ProcessBlock(two.data(), two.data(), 1000);
    EXPECT_EQ(split.ProcessBlock(two.data() + 1000, two.data() + 1000, 0), 0u);
    split.ProcessBlock(two.data() + 1000, two.data() + 1000, two.size() - 1000);
    EXPECT_EQ(one, two);
}

TEST(BassTrebleFilter, FirstSampleDependsOnlyOnTheFirstInput) {
    EffectBassTreble filter;
    filter.ProcessInitialize(48000.0f);
    filter.SetBassTreble(6.0, 6.0);
    std::vector<float> block = {0.5f, 0.25f};
    filter.ProcessBlock(block.data(), block.data(), block.size());
    const Shelf bass = MakeShelf(250.0, 6.0, 0);
    const Shelf treble = MakeShelf(4000.0, 6.0, 1);
    const float yb = static_cast<float>(bass.b0 * 0.5 * (1.0 / bass.a0));
    const float yt = static_cast<float>(treble.b0 * yb * (1.0 / treble.a0));
    EXPECT_EQ(block[0], yt);

    // Re-initialising clears the histories: the same first sample comes out again.
    filter.ProcessInitialize(48000.0f);
    std::vector<float> again = {0.5f};
    filter.ProcessBlock(again.data(), again.data(), 1);
    EXPECT_EQ(again[0], yt);
}

}  // namespace
