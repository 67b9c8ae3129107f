// The processing callback: first-block set-up, bypass, and the stages in their fixed order.
#include "audio/pipeline/ProcessingCallback.h"

#include <algorithm>
#include <cstring>

#include "audio/EngineState.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/ProcessingState.h"
#include "audio/pipeline/SensitivityGate.h"
#include "config/UserSettings.h"
#include "effects/BassTrebleStage.h"
#include "effects/EffectState.h"
#include "effects/SoundEffects.h"
#include "effects/StageBlock.h"
#include "effects/VoiceEffects.h"

namespace {

constexpr size_t kWorkSamples = static_cast<size_t>(kMaxPeriodFrames) * kMaxChannels;

// The captured block is copied here first: the stages use it as working storage.
float s_inputBlock[kWorkSamples];
// The stages' output block when the two sides' channel counts differ; it is converted into
// the device's block at the end, so every stage sees the capture channel layout.
float s_convertedOutput[kWorkSamples];
// False when the converter could not be created: blocks are then copied channel by channel.
bool s_converterUsable = false;

bool ConverterFits(const AudioDevice* device) {
    return gl_ChannelConversionInitialized && s_converterUsable &&
           gl_converter.inChannels == device->capture.channels &&
           gl_converter.outChannels == device->playback.channels;
}

// Moves `frames` frames in the capture layout into the device's output block: through the
// converter when it suits this device, else a copy of the channels both sides have.
void DeliverBlock(const AudioDevice* device, float* output, const float* source,
                  unsigned int frames) {
    const uint32_t inChannels = device->capture.channels;
    const uint32_t outChannels = device->playback.channels;
    if (ConverterFits(device)) {
        channel_converter_process_pcm_frames(&gl_converter, output, source, frames);
    } else if (inChannels == outChannels) {
        std::memcpy(output, source, static_cast<size_t>(frames) * inChannels * kSampleFormatBytes);
    } else {
        const uint32_t common = std::min(inChannels, outChannels);
        for (size_t f = 0; f < frames; ++f) {
            for (uint32_t c = 0; c < common; ++c) {
                output[f * outChannels + c] = source[f * inChannels + c];
            }
        }
    }
}

bool DenoiseReady(uint32_t channels) {
    return gl_DenoiseState_1 != nullptr && (channels < 2 || gl_DenoiseState_2 != nullptr);
}

}  // namespace

void data_callback(AudioDevice* device, void* output, const void* input, unsigned int frames) {
    float* const deviceOutput = static_cast<float*>(output);
    const float* const captured = static_cast<const float*>(input);
    const uint32_t captureChannels = device->capture.channels;
    const uint32_t playbackChannels = device->playback.channels;

    if (captureChannels != playbackChannels && !gl_ChannelConversionInitialized) {
        s_converterUsable = channel_converter_init(device->capture.format, captureChannels,
                                                   playbackChannels, &gl_converter) == 0;
        gl_ChannelConversionInitialized = true;
    }

    if (!gl_soundTouchInitialized) {
        InitializeProcessingState(captureChannels, device->capture.internalSampleRate);
    }

    if (!SS_MORAVEL_ACTIVE) {
        DeliverBlock(device, deviceOutput, captured, frames);
        return;
    }

    // A block the work buffers cannot hold, or processing state that could not be built for
    // this device, plays unprocessed rather than overflowing anything.
    const uint32_t channels = gl_channelCount;
    const size_t samples = static_cast<size_t>(channels) * frames;
    if (!gl_soundTouchInitialized || channels != captureChannels || samples > kWorkSamples) {
        DeliverBlock(device, deviceOutput, captured, frames);
        return;
    }

    float* const in = s_inputBlock;
    std::memcpy(in, captured, samples * sizeof(float));
    float* const out = captureChannels == playbackChannels ? deviceOutput : s_convertedOutput;
    if (out != deviceOutput) std::memset(out, 0, samples * sizeof(float));
    StageBlock block = MakeStageBlock(in, out, frames, channels);

    if (SS_EnableNoiseRemoval && channels <= 2 && DenoiseReady(channels)) {
        NoiseRemovalStage(block);
    }

    // Read once, so the mix at the end always uses this block's copy.
    const bool mixOriginal = overlapOriginalVoice;
    if (mixOriginal) std::memcpy(originalInputVoice, in, samples * sizeof(float));

    const float threshold = SS_Microphone_Sensivity;
    if (threshold > 0.0f &&
        SensitivityGateCloses(threshold, FirstChannelPeak(in, frames, channels),
                              SS_Microphone_SilanceCount)) {
        std::memset(in, 0, samples * sizeof(float));
    }

    if (SS_VavorOzodediEffect.load() > 0) VoiceEffectStage(block);
    if (SS_EffectType.load() > 0 && SS_ECHO_EFFECT_SIZE > 0) SoundEffectStage(block);
    block.valid = std::min(block.valid, static_cast<uint32_t>(frames));

    const bool passedThrough = !block.written;
    if (passedThrough) PassInputThrough(block);

    BassTrebleStage(block);

    if (mixOriginal) {
        for (size_t i = 0; i < samples; ++i) out[i] = (out[i] + originalInputVoice[i]) * 0.5f;
    }

    if (out != deviceOutput) {
        DeliverBlock(device, deviceOutput, out, passedThrough ? frames : block.valid);
    }
}
