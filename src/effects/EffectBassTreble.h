#pragma once
#include <cstddef>
#include <vector>

// One filter's complete state: a low shelf at 250 Hz followed by a high shelf at 4000 Hz.
struct EffectBassTrebleState {
    float sampleRate;
    double shelfSlope;
    double bassFrequency;
    double trebleFrequency;
    double bassInvA0;
    double bassA1, bassA2;
    double bassB0, bassB1, bassB2;
    double trebleInvA0;
    double trebleA1, trebleA2;
    double trebleB0, trebleB1, trebleB2;
    double bassX1, bassX2;
    double bassY1, bassY2;
    double trebleX1, trebleX2;
    double trebleY1, trebleY2;
};

// Bass and treble tone control for one mono stream of float samples, in double precision.
class EffectBassTreble {
public:
    EffectBassTreble();
    virtual ~EffectBassTreble();

    void SetBassTreble(double bassDb, double trebleDb);
    bool ProcessInitialize(float sampleRate);
    size_t ProcessBlock(float* in, float* out, size_t count);

    static void InstanceInit(EffectBassTrebleState& state, float sampleRate);
    size_t InstanceProcess(EffectBassTrebleState& state, float* in, float* out, size_t count);
    // type 0: low shelf, anything else: high shelf. Gives a0 itself, not its reciprocal.
    static void Coefficients(double hz, double slope, double gainDb, double sampleRate, int type,
                             double& a0, double& a1, double& a2, double& b0, double& b1,
                             double& b2);

    EffectBassTrebleState state{};
    std::vector<float> workBuffers;
    double bassDb;
    double trebleDb;
};
