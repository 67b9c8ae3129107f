#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/ProgramState.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/NoiseSuppressor.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "audio/pipeline/ProcessingState.h"
#include "support/FreshProgramState.h"
#include "support/Signals.h"

namespace {

class NoiseRemoval : public FreshProgramState {
protected:
    void SetUpStates(uint32_t channels) {
        channels_ = channels;
        gl_DenoiseState_1 = denoise_create(48000);
        gl_DenoiseState_2 = denoise_create(48000);
        ASSERT_NE(gl_DenoiseState_1, nullptr);
        ASSERT_NE(gl_DenoiseState_2, nullptr);
    }
    // Fresh states and empty queues, as at program start.
    void Restart(uint32_t channels) {
        ResetProcessingState();
        SetUpStates(channels);
    }
    std::vector<float> Denoise(std::vector<float> block) {
        const auto frames = static_cast<uint32_t>(block.size() / channels_);
        StageBlock stage = MakeStageBlock(block.data(), nullptr, frames, channels_);
        NoiseRemovalStage(stage);
        return block;
    }
    uint32_t channels_ = 1;
};

TEST(NoiseScale, QueueSamplesAreLimitedTo16Bits) {
    EXPECT_EQ(NoiseQueueSample(1.5f), 32767.0f);
    EXPECT_EQ(NoiseQueueSample(-2.0f), -32768.0f);
    EXPECT_EQ(NoiseQueueSample(-1.0f), -32768.0f);
    EXPECT_EQ(NoiseQueueSample(1.0f), 32767.0f);
    EXPECT_EQ(NoiseQueueSample(0.25f), 8192.0f);
    EXPECT_EQ(NoiseQueueSample(-3.0517578125e-05f), -1.0f);
}

TEST(NoiseScale, SuppressorSamplesAreRoundedAndSaturated) {
    EXPECT_EQ(DenoiseSampleToInt16(0.4f), 0);
    EXPECT_EQ(DenoiseSampleToInt16(-1.6f), -2);
    EXPECT_EQ(DenoiseSampleToInt16(32767.4f), 32767);
    EXPECT_EQ(DenoiseSampleToInt16(40000.0f), 32767);
    EXPECT_EQ(DenoiseSampleToInt16(-32768.0f), -32768);
    EXPECT_EQ(DenoiseSampleToInt16(-1e9f), -32768);
    EXPECT_EQ(DenoiseSampleToInt16(std::nanf("")), 0);
}

TEST(NoiseSuppressor, CreationPrintsNothing) {
    // Anything written to the terminal would break the menu screen.
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    DenoiseState* state = denoise_create(44100);
    std::vector<float> frame(kDenoiseFrameSize, 100.0f);
    denoise_process_frame(state, frame.data(), frame.data());
    denoise_destroy(state);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(state, nullptr);
}

TEST_F(NoiseRemoval, QueuedSamplesAreOnThe16BitScale) {
    SetUpStates(1);
    std::vector<float> block = {1.5f, -2.0f, 0.25f, -0.5f};
    const std::vector<float> dry = block;
    EXPECT_EQ(Denoise(block), dry);  // no frame completed: the block passes as captured
    ASSERT_EQ(m_noiseBufferInputSize, 4);
    EXPECT_EQ(m_noiseBufferInput[0], 32767.0f);
    EXPECT_EQ(m_noiseBufferInput[1], -32768.0f);
    EXPECT_EQ(m_noiseBufferInput[2], 8192.0f);
    EXPECT_EQ(m_noiseBufferInput[3], -16384.0f);
    EXPECT_EQ(m_noiseBufferOutputSize, 0);
}

TEST_F(NoiseRemoval, Mono480IsDenoisedInTheSameBlock) {
    SetUpStates(1);
    for (int block = 0; block < 20; ++block) {
        const std::vector<float> dry = Noise(480, 0.2f, block + 1);
        const std::vector<float> out = Denoise(dry);
        EXPECT_NE(out, dry) << block;
        EXPECT_EQ(m_noiseBufferInputSize, 0);
        EXPECT_EQ(m_noiseBufferOutputSize, 0);
    }
}

TEST_F(NoiseRemoval, Mono512PassesTheFirstBlockThenRunsOneBlockLate) {
    SetUpStates(1);
    const std::vector<float> first = Noise(512, 0.2f, 1);
    EXPECT_EQ(Denoise(first), first);
    EXPECT_EQ(m_noiseBufferOutputSize, 480);
    EXPECT_EQ(m_noiseBufferInputSize, 32);
    for (int block = 2; block <= 10; ++block) {
        const std::vector<float> dry = Noise(512, 0.2f, block);
        EXPECT_NE(Denoise(dry), dry) << block;
        EXPECT_EQ(m_noiseBufferOutputSize, 480 - 32 * (block - 1)) << block;
        EXPECT_EQ(m_noiseBufferInputSize, 32 * block) << block;
    }
}

TEST_F(NoiseRemoval, StereoChannelsGoThroughTheirOwnStates) {
    SetUpStates(1);
    std::vector<std::vector<float>> left;
    std::vector<float> monoResult;
    for (int block = 0; block < 10; ++block) {
        left.push_back(Noise(480, 0.3f, 100 + block));
        const std::vector<float> out = Denoise(left.back());
        monoResult.insert(monoResult.end(), out.begin(), out.end());
    }

    // The same left channel beside a loud and a silent right channel.
    for (float rightLevel : {0.5f, 0.0f}) {
        Restart(2);
        for (int block = 0; block < 10; ++block) {
            const std::vector<float> right = Noise(480, rightLevel, 200 + block);
            std::vector<float> stereo(960);
            for (int f = 0; f < 480; ++f) {
                stereo[2 * f] = left[block][f];
                stereo[2 * f + 1] = right[f];
            }
            const std::vector<float> out = Denoise(stereo);
            for (int f = 0; f < 480; ++f) {
                ASSERT_EQ(out[2 * f], monoResult[block * 480 + f]) << rightLevel << " " << f;
            }
        }
    }
}

TEST_F(NoiseRemoval, ThreeChannelsAreSkipped) {
    SetUpStates(3);
    const std::vector<float> dry = Noise(3 * 480, 0.2f, 1);
    EXPECT_EQ(Denoise(dry), dry);
    EXPECT_EQ(m_noiseBufferInputSize, 0);
    EXPECT_EQ(m_noiseBufferOutputSize, 0);
}

TEST_F(NoiseRemoval, QueuesNeverOverflowWithLargeBlocks) {
    SetUpStates(1);
    int denoisedBlocks = 0;
    for (int block = 0; block < 30; ++block) {
        const std::vector<float> dry = Noise(3000, 0.2f, block + 1);
        if (Denoise(dry) != dry) ++denoisedBlocks;
        ASSERT_LE(m_noiseBufferInputSize, kNoiseQueueSamples) << block;
        ASSERT_LE(m_noiseBufferOutputSize, kNoiseQueueSamples) << block;
        ASSERT_GE(m_noiseBufferInputSize, 0) << block;
    }
    EXPECT_GT(denoisedBlocks, 10);
}

TEST_F(NoiseRemoval, WithoutStatesTheSamplesPassUnchanged) {
    channels_ = 2;
    const std::vector<float> dry = Noise(960, 0.5f, 1);
    EXPECT_EQ(Denoise(dry), dry);
    EXPECT_EQ(m_noiseBufferOutputSize, 0);
}

TEST(NoiseRemovalSwitch, HandsOutTheQueuedSamplesFirstWhenSwitchedBackOn) {
    AudioDevice device;
    audio_device_init_offline(&device, 1, 1, 48000, data_callback);
    SS_MORAVEL_ACTIVE = true;
    SS_EnableNoiseRemoval = true;
    std::vector<float> output(512);
    const std::vector<float> first = Noise(512, 0.2f, 1);
    data_callback(&device, output.data(), first.data(), 512);
    ASSERT_EQ(m_noiseBufferOutputSize, 480);
    const std::vector<float> queued(m_noiseBufferOutput, m_noiseBufferOutput + 480);

    SS_EnableNoiseRemoval = false;
    const std::vector<float> meanwhile = Noise(512, 0.2f, 2);
    data_callback(&device, output.data(), meanwhile.data(), 512);
    EXPECT_EQ(output, meanwhile);
    EXPECT_EQ(m_noiseBufferOutputSize, 480);

    SS_EnableNoiseRemoval = true;
    data_callback(&device, output.data(), Noise(512, 0.2f, 3).data(), 512);
    for (int i = 0; i < 480; ++i) ASSERT_EQ(output[i], queued[i] * (1.0f / 32768.0f)) << i;

    delete[] gl_soundFreq;
    delete[] gl_fragmentBuffer1;
    delete[] gl_fragmentBuffer2;
    delete[] SS_Voice_Buffer;
    delete[] SS_EffectBuffer;
    denoise_destroy(gl_DenoiseState_1);
    denoise_destroy(gl_DenoiseState_2);
}

}  // namespace
