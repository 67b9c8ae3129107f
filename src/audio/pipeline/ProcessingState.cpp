#include "audio/pipeline/ProcessingState.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>

#include "audio/EngineState.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/NoiseSuppressor.h"
#include "config/UserSettings.h"
#include "effects/EffectCatalogue.h"
#include "effects/EffectState.h"

namespace {

float* NewCleared(int32_t count) { return new (std::nothrow) float[count](); }

template <typename T>
void Release(T*& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

template <typename T, size_t N>
void Zero(T (&values)[N]) {
    std::fill(std::begin(values), std::end(values), T{});
}

void DestroySuppressors() {
    if (gl_DenoiseState_1 != nullptr) denoise_destroy(gl_DenoiseState_1);
    gl_DenoiseState_1 = nullptr;
    if (gl_DenoiseState_2 != nullptr) denoise_destroy(gl_DenoiseState_2);
    gl_DenoiseState_2 = nullptr;
}

}  // namespace

ProcessingSizes ComputeProcessingSizes(uint32_t channels, uint32_t sampleRate) {
    ProcessingSizes sizes{};
    const uint32_t echo = (channels * sampleRate) / 4u;
    sizes.sineTable = static_cast<int32_t>(std::max(sampleRate / 25u, 1u));
    sizes.fragment = static_cast<int32_t>(channels * kAlienFragmentFrames);
    sizes.voiceBuffer = static_cast<int32_t>(channels * std::max(sampleRate, kCloneDelayFrames));
    sizes.echoSize = static_cast<int32_t>(echo);
    // R floats hold every ring at 1 or 2 channels; more channels or very low rates get room
    // for Ghost's 2E ring and the Chorus ring too.
    sizes.effectBuffer =
        static_cast<int32_t>(std::max({sampleRate, 2u * echo, channels * kChorusFrames}));
    return sizes;
}

void FillSineTable(float* table, int32_t length) {
    constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
    const float increment = static_cast<float>(kTwoPi / length);
    float phase = 0.0f;
    for (int32_t i = 0; i < length; ++i) {
        table[i] = std::sin(phase);
        phase += increment;
    }
}

bool InitializeProcessingState(uint32_t channels, uint32_t sampleRate) {
    if (channels == 0 || channels > SOUNDTOUCH_MAX_CHANNELS || sampleRate == 0) return false;

    const ProcessingSizes sizes = ComputeProcessingSizes(channels, sampleRate);
    float* sine = NewCleared(sizes.sineTable);
    float* fragment1 = NewCleared(sizes.fragment);
    float* fragment2 = NewCleared(sizes.fragment);
    float* voice = NewCleared(sizes.voiceBuffer);
    float* effect = NewCleared(sizes.effectBuffer);
    if (sine == nullptr || fragment1 == nullptr || fragment2 == nullptr || voice == nullptr ||
        effect == nullptr) {
        delete[] sine;
        delete[] fragment1;
        delete[] fragment2;
        delete[] voice;
        delete[] effect;
        return false;
    }

    gl_channelCount = channels;
    for (soundtouch::SoundTouch& processor : soundTouch) {
        processor.setChannels(channels);
        processor.setSampleRate(sampleRate);
    }

    FillSineTable(sine, sizes.sineTable);
    delete[] gl_soundFreq;
    gl_soundFreq = sine;
    gl_soundFreqTotal = sizes.sineTable;
    for (int32_t* phase : {&gl_soundFreqIdx_1, &gl_soundFreqIdx_2, &gl_soundFreqIdx_3,
                           &gl_soundFreqIdx_4}) {
        if (*phase < 0 || *phase >= gl_soundFreqTotal) *phase = 0;
    }

    delete[] gl_fragmentBuffer1;
    delete[] gl_fragmentBuffer2;
    gl_fragmentBuffer1 = fragment1;
    gl_fragmentBuffer2 = fragment2;
    SS_FRAGMENT_BUFFER_SIZE = sizes.fragment;
    for (int k = 0; k < kChainPositions; ++k) {
        gl_fragmentBufferIdx1[k] = 0;
        SS_voiceStart[k] = 0;
        gl_fragmentBufferIdx2[k] = sizes.fragment - 1;
    }

    SS_VOICE_BUFFER_SIZE = sizes.voiceBuffer;
    delete[] SS_Voice_Buffer;
    SS_Voice_Buffer = voice;

    delete[] SS_EffectBuffer;
    SS_EffectBuffer = effect;
    SS_ECHO_EFFECT_SIZE = sizes.echoSize;
    SS_effectStart = 0;
    SS_reverseStart = -1;

    // A set-up normally destroys the states first; any left over are replaced, not leaked.
    DestroySuppressors();
    gl_DenoiseState_1 = denoise_create(static_cast<int>(sampleRate));
    gl_DenoiseState_2 = denoise_create(static_cast<int>(sampleRate));

    // Both filters get the same pair of gains even if a menu changes them meanwhile.
    const double bass = gl_bass.load();
    const double treble = gl_treble.load();
    gl_BassTreble_1.ProcessInitialize(static_cast<float>(sampleRate));
    gl_BassTreble_1.SetBassTreble(bass, treble);
    gl_BassTreble_2.ProcessInitialize(static_cast<float>(sampleRate));
    gl_BassTreble_2.SetBassTreble(bass, treble);

    gl_soundTouchInitialized = true;
    return true;
}

void ConfigurePitchProcessor(soundtouch::SoundTouch& processor) {
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

void ResetPitchEffects() {
    for (int i = 0; i < kChainPositions; ++i) {
        SS_VariablePitch_Value[i] = 0.0f;
        SS_VariablePitch_Value_Offset[i] = 0.1f;
        SS_VariableTempValue[i] = 6;
    }
    for (soundtouch::SoundTouch& processor : soundTouch) ConfigurePitchProcessor(processor);
}

void ReleaseProcessingState() {
    DestroySuppressors();
    Release(gl_soundFreq);
    Release(gl_fragmentBuffer1);
    Release(gl_fragmentBuffer2);
    Release(SS_Voice_Buffer);
}

void ResetProcessingState() {
    ReleaseProcessingState();
    Release(SS_EffectBuffer);
    gl_soundTouchInitialized = false;
    gl_ChannelConversionInitialized = false;
    gl_converter = ChannelConverter{};
    gl_channelCount = 0;
    isSetupReady = false;

    Zero(originalInputVoice);
    SS_Microphone_SilanceCount = 0;
    gl_BassTreble_1 = EffectBassTreble();
    gl_BassTreble_2 = EffectBassTreble();
    Zero(gl_BassTreble_Buffer_1);
    Zero(gl_BassTreble_Buffer_2);
    Zero(m_noiseBufferInput);
    Zero(m_noiseBufferOutput);
    m_noiseBufferInputSize = m_noiseBufferOutputSize = 0;

    gl_soundFreqTotal = 0;
    gl_soundFreqIdx_1 = gl_soundFreqIdx_2 = gl_soundFreqIdx_3 = gl_soundFreqIdx_4 = 0;
    Zero(gl_fragmentBufferIdx1);
    Zero(gl_fragmentBufferIdx2);
    SS_FRAGMENT_BUFFER_SIZE = 0;
    SS_VOICE_BUFFER_SIZE = 0;
    Zero(SS_voiceStart);
    SS_ECHO_EFFECT_SIZE = 0;
    SS_effectStart = 0;
    SS_reverseStart = -1;

    for (soundtouch::SoundTouch& processor : soundTouch) processor.clear();
    ResetPitchEffects();
}
