// The sound effects: one delayed copy of the voice from a ring in the shared effect buffer,
// one catalogue row each.
#include "effects/SoundEffects.h"

#include "config/UserSettings.h"
#include "effects/EffectCatalogue.h"
#include "effects/EffectState.h"

namespace {

// The write position is shared by all effects, so one started after a longer ring wraps at
// once.
int32_t ForwardStart() { return SS_effectStart >= 0 ? SS_effectStart : 0; }

template <int GainQuarters>
void DelayedCopy(const float* input, float* output, int32_t samples, int32_t ringLength) {
    const float gain = static_cast<float>(GainQuarters) * 0.25f;
    int32_t pos = ForwardStart();
    for (int32_t i = 0; i < samples; ++i) {
        if (pos >= ringLength) pos = 0;
        output[i] += SS_EffectBuffer[pos];
        SS_EffectBuffer[pos] = input[i] * gain;
        ++pos;
    }
    SS_effectStart = pos;
}

void Chorus(const float* input, float* output, int32_t samples, int32_t ringLength) {
    int32_t pos = ForwardStart();
    for (int32_t i = 0; i < samples; ++i) {
        if (pos >= ringLength) pos = 0;
        output[i] = (input[i] + SS_EffectBuffer[pos]) * 0.5f;
        SS_EffectBuffer[pos] = input[i];
        ++pos;
    }
    SS_effectStart = pos;
}

// Written forwards and read backwards: the last half second comes back reversed.
void Ghost(const float* input, float* output, int32_t samples, int32_t ringLength) {
    int32_t wpos = ForwardStart();
    int32_t rpos = SS_reverseStart < ringLength ? SS_reverseStart : ringLength - 1;
    for (int32_t i = 0; i < samples; ++i) {
        if (rpos < 0) rpos = ringLength - 1;
        if (wpos >= ringLength) wpos = 0;
        output[i] += SS_EffectBuffer[rpos];
        SS_EffectBuffer[wpos] = input[i] * 0.5f;
        ++wpos;
        --rpos;
    }
    SS_effectStart = wpos;
    SS_reverseStart = rpos;
}

int32_t QuarterRing(int32_t echoSize, uint32_t) { return echoSize >> 2; }
int32_t WholeRing(int32_t echoSize, uint32_t) { return echoSize; }
int32_t ChorusRing(int32_t, uint32_t channels) {
    return static_cast<int32_t>(kChorusFrames) * static_cast<int32_t>(channels);
}
int32_t DoubleRing(int32_t echoSize, uint32_t) { return 2 * echoSize; }
int32_t NoRing(int32_t, uint32_t) { return 0; }

// The effect menu, top to bottom.
const std::vector<SoundEffectRow> kSoundEffects = {
    {1, "Town Hall", "Town Hall", CMD_EFFECT_TOWN_HALL, QuarterRing, DelayedCopy<2>},  // half level
    {2, "Echo", "Echo", CMD_EFFECT_ECHO, WholeRing, DelayedCopy<1>},  // quarter level
    {3, "Chorus", "Chorus", CMD_EFFECT_CHORUS, ChorusRing, Chorus},
    {4, "Ghost", "Ghost", CMD_EFFECT_GHOST, DoubleRing, Ghost},
    {0, "CLEAR", "", CMD_EFFECT_CLEAR, NoRing, nullptr},
};

}  // namespace

const std::vector<SoundEffectRow>& SoundEffectRows() { return kSoundEffects; }

const SoundEffectRow* FindSoundEffect(int id) {
    for (const SoundEffectRow& row : kSoundEffects) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

int32_t SoundEffectRingLength(int id, int32_t echoSize, uint32_t channels) {
    const SoundEffectRow* row = FindSoundEffect(id);
    return row != nullptr ? row->ringLength(echoSize, channels) : 0;
}

void SoundEffectStage(StageBlock& block) {
    if (block.input == nullptr || block.output == nullptr || block.channels == 0) return;
    const uint32_t count = block.written ? block.valid : block.frames;
    const int32_t samples = static_cast<int32_t>(block.channels * count);

    // Both blocks hold the dry samples from here on: effects read input and write output.
    ShareLatestResult(block, count);

    const SoundEffectRow* row = FindSoundEffect(SS_EffectType.load());
    const int32_t ring =
        row != nullptr ? row->ringLength(SS_ECHO_EFFECT_SIZE, block.channels) : 0;
    if (SS_EffectBuffer != nullptr && ring > 0 && row->process != nullptr) {
        row->process(block.input, block.output, samples, ring);
    }

    block.written = true;
    block.valid = count;
}
