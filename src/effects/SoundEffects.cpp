// The sound effects: one delayed copy of the voice from a ring in the shared effect buffer.
#include "effects/SoundEffects.h"

#include <cstring>

#include "app/MoravelState.h"

namespace {

// Frames of the Chorus ring.
constexpr int32_t kChorusFrames = 400;

// An effect reads the dry samples from `input` and adds its copy into `output`.
using SoundEffectFunction = void (*)(const float* input, float* output, int32_t samples,
                                     int32_t ringLength);

struct SoundEffectEntry {
    int id;
    SoundEffectFunction run;
};

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

constexpr SoundEffectEntry kSoundEffects[] = {
    {1, DelayedCopy<2>},  // Town Hall, half level
    {2, DelayedCopy<1>},  // Echo, quarter level
    {3, Chorus},
    {4, Ghost},
};

}  // namespace

int32_t SoundEffectRingLength(int id, int32_t echoSize, uint32_t channels) {
    switch (id) {
        case 1: return echoSize >> 2;
        case 2: return echoSize;
        case 3: return kChorusFrames * static_cast<int32_t>(channels);
        case 4: return 2 * echoSize;
        default: return 0;
    }
}

void SoundEffectStage(float* input, float* output, unsigned int frames, bool& written,
                      uint32_t& validFrames) {
    const uint32_t channels = gl_channelCount;
    if (input == nullptr || output == nullptr || channels == 0) return;
    const uint32_t count = written ? validFrames : frames;
    const int32_t samples = static_cast<int32_t>(channels * count);

    // Both blocks hold the dry samples from here on: effects read input and write output.
    if (written) {
        std::memcpy(input, output, static_cast<size_t>(samples) * sizeof(float));
    } else {
        std::memcpy(output, input, static_cast<size_t>(samples) * sizeof(float));
    }

    const int id = SS_EffectType.load();
    const int32_t ring = SoundEffectRingLength(id, SS_ECHO_EFFECT_SIZE, channels);
    if (SS_EffectBuffer != nullptr && ring > 0) {
        for (const SoundEffectEntry& entry : kSoundEffects) {
            if (entry.id == id) entry.run(input, output, samples, ring);
        }
    }

    written = true;
    validFrames = count;
}
