// The processing callback on hand-made blocks: set-up, bypass, neutral path, gate, mix,
// bass/treble and the guards of the work buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/pipeline/ProcessingState.h"
#include "audio/pipeline/SensitivityGate.h"
#include "callback_blocks.h"

using namespace callback_test;

namespace {

// Every case starts from the program state of a fresh start.
using CallbackBassTreble = FreshProgramState;
using CallbackBypass = FreshProgramState;
using CallbackGate = FreshProgramState;
using CallbackGuards = FreshProgramState;
using CallbackMix = FreshProgramState;
using CallbackNeutral = FreshProgramState;
using CallbackSetup = FreshProgramState;
using CallbackStages = FreshProgramState;
using SensitivityGate = FreshProgramState;

constexpr unsigned kFrames = 480;

bool SameBytes(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST_F(CallbackSetup, FirstBlockBuildsStateForStereoAt48kHz) {
    NeutralProcessing();
    OfflineDevice dev(2, 2, 48000);
    const std::vector<float> in = Noise(2 * kFrames, 0.5f);
    EXPECT_TRUE(SameBytes(dev.Run(in), in)) << "the first block is processed in the same call";

    EXPECT_TRUE(gl_soundTouchInitialized);
    EXPECT_EQ(gl_channelCount, 2u);
    EXPECT_EQ(gl_soundFreqTotal, 1920);
    EXPECT_EQ(SS_FRAGMENT_BUFFER_SIZE, 17600);
    EXPECT_EQ(SS_VOICE_BUFFER_SIZE, 96000);
    EXPECT_EQ(SS_ECHO_EFFECT_SIZE, 24000);
    EXPECT_EQ(ComputeProcessingSizes(2, 48000).effectBuffer, 48000);
    EXPECT_EQ(SS_effectStart, 0);
    EXPECT_EQ(SS_reverseStart, -1);
    for (int k = 0; k < kChainPositions; ++k) {
        EXPECT_EQ(gl_fragmentBufferIdx1[k], 0);
        EXPECT_EQ(gl_fragmentBufferIdx2[k], 17599);
        EXPECT_EQ(SS_voiceStart[k], 0);
    }
    for (int i = 0; i < 17600; ++i) ASSERT_EQ(gl_fragmentBuffer1[i] + gl_fragmentBuffer2[i], 0.0f);
    for (int i = 0; i < 96000; ++i) ASSERT_EQ(SS_Voice_Buffer[i], 0.0f);
    for (int i = 0; i < 48000; ++i) ASSERT_EQ(SS_EffectBuffer[i], 0.0f);
    EXPECT_NE(gl_DenoiseState_1, nullptr);
    EXPECT_NE(gl_DenoiseState_2, nullptr);
    EXPECT_EQ(soundTouch[3].numChannels(), 2u);
}

TEST_F(CallbackSetup, SizesFollowChannelsAndRateAndStayUsableAtOddRates) {
    const ProcessingSizes mono = ComputeProcessingSizes(1, 44100);
    EXPECT_EQ(mono.sineTable, 1764);
    EXPECT_EQ(mono.fragment, 8800);
    EXPECT_EQ(mono.voiceBuffer, 44100);
    EXPECT_EQ(mono.echoSize, 11025);
    EXPECT_EQ(mono.effectBuffer, 44100);
    // Very low rates still hold the Clone copy, the Chorus ring and a one-entry sine table.
    const ProcessingSizes low = ComputeProcessingSizes(2, 20);
    EXPECT_EQ(low.sineTable, 1);
    EXPECT_GE(low.voiceBuffer, 2 * 6000);
    EXPECT_GE(low.effectBuffer, 2 * 400);
    // More channels than a live device opens: Ghost's ring of 2E still fits.
    const ProcessingSizes wide = ComputeProcessingSizes(4, 48000);
    EXPECT_GE(wide.effectBuffer, 2 * wide.echoSize);
}

TEST_F(CallbackSetup, SineTableSumsItsPhaseInSinglePrecision) {
    std::vector<float> table(1920);
    FillSineTable(table.data(), 1920);
    const float increment = static_cast<float>(6.283185307179586476925286766559005768L / 1920);
    float phase = 0.0f;
    bool differsFromExactPhase = false;
    for (int i = 0; i < 1920; ++i) {
        ASSERT_EQ(table[i], std::sin(phase)) << i;
        differsFromExactPhase |= table[i] != static_cast<float>(std::sin(6.283185307179586 * i / 1920));
        phase += increment;
    }
    EXPECT_TRUE(differsFromExactPhase) << "the accumulated phase error is part of the table";
    EXPECT_NEAR(table[480], 1.0f, 1e-5f);
}

TEST_F(CallbackSetup, ReinitialisationKeepsValidPhasesAndReplacesBuffers) {
    NeutralProcessing();
    OfflineDevice dev(1, 1, 48000);
    dev.Run(Noise(kFrames, 0.5f));
    gl_soundFreqIdx_1 = 100;
    gl_soundFreqIdx_2 = 1800;
    SS_Microphone_SilanceCount = 7;
    gl_soundTouchInitialized = false;

    OfflineDevice slower(1, 1, 44100);  // 1764 entries: phase 1800 no longer fits
    slower.Run(Noise(441, 0.5f));
    EXPECT_EQ(gl_soundFreqTotal, 1764);
    EXPECT_EQ(gl_soundFreqIdx_1, 100);
    EXPECT_EQ(gl_soundFreqIdx_2, 0);
    EXPECT_EQ(SS_Microphone_SilanceCount, 7u) << "the gate count survives a set-up";
    EXPECT_EQ(SS_ECHO_EFFECT_SIZE, 11025);
}

TEST_F(CallbackBypass, OutputIsTheInputByteForByteAndNoStateMoves) {
    NeutralProcessing();
    OfflineDevice dev(2, 2, 48000);
    dev.Run(Noise(2 * kFrames, 0.5f));  // first block: initialisation

    SS_MORAVEL_ACTIVE = false;
    SS_Microphone_Sensivity = 0.05f;
    SS_VavorOzodediEffect = 4;
    SS_EffectType = 2;
    overlapOriginalVoice = true;
    SS_EnableNoiseRemoval = true;
    gl_bass = 6.0f;
    std::vector<float> in = Noise(2 * kFrames, 0.01f, 3);
    in[1] = -0.0f;
    in[2] = 1.0e-40f;  // subnormal
    in[3] = 7.5f;      // beyond full scale: the callback itself never clips
    for (int block = 0; block < 20; ++block) ASSERT_TRUE(SameBytes(dev.Run(in), in));

    EXPECT_EQ(SS_Microphone_SilanceCount, 0u);
    EXPECT_EQ(gl_soundFreqIdx_1, 0);
    EXPECT_EQ(SS_effectStart, 0);
    EXPECT_EQ(m_noiseBufferInputSize, 0);
    EXPECT_EQ(m_noiseBufferOutputSize, 0);
    EXPECT_EQ(originalInputVoice[0], 0.0f);
}

TEST_F(CallbackNeutral, OutputEqualsInputMonoAndStereo) {
    NeutralProcessing();
    for (uint32_t channels : {1u, 2u}) {
        gl_soundTouchInitialized = false;
        OfflineDevice dev(channels, channels, 48000);
        for (uint32_t block = 0; block < 5; ++block) {
            const std::vector<float> in = Noise(channels * kFrames, 0.9f, block + 10 * channels);
            ASSERT_TRUE(SameBytes(dev.Run(in), in)) << channels << " channels, block " << block;
        }
    }
    overlapOriginalVoice = true;  // half the sum of two equal blocks
    OfflineDevice dev(2, 2, 48000);
    const std::vector<float> in = Noise(2 * kFrames, 0.9f, 99);
    EXPECT_TRUE(SameBytes(dev.Run(in), in));
}

TEST_F(CallbackNeutral, CallersInputBlockIsNeverWritten) {
    NeutralProcessing();
    SS_Microphone_Sensivity = 0.5f;
    SS_VavorOzodediEffect = 16;
    OfflineDevice dev(1, 1, 48000);
    const std::vector<float> in = Noise(kFrames, 0.1f);
    std::vector<float> captured = in;
    std::vector<float> out(kFrames);
    for (int block = 0; block < 12; ++block) data_callback(&dev.device, out.data(), captured.data(), kFrames);
    EXPECT_TRUE(SameBytes(captured, in));
    EXPECT_EQ(SS_Microphone_SilanceCount, 12u);
}

TEST_F(SensitivityGate, PeakOfFirstChannelCountsNegativeSamples) {
    const float stereo[] = {0.1f, 0.9f, -0.3f, -0.95f, 0.2f, 0.0f};
    EXPECT_EQ(FirstChannelPeak(stereo, 3, 2), 0.3f);
    EXPECT_EQ(FirstChannelPeak(stereo, 3, 1), 0.9f);  // 0.1 0.9 -0.3 as mono
    EXPECT_EQ(FirstChannelPeak(stereo, 0, 2), 0.0f);
    const float quiet[] = {-0.0f, 0.0f};
    EXPECT_EQ(FirstChannelPeak(quiet, 2, 1), 0.0f);
}

TEST_F(SensitivityGate, OffLeavesTheCountAndEqualityReachesTheThreshold) {
    uint32_t count = 5;
    EXPECT_FALSE(SensitivityGateCloses(0.0f, 0.0f, count));
    EXPECT_FALSE(SensitivityGateCloses(-0.01f, 0.0f, count));
    EXPECT_EQ(count, 5u);
    EXPECT_FALSE(SensitivityGateCloses(0.05f, 0.05f, count));
    EXPECT_EQ(count, 0u);
    count = UINT32_MAX;
    EXPECT_TRUE(SensitivityGateCloses(0.05f, 0.0f, count));
    EXPECT_EQ(count, UINT32_MAX);
}

TEST_F(CallbackGate, ElevenQuietBlocksCloseItAndAPeakAtTheThresholdReopensIt) {
    NeutralProcessing();
    SS_Microphone_Sensivity = 0.05f;
    OfflineDevice dev(2, 2, 48000);
    // A loud second channel must not keep the gate open.
    std::vector<float> quiet = Noise(2 * kFrames, 0.02f);
    quiet[0] = 0.04f;
    quiet[2] = -0.04f;
    for (unsigned f = 0; f < kFrames; ++f) quiet[2 * f + 1] = 0.9f;
    const std::vector<float> silence(2 * kFrames, 0.0f);

    for (int block = 1; block <= 10; ++block) ASSERT_TRUE(SameBytes(dev.Run(quiet), quiet)) << block;
    for (int block = 11; block <= 15; ++block) ASSERT_TRUE(SameBytes(dev.Run(quiet), silence)) << block;

    std::vector<float> reaching = quiet;
    reaching[6] = -0.05f;
    EXPECT_TRUE(SameBytes(dev.Run(reaching), reaching));
    EXPECT_EQ(SS_Microphone_SilanceCount, 0u);
    for (int block = 1; block <= 10; ++block) ASSERT_TRUE(SameBytes(dev.Run(quiet), quiet)) << block;
    EXPECT_TRUE(SameBytes(dev.Run(quiet), silence));
}

TEST_F(CallbackMix, ClosedGateGivesHalfTheUngatedInput) {
    NeutralProcessing();
    SS_Microphone_Sensivity = 0.099f;
    overlapOriginalVoice = true;
    OfflineDevice dev(1, 1, 48000);
    const std::vector<float> in = Noise(kFrames, 0.09f);
    for (int block = 0; block < 10; ++block) ASSERT_TRUE(SameBytes(dev.Run(in), in));
    const std::vector<float> out = dev.Run(in);
    for (unsigned i = 0; i < kFrames; ++i) ASSERT_EQ(out[i], in[i] * 0.5f) << i;
}

TEST_F(CallbackMix, MixesTheUnprocessedVoiceUnderAnEffect) {
    NeutralProcessing();
    SS_VavorOzodediEffect = 16;  // Radio: negative samples become 0
    overlapOriginalVoice = true;
    OfflineDevice dev(1, 1, 48000);
    const std::vector<float> in = Noise(kFrames, 0.8f);
    const std::vector<float> out = dev.Run(in);
    for (unsigned i = 0; i < kFrames; ++i) {
        ASSERT_EQ(out[i], ((in[i] >= 0.0f ? in[i] : 0.0f) + in[i]) * 0.5f) << i;
    }
}

TEST_F(CallbackStages, VoiceAndSoundEffectsRunOnlyForPositiveIds) {
    NeutralProcessing();
    OfflineDevice dev(1, 1, 48000);
    const std::vector<float> in = Noise(kFrames, 0.5f);
    SS_VavorOzodediEffect = -56;  // a file value of 200
    EXPECT_TRUE(SameBytes(dev.Run(in), in));
    SS_VavorOzodediEffect = 17;
    EXPECT_EQ(dev.Run(in), std::vector<float>(kFrames, 0.0f));

    SS_VavorOzodediEffect = 0;
    SS_EffectType = 3;  // Chorus from a cleared 400-frame ring: half the dry voice, then all of it
    const std::vector<float> out = dev.Run(Constant(kFrames, 0.8f));
    for (unsigned i = 0; i < kFrames; ++i) ASSERT_EQ(out[i], i < 400 ? 0.4f : 0.8f) << i;
}

TEST_F(CallbackStages, NoiseRemovalRunsWhenEnabledForOneOrTwoChannels) {
    NeutralProcessing();
    SS_EnableNoiseRemoval = true;
    OfflineDevice three(3, 3, 48000);
    three.Run(Noise(3 * 512, 0.3f));
    EXPECT_EQ(m_noiseBufferInputSize, 0) << "three channels skip the stage";

    gl_soundTouchInitialized = false;
    OfflineDevice mono(1, 1, 48000);
    const std::vector<float> in = Noise(512, 0.3f);
    EXPECT_TRUE(SameBytes(mono.Run(in), in)) << "the first 512-frame block waits in the queue";
    EXPECT_EQ(m_noiseBufferInputSize, 32);
    EXPECT_EQ(m_noiseBufferOutputSize, 480);
}

TEST_F(CallbackBassTreble, FiltersEveryFrameWithTheGainsOfTheSetUp) {
    NeutralProcessing();
    gl_bass = 6.0f;
    gl_treble = -3.0f;
    OfflineDevice dev(2, 2, 48000);
    const std::vector<float> in = Noise(2 * kFrames, 0.5f);
    const std::vector<float> out = dev.Run(in);

    EffectBassTreble left, right;
    left.ProcessInitialize(48000.0f);
    left.SetBassTreble(6.0, -3.0);
    right.ProcessInitialize(48000.0f);
    right.SetBassTreble(6.0, -3.0);
    std::vector<float> l(kFrames), r(kFrames);
    for (unsigned f = 0; f < kFrames; ++f) {
        l[f] = in[2 * f];
        r[f] = in[2 * f + 1];
    }
    left.ProcessBlock(l.data(), l.data(), kFrames);
    right.ProcessBlock(r.data(), r.data(), kFrames);
    for (unsigned f = 0; f < kFrames; ++f) {
        ASSERT_EQ(out[2 * f], l[f]) << f;
        ASSERT_EQ(out[2 * f + 1], r[f]) << f;
    }

    // Gains changed to 0 after the set-up switch the stage off for the next block.
    gl_bass = 0.0f;
    gl_treble = 0.0f;
    EXPECT_TRUE(SameBytes(dev.Run(in), in));
}

TEST_F(CallbackGuards, LargestPeriodIsProcessedAndLargerBlocksPassUnprocessed) {
    NeutralProcessing();
    SS_VavorOzodediEffect = 17;  // Silence, then the mix gives half the input
    overlapOriginalVoice = true;
    gl_bass = 3.0f;
    OfflineDevice dev(2, 2, 48000);
    const std::vector<float> largest = Noise(2 * kMaxPeriodFrames, 0.5f);
    const std::vector<float> out = dev.Run(largest);
    for (size_t i = 0; i < largest.size(); ++i) ASSERT_EQ(out[i], largest[i] * 0.5f) << i;

    const std::vector<float> big = Noise(2 * 6000, 0.5f);
    EXPECT_TRUE(SameBytes(dev.Run(big), big));
}

TEST_F(CallbackGuards, DeviceWithoutARatePlaysUnprocessedUntilItCanBeServed) {
    NeutralProcessing();
    SS_VavorOzodediEffect = 17;
    OfflineDevice broken(1, 1, 0);
    const std::vector<float> in = Noise(kFrames, 0.5f);
    EXPECT_TRUE(SameBytes(broken.Run(in), in));
    EXPECT_FALSE(gl_soundTouchInitialized);
    EXPECT_EQ(gl_soundFreq, nullptr);

    OfflineDevice working(1, 1, 48000);
    EXPECT_EQ(working.Run(in), std::vector<float>(kFrames, 0.0f));
    EXPECT_TRUE(gl_soundTouchInitialized);
}
