// Bass and treble tone control: a low shelf at 250 Hz followed by a high shelf at 4000 Hz,
// both shelving biquads computed in double precision.
#include "effects/EffectBassTreble.h"

#include <cmath>

EffectBassTreble::EffectBassTreble() : bassDb(-30.0), trebleDb(30.0) {}

EffectBassTreble::~EffectBassTreble() = default;

void EffectBassTreble::SetBassTreble(double bass, double treble) {
    bassDb = bass;
    trebleDb = treble;
}

bool EffectBassTreble::ProcessInitialize(float sampleRate) {
    InstanceInit(state, sampleRate);
    return true;
}

size_t EffectBassTreble::ProcessBlock(float* in, float* out, size_t count) {
    return InstanceProcess(state, in, out, count);
}

void EffectBassTreble::InstanceInit(EffectBassTrebleState& s, float sampleRate) {
    s = EffectBassTrebleState{};
    s.sampleRate = sampleRate;
    // The slope is kept as a single-precision 0.4 widened to double.
    s.shelfSlope = static_cast<double>(0.4f);
    s.bassFrequency = 250.0;
    s.trebleFrequency = 4000.0;
    s.bassInvA0 = 1.0;
    s.trebleInvA0 = 1.0;
}

void EffectBassTreble::Coefficients(double hz, double slope, double gainDb, double sampleRate,
                                    int type, double& a0, double& a1, double& a2, double& b0,
                                    double& b1, double& b2) {
    const double w = 6.283185307179586 * hz / sampleRate;
    const double a = std::exp(gainDb * 2.302585092994046 / 40.0);
    const double s = std::sin(w) * std::sqrt((a * a + 1.0) / slope - (a - 1.0) * (a - 1.0));
    const double c = std::cos(w);

    if (type == 0) {
        b0 = a * ((a + 1.0) - (a - 1.0) * c + s);
        b1 = 2.0 * a * ((a - 1.0) - (a + 1.0) * c);
        b2 = a * ((a + 1.0) - (a - 1.0) * c - s);
        a0 = (a + 1.0) + (a - 1.0) * c + s;
        a1 = -2.0 * ((a - 1.0) + (a + 1.0) * c);
        a2 = (a + 1.0) + (a - 1.0) * c - s;
    } else {
        b0 = a * ((a + 1.0) + (a - 1.0) * c + s);
        b1 = -2.0 * a * ((a - 1.0) + (a + 1.0) * c);
        b2 = a * ((a + 1.0) + (a - 1.0) * c - s);
        a0 = (a + 1.0) - (a - 1.0) * c + s;
        a1 = 2.0 * ((a - 1.0) - (a + 1.0) * c);
        a2 = (a + 1.0) - (a - 1.0) * c - s;
    }
}

size_t EffectBassTreble::InstanceProcess(EffectBassTrebleState& s, float* in, float* out,
                                         size_t count) {
    // The coefficients follow this filter's own gains, which SetBassTreble sets; the callback
    // calls that only when it builds its processing state, so a gain changed in the menu is
    // heard after the next device set-up.
    double a0 = 1.0;
    Coefficients(s.bassFrequency, s.shelfSlope, bassDb, static_cast<double>(s.sampleRate), 0, a0,
                 s.bassA1, s.bassA2, s.bassB0, s.bassB1, s.bassB2);
    s.bassInvA0 = 1.0 / a0;
    Coefficients(s.trebleFrequency, s.shelfSlope, trebleDb, static_cast<double>(s.sampleRate), 1,
                 a0, s.trebleA1, s.trebleA2, s.trebleB0, s.trebleB1, s.trebleB2);
    s.trebleInvA0 = 1.0 / a0;

    for (size_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(in[i]);
        const double yb = static_cast<double>(static_cast<float>(
            (s.bassB0 * x + s.bassB1 * s.bassX1 + s.bassB2 * s.bassX2 - s.bassA1 * s.bassY1 -
             s.bassA2 * s.bassY2) *
            s.bassInvA0));
        const double yt = static_cast<double>(static_cast<float>(
            (s.trebleB0 * yb + s.trebleB1 * s.trebleX1 + s.trebleB2 * s.trebleX2 -
             s.trebleA1 * s.trebleY1 - s.trebleA2 * s.trebleY2) *
            s.trebleInvA0));
        out[i] = static_cast<float>(yt);

        s.bassX2 = s.bassX1;
        s.bassX1 = x;
        s.bassY2 = s.bassY1;
        s.bassY1 = yb;
        s.trebleX2 = s.trebleX1;
        s.trebleX1 = yb;
        s.trebleY2 = s.trebleY1;
        s.trebleY1 = yt;
    }
    return count;
}
