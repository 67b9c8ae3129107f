// The callback on offline devices whose capture and playback channel counts differ: every
// stage works in the capture layout and the block is converted once, at the end.
#include <gtest/gtest.h>

#include "callback_blocks.h"

using namespace callback_test;

namespace {

// Every case starts from the program state of a fresh start.
using CallbackConverter = FreshProgramState;

constexpr unsigned kFrames = 480;

void ExpectBothChannels(const std::vector<float>& stereo, const std::vector<float>& mono) {
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    for (size_t f = 0; f < mono.size(); ++f) {
        ASSERT_EQ(stereo[2 * f], mono[f]) << f;
        ASSERT_EQ(stereo[2 * f + 1], mono[f]) << f;
    }
}

}  // namespace

TEST_F(CallbackConverter, MonoCaptureFillsBothPlaybackChannels) {
    NeutralProcessing();
    OfflineDevice dev(1, 2, 48000);
    const std::vector<float> in = Noise(kFrames, 0.8f);
    ExpectBothChannels(dev.Run(in), in);
    EXPECT_TRUE(gl_ChannelConversionInitialized);
    EXPECT_EQ(gl_channelCount, 1u);

    SS_MORAVEL_ACTIVE = false;
    ExpectBothChannels(dev.Run(in), in);

    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 16;  // Radio writes the output block
    std::vector<float> radio = in;
    for (float& s : radio) s = s >= 0.0f ? s : 0.0f;
    ExpectBothChannels(dev.Run(in), radio);
}

TEST_F(CallbackConverter, MixAndGateWorkOnTheCaptureLayoutBeforeConversion) {
    NeutralProcessing();
    SS_Microphone_Sensivity = 0.5f;
    overlapOriginalVoice = true;
    OfflineDevice dev(1, 2, 48000);
    const std::vector<float> in = Noise(kFrames, 0.3f);
    for (int block = 0; block < 10; ++block) dev.Run(in);
    std::vector<float> half = in;
    for (float& s : half) s *= 0.5f;
    ExpectBothChannels(dev.Run(in), half);
}

TEST_F(CallbackConverter, BassAndTrebleFilterTheMonoStreamOnce) {
    NeutralProcessing();
    gl_bass = 9.0f;
    OfflineDevice dev(1, 2, 48000);
    const std::vector<float> in = Noise(kFrames, 0.4f);
    const std::vector<float> out = dev.Run(in);

    EffectBassTreble filter;
    filter.ProcessInitialize(48000.0f);
    filter.SetBassTreble(9.0, 0.0);
    std::vector<float> expected = in;
    filter.ProcessBlock(expected.data(), expected.data(), kFrames);
    ExpectBothChannels(out, expected);
}

TEST_F(CallbackConverter, StereoCaptureIsMixedDownWithoutOverflowingTheMonoBlock) {
    NeutralProcessing();
    SS_VavorOzodediEffect = 15;  // Clone writes C x F samples: they must not land in the mono block
    SS_EffectType = 2;
    OfflineDevice dev(2, 1, 48000);
    const std::vector<float> in = Noise(2 * kFrames, 0.5f);
    const std::vector<float> out = dev.Run(in);
    ASSERT_EQ(out.size(), kFrames);

    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
    const std::vector<float> neutral = dev.Run(in);
    for (unsigned f = 0; f < kFrames; ++f) {
        ASSERT_EQ(neutral[f], 0.5f * in[2 * f] + 0.5f * in[2 * f + 1]) << f;
    }
}

TEST_F(CallbackConverter, FailedCreationCopiesTheSharedChannels) {
    NeutralProcessing();
    OfflineDevice dev(1, 9, 48000);  // more channels than the converter takes
    const std::vector<float> in = Noise(kFrames, 0.5f);
    for (bool active : {true, false}) {
        SS_MORAVEL_ACTIVE = active;
        const std::vector<float> out = dev.Run(in);
        EXPECT_TRUE(gl_ChannelConversionInitialized);
        for (unsigned f = 0; f < kFrames; ++f) {
            ASSERT_EQ(out[9 * f], in[f]) << f;
            for (unsigned c = 1; c < 9; ++c) ASSERT_EQ(out[9 * f + c], 0.0f) << f;
        }
    }
}
