#pragma once
// Brings the processing state up as a device set-up and its first block would, so each stage
// can be driven on its own with hand-made blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/MoravelState.h"
#include "audio/ProcessingState.h"

namespace effects_test {

// The start configuration every audio set-up gives the pitch processors.
inline void ConfigurePitchProcessors() {
    for (soundtouch::SoundTouch& processor : soundTouch) {
        processor.setChannels(2);
        processor.setSampleRate(48000);
        processor.setTempoChange(0.0);
        processor.setRateChange(0.0);
        processor.setSetting(SETTING_USE_QUICKSEEK, 0);
        processor.setSetting(SETTING_USE_AA_FILTER, 1);
        processor.setSetting(SETTING_SEQUENCE_MS, 40);
        processor.setSetting(SETTING_SEEKWINDOW_MS, 15);
        processor.setSetting(SETTING_OVERLAP_MS, 8);
        processor.setPitchSemiTones(12);
    }
    for (int k = 0; k < kChainPositions; ++k) {
        SS_VariablePitch_Value[k] = 0.0f;
        SS_VariablePitch_Value_Offset[k] = 0.1f;
        SS_VariableTempValue[k] = 6;
    }
}

inline void SetNeutralSettings() {
    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
    SS_Manual_Pitch = 0.0f;
    SS_Microphone_Sensivity = 0.0f;
    gl_bass = 0.0f;
    gl_treble = 0.0f;
    overlapOriginalVoice = false;
    SS_EnableNoiseRemoval = false;
    SS_ChainEffect_1 = 0;
    SS_ChainEffect_2 = 0;
    SS_ChainEffect_3 = 0;
    SS_ChainEffect_4 = 0;
}

// Releases what the set-up allocated, so leak checks stay quiet.
inline void ReleaseProcessingState() {
    delete[] gl_soundFreq;
    delete[] gl_fragmentBuffer1;
    delete[] gl_fragmentBuffer2;
    delete[] SS_Voice_Buffer;
    delete[] SS_EffectBuffer;
    gl_soundFreq = gl_fragmentBuffer1 = gl_fragmentBuffer2 = SS_Voice_Buffer = SS_EffectBuffer =
        nullptr;
    denoise_destroy(gl_DenoiseState_1);
    denoise_destroy(gl_DenoiseState_2);
    gl_DenoiseState_1 = gl_DenoiseState_2 = nullptr;
    gl_soundTouchInitialized = false;
}

class Processing : public ::testing::Test {
protected:
    void SetUpProcessing(uint32_t channels, uint32_t rate) {
        SetNeutralSettings();
        ConfigurePitchProcessors();
        ASSERT_TRUE(InitializeProcessingState(channels, rate));
        channels_ = channels;
    }
    void TearDown() override { ReleaseProcessingState(); }

    uint32_t channels_ = 1;
};

// Deterministic samples in [-amplitude, amplitude].
inline std::vector<float> Noise(size_t samples, float amplitude, uint32_t seed) {
    std::vector<float> v(samples);
    uint32_t state = seed * 2654435761u + 1u;
    for (float& s : v) {
        state = state * 1664525u + 1013904223u;
        s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

// The pitch in semitones a processor was last given, read back from its transposition rate
// (tempo and rate changes stay 0, so the rate is 2 to the pitch / 12).
struct PitchPeek : soundtouch::SoundTouch {
    static double Semitones(const soundtouch::SoundTouch& processor) {
        return 12.0 * std::log2(processor.*(&PitchPeek::rate));
    }
};

}  // namespace effects_test
