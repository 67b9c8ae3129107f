#include <gtest/gtest.h>

#include <vector>

#include "effects/SoundEffects.h"
#include "effects_fixture.h"


namespace {

class SoundEffects : public effects_test::Processing {
protected:
    // Runs `voice` through the stage in blocks of `frames` frames with nothing written before
    // (no voice effect), and returns everything that came out.
    std::vector<float> RunBlocks(const std::vector<float>& voice, unsigned frames) {
        const size_t n = static_cast<size_t>(channels_) * frames;
        std::vector<float> heard;
        for (size_t start = 0; start + n <= voice.size(); start += n) {
            std::vector<float> input(voice.begin() + start, voice.begin() + start + n);
            std::vector<float> output(n, 0.0f);
            StageBlock block = MakeStageBlock(input.data(), output.data(), frames, channels_);
            SoundEffectStage(block);
            EXPECT_TRUE(block.written);
            EXPECT_EQ(block.valid, frames);
            heard.insert(heard.end(), output.begin(), output.end());
        }
        return heard;
    }

    // Every sample `effect` gives is the voice plus `gain` times the voice `delay` samples
    // earlier.
    void ExpectDelayedCopy(int32_t effect, const std::vector<float>& voice, unsigned frames,
                           size_t delay, float gain) {
        SS_EffectType = effect;
        const std::vector<float> heard = RunBlocks(voice, frames);
        for (size_t i = 0; i < heard.size(); ++i) {
            const float expected = i < delay ? voice[i] : voice[i] + voice[i - delay] * gain;
            ASSERT_EQ(heard[i], expected) << "sample " << i;
        }
    }
};

TEST_F(SoundEffects, EchoAddsAQuarterOfTheVoiceOfAQuarterSecondEarlier) {
    SetUpProcessing(2, 48000);
    ASSERT_EQ(SS_ECHO_EFFECT_SIZE, 24000);
    ExpectDelayedCopy(2, Noise(2 * 480 * 60, 0.8f, 1), 480, 24000, 0.25f);
}

TEST_F(SoundEffects, TownHallAddsHalfTheVoiceOf3000FramesEarlier) {
    SetUpProcessing(1, 48000);
    ExpectDelayedCopy(1, Noise(512 * 20, 0.8f, 2), 512, 3000, 0.5f);
}

TEST_F(SoundEffects, ChorusOfAConstantVoice) {
    SetUpProcessing(2, 48000);
    SS_EffectType = 3;
    const std::vector<float> voice(2 * 480 * 3, 0.8f);
    const std::vector<float> heard = RunBlocks(voice, 480);
    for (size_t i = 0; i < heard.size(); ++i) {
        ASSERT_EQ(heard[i], i < 800 ? 0.4f : 0.8f) << "sample " << i;
    }
}

TEST_F(SoundEffects, GhostReadsBackwardsFromTheEndOfItsRing) {
    SetUpProcessing(1, 48000);
    SS_EffectType = 4;
    const int32_t ring = 2 * SS_ECHO_EFFECT_SIZE;
    ASSERT_EQ(ring, 24000);
    SS_EffectBuffer[ring - 1] = 0.375f;
    SS_EffectBuffer[ring - 2] = 0.125f;
    std::vector<float> input = Noise(480, 0.5f, 3);
    const std::vector<float> dry = input;
    std::vector<float> output(480, 0.0f);
    StageBlock block = MakeStageBlock(input.data(), output.data(), 480, channels_);
    SoundEffectStage(block);
    EXPECT_EQ(output[0], dry[0] + 0.375f);
    EXPECT_EQ(output[1], dry[1] + 0.125f);
    EXPECT_EQ(SS_EffectBuffer[0], dry[0] * 0.5f);
    EXPECT_EQ(SS_effectStart, 480);
    EXPECT_EQ(SS_reverseStart, ring - 1 - 480);
}

TEST_F(SoundEffects, GhostPlaysTheLastHalfSecondReversed) {
    SetUpProcessing(1, 48000);
    SS_EffectType = 4;
    const size_t ring = 24000;
    const std::vector<float> voice = Noise(480 * 80, 0.5f, 4);
    const std::vector<float> heard = RunBlocks(voice, 480);
    for (size_t m = 0; m < ring / 2; ++m) {
        const size_t i = ring + m;
        ASSERT_EQ(heard[i], voice[i] + voice[ring - 1 - m] * 0.5f) << "sample " << i;
    }
}

TEST_F(SoundEffects, GhostThenTownHallWrapsTheSharedPosition) {
    SetUpProcessing(1, 48000);
    SS_EffectType = 4;
    RunBlocks(Noise(480 * 10, 0.5f, 5), 480);
    ASSERT_EQ(SS_effectStart, 4800);  // beyond Town Hall's ring of 3000
    const float left = SS_EffectBuffer[0];

    SS_EffectType = 1;
    const std::vector<float> voice = Noise(480, 0.5f, 6);
    const std::vector<float> heard = RunBlocks(voice, 480);
    EXPECT_EQ(heard[0], voice[0] + left);
    EXPECT_EQ(SS_EffectBuffer[0], voice[0] * 0.5f);
    EXPECT_EQ(SS_effectStart, 480);
}

TEST_F(SoundEffects, WorksOnTheFramesAVoiceEffectWrote) {
    SetUpProcessing(1, 48000);
    SS_EffectType = 2;
    std::vector<float> input(480, 0.9f);
    std::vector<float> output = Noise(480, 0.5f, 7);
    const std::vector<float> voiced = output;
    StageBlock block = MakeStageBlock(input.data(), output.data(), 480, channels_);
    block.written = true;
    block.valid = 300;
    SoundEffectStage(block);
    EXPECT_TRUE(block.written);
    EXPECT_EQ(block.valid, 300u);
    EXPECT_EQ(SS_effectStart, 300);
    for (size_t i = 0; i < 300; ++i) {
        ASSERT_EQ(output[i], voiced[i]);  // the ring is still cleared
        ASSERT_EQ(input[i], voiced[i]);   // the dry block is in both buffers
    }
    EXPECT_EQ(input[300], 0.9f);
}

TEST_F(SoundEffects, AnIdWithoutAnEffectGivesTheDryBlock) {
    SetUpProcessing(2, 48000);
    SS_EffectType = 9;
    const std::vector<float> voice = Noise(960, 0.5f, 8);
    EXPECT_EQ(RunBlocks(voice, 480), voice);
    EXPECT_EQ(SS_effectStart, 0);
}

using SoundEffectsWithoutSetUp = FreshProgramState;

TEST_F(SoundEffectsWithoutSetUp, PassTheDryBlock) {
    NeutralProcessing();
    SS_ECHO_EFFECT_SIZE = 12000;  // a base length, but no buffer yet
    const std::vector<float> voice = Noise(480, 0.5f, 9);
    for (int id = 1; id <= 4; ++id) {
        SS_EffectType = id;
        std::vector<float> input = voice;
        std::vector<float> output(480, 0.0f);
        StageBlock block = MakeStageBlock(input.data(), output.data(), 480, 1);
        SoundEffectStage(block);
        EXPECT_EQ(output, voice) << id;
    }
}

}  // namespace
