#pragma once
// Hand-made blocks and an offline device for driving the processing callback in tests.
#include <cstdint>
#include <vector>

#include "app/MoravelState.h"
#include "audio/AudioLayer.h"
#include "audio/ProcessingCallback.h"

namespace callback_test {

// Processing on, every stage off.
inline void SetNeutralSettings() {
    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
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

// Deterministic samples in [-amplitude, amplitude].
inline std::vector<float> Noise(size_t samples, float amplitude, uint32_t seed = 1) {
    std::vector<float> block(samples);
    uint32_t state = seed * 2654435761u + 12345u;
    for (float& s : block) {
        state = state * 1664525u + 1013904223u;
        s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    return block;
}

inline std::vector<float> Constant(size_t samples, float value) {
    return std::vector<float>(samples, value);
}

// An offline device whose blocks go straight to data_callback with a cleared output block,
// as the live layer hands them over.
struct OfflineDevice {
    AudioDevice device;

    OfflineDevice(uint32_t captureChannels, uint32_t playbackChannels, uint32_t sampleRate) {
        audio_device_init_offline(&device, captureChannels, playbackChannels, sampleRate,
                                  data_callback);
    }

    std::vector<float> Run(const std::vector<float>& input) {
        const unsigned frames = static_cast<unsigned>(input.size() / device.capture.channels);
        std::vector<float> output(static_cast<size_t>(device.playback.channels) * frames, 0.0f);
        data_callback(&device, output.data(), input.data(), frames);
        return output;
    }
};

}  // namespace callback_test
