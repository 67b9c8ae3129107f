#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/EffectCatalogue.h"
#include "effects/VoiceEffects.h"
#include "effects_fixture.h"

using effects_test::PitchPeek;

namespace {

class VoiceEffects : public effects_test::Processing {
protected:
    struct Result {
        std::vector<float> output;
        bool written;
        uint32_t valid;
    };

    // One block through the stage, with an output block cleared as the device hands it over.
    Result Run(std::vector<float>& input) {
        const unsigned frames = static_cast<unsigned>(input.size() / channels_);
        Result r{std::vector<float>(input.size(), 0.0f), false, frames};
        StageBlock block = MakeStageBlock(input.data(), r.output.data(), frames, channels_);
        VoiceEffectStage(block);
        r.written = block.written;
        r.valid = block.valid;
        return r;
    }

    void SetChain(int8_t a, int8_t b, int8_t c, int8_t d) {
        SS_VavorOzodediEffect = static_cast<int8_t>(kVoiceEffectChain);
        SS_ChainEffect_1 = a;
        SS_ChainEffect_2 = b;
        SS_ChainEffect_3 = c;
        SS_ChainEffect_4 = d;
    }
};

TEST_F(VoiceEffects, RobotMultipliesByTheSineTableAndRunsOnAcrossBlocks) {
    SetUpProcessing(2, 48000);
    ASSERT_EQ(gl_soundFreqTotal, 1920);
    SS_VavorOzodediEffect = 4;
    const unsigned frames = 1200;  // the second block crosses the end of the table
    for (int block = 0; block < 2; ++block) {
        std::vector<float> input(2 * frames);
        for (unsigned f = 0; f < frames; ++f) {
            input[2 * f] = 1.0f;
            input[2 * f + 1] = -0.5f;
        }
        Result r = Run(input);
        EXPECT_TRUE(r.written);
        EXPECT_EQ(r.valid, frames);
        for (unsigned f = 0; f < frames; ++f) {
            const float carrier = gl_soundFreq[(block * frames + f) % 1920];
            ASSERT_EQ(r.output[2 * f], carrier) << "block " << block << " frame " << f;
            ASSERT_EQ(r.output[2 * f + 1], -0.5f * carrier);
        }
    }
    EXPECT_EQ(gl_soundFreqIdx_1, static_cast<int32_t>((2 * frames) % 1920));
    EXPECT_EQ(gl_soundFreqIdx_2, 0);
}

TEST_F(VoiceEffects, RadioAndSilence) {
    SetUpProcessing(1, 48000);
    std::vector<float> input = {-0.5f, 0.5f, 0.0f, -0.0f, -1e-30f, 1.0f};
    SS_VavorOzodediEffect = 16;
    Result radio = Run(input);
    EXPECT_EQ(radio.output, (std::vector<float>{0.0f, 0.5f, 0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_TRUE(radio.written);

    SS_VavorOzodediEffect = 17;
    std::vector<float> loud(480, 0.7f);
    std::vector<float> out(480, 0.3f);
    StageBlock block = MakeStageBlock(loud.data(), out.data(), 480, channels_);
    VoiceEffectStage(block);
    EXPECT_TRUE(block.written);
    EXPECT_EQ(block.valid, 480u);
    EXPECT_EQ(out, std::vector<float>(480, 0.0f));
}

TEST_F(VoiceEffects, CloneAddsHalfTheVoiceOf6000SamplesEarlier) {
    SetUpProcessing(1, 48000);
    SS_VavorOzodediEffect = 15;
    const std::vector<float> voice = Noise(480 * 30, 0.8f, 3);
    for (size_t block = 0; block < 30; ++block) {
        std::vector<float> input(voice.begin() + block * 480, voice.begin() + (block + 1) * 480);
        Result r = Run(input);
        for (size_t f = 0; f < 480; ++f) {
            const size_t i = block * 480 + f;
            const float expected =
                voice[i] * 0.5f + (i >= 6000 ? voice[i - 6000] * 0.5f : 0.0f);
            ASSERT_EQ(r.output[f], expected) << "sample " << i;
        }
    }
}

TEST(CloneDelay, StaysInsideTheDelayLine) {
    EXPECT_EQ(CloneDelaySamples(1, 48000), 6000);
    EXPECT_EQ(CloneDelaySamples(2, 96000), 12000);
    // Lines shorter than the delay: one frame short of the whole line, whole frames only.
    EXPECT_EQ(CloneDelaySamples(1, 4000), 3999);
    EXPECT_EQ(CloneDelaySamples(2, 4000), 3998);
    EXPECT_EQ(CloneDelaySamples(2, 1), 0);
    EXPECT_EQ(CloneReadIndex(0, 6000, 48000), 42000);
    EXPECT_EQ(CloneReadIndex(48000, 6000, 48000), 42000);
    EXPECT_EQ(CloneReadIndex(6000, 6000, 48000), 0);
    EXPECT_EQ(CloneReadIndex(0, 0, 10), 0);
}

TEST_F(VoiceEffects, CloneOnALineShorterThanItsDelayReadsInsideIt) {
    SetUpProcessing(1, 48000);
    // A line of 4000 samples, as a very low rate would give.
    delete[] SS_Voice_Buffer;
    SS_Voice_Buffer = new float[4000]();
    SS_VOICE_BUFFER_SIZE = 4000;
    SS_VavorOzodediEffect = 15;
    const std::vector<float> voice = Noise(480 * 20, 0.8f, 4);
    for (size_t block = 0; block < 20; ++block) {
        std::vector<float> input(voice.begin() + block * 480, voice.begin() + (block + 1) * 480);
        Result r = Run(input);
        for (size_t f = 0; f < 480; ++f) {
            const size_t i = block * 480 + f;
            const float expected = voice[i] * 0.5f + (i >= 3999 ? voice[i - 3999] * 0.5f : 0.0f);
            ASSERT_EQ(r.output[f], expected) << "sample " << i;
        }
    }
}

TEST_F(VoiceEffects, AlienPlaysEachFragmentReversedWithFadedEnds) {
    SetUpProcessing(1, 48000);
    const int32_t size = SS_FRAGMENT_BUFFER_SIZE;
    ASSERT_EQ(size, 8800);
    SS_VavorOzodediEffect = 9;
    const size_t blocks = 40;  // a little over two fragments
    std::vector<float> voice(480 * blocks);
    for (size_t i = 0; i < voice.size(); ++i) voice[i] = 0.25f + static_cast<float>(i) * 1e-5f;
    std::vector<float> heard;
    for (size_t block = 0; block < blocks; ++block) {
        std::vector<float> input(voice.begin() + block * 480, voice.begin() + (block + 1) * 480);
        Result r = Run(input);
        EXPECT_EQ(r.valid, 480u);
        heard.insert(heard.end(), r.output.begin(), r.output.end());
    }
    for (int32_t i = 0; i < size; ++i) ASSERT_EQ(heard[i], 0.0f) << "sample " << i;
    for (int32_t m = 0; m < size; ++m) {
        const int32_t j = size - 1 - m;  // the recorded sample played at this point
        float weight = 1.0f;
        if (j < 480) weight = static_cast<float>(j) / 480.0f;
        if (j > size - 480) weight = static_cast<float>(size - j) / 480.0f;
        ASSERT_EQ(heard[size + m], voice[j] * weight) << "sample " << size + m;
    }
    EXPECT_EQ(heard[size], voice[size - 1] / 480.0f);
    EXPECT_EQ(heard[2 * size - 1], 0.0f);
    EXPECT_EQ(heard[2 * size - 1 - 480], voice[480]);
}

TEST(AlienFade, RampsOverOneBlockAtBothEnds) {
    EXPECT_EQ(AlienFadeWeight(0, 480, 8800), 0.0f);
    EXPECT_EQ(AlienFadeWeight(240, 480, 8800), 0.5f);
    EXPECT_EQ(AlienFadeWeight(480, 480, 8800), 1.0f);
    EXPECT_EQ(AlienFadeWeight(8320, 480, 8800), 1.0f);
    EXPECT_EQ(AlienFadeWeight(8321, 480, 8800), 479.0f / 480.0f);
    EXPECT_EQ(AlienFadeWeight(8799, 480, 8800), 1.0f / 480.0f);
}

TEST_F(VoiceEffects, ChainOfRobotThenRadio) {
    SetUpProcessing(1, 48000);
    SetChain(4, 0, 16, 0);
    std::vector<float> input = Noise(480, 0.9f, 5);
    const std::vector<float> dry = input;
    Result r = Run(input);
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.valid, 480u);
    for (size_t f = 0; f < 480; ++f) {
        ASSERT_EQ(r.output[f], std::max(dry[f] * gl_soundFreq[f], 0.0f)) << f;
    }
    EXPECT_EQ(gl_soundFreqIdx_1, 480);
}

TEST_F(VoiceEffects, ChainOfZerosLeavesTheBlockUnwritten) {
    SetUpProcessing(2, 48000);
    SetChain(0, 0, 0, 0);
    std::vector<float> input = Noise(960, 0.9f, 6);
    const std::vector<float> dry = input;
    Result r = Run(input);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.valid, 480u);
    EXPECT_EQ(input, dry);
    EXPECT_EQ(r.output, std::vector<float>(960, 0.0f));
}

TEST_F(VoiceEffects, UnknownIdsSkipOnlyTheirPosition) {
    SetUpProcessing(1, 48000);
    const std::vector<float> dry = Noise(480, 0.9f, 7);
    std::vector<float> rectified(480);
    std::transform(dry.begin(), dry.end(), rectified.begin(),
                   [](float x) { return x >= 0.0f ? x : 0.0f; });

    // An id without an effect (a negative one is read unsigned and names none), then Radio on
    // the whole block.
    std::vector<float> input;
    Result r;
    for (int8_t unknown : {2, -1}) {
        SetChain(unknown, 16, 0, 0);
        input = dry;
        r = Run(input);
        EXPECT_TRUE(r.written) << int(unknown);
        EXPECT_EQ(r.output, rectified) << int(unknown);
    }

    // Radio at the first position, then an id above 17 at the last: the result waits in the
    // input block for the pass-through and the block counts as unwritten.
    SetChain(16, 0, 0, 100);
    input = dry;
    r = Run(input);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(input, rectified);

    for (int8_t id : {1, 2, 3, 18, 19, 21, 127}) {
        SS_VavorOzodediEffect = id;
        input = dry;
        r = Run(input);
        EXPECT_FALSE(r.written) << int(id);
        EXPECT_EQ(input, dry);
        EXPECT_EQ(r.output, std::vector<float>(480, 0.0f));
    }
}

TEST_F(VoiceEffects, ChainPositionsKeepTheirOwnPhase) {
    SetUpProcessing(1, 48000);
    SetChain(4, 4, 0, 0);
    std::vector<float> input(480, 1.0f);
    Result r = Run(input);
    for (size_t f = 0; f < 480; ++f) {
        ASSERT_EQ(r.output[f], gl_soundFreq[f] * gl_soundFreq[f]) << f;
    }
    EXPECT_EQ(gl_soundFreqIdx_1, 480);
    EXPECT_EQ(gl_soundFreqIdx_2, 480);
}

using VoiceEffectsWithoutSetUp = FreshProgramState;

TEST_F(VoiceEffectsWithoutSetUp, EveryEffectLeavesTheBlockUnchanged) {
    // No first block has run: no sine table, fragment buffers, delay line or processor layout.
    NeutralProcessing();
    const std::vector<float> dry = Noise(480, 0.5f, 9);
    for (int id = 4; id <= 15; ++id) {
        SS_VavorOzodediEffect = static_cast<int8_t>(id);
        std::vector<float> input = dry;
        std::vector<float> output(480, 0.0f);
        StageBlock block = MakeStageBlock(input.data(), output.data(), 480, 1);
        VoiceEffectStage(block);
        EXPECT_TRUE(block.written) << id;
        EXPECT_EQ(block.valid, 480u) << id;
        EXPECT_EQ(output, dry) << id;
    }
}

TEST_F(VoiceEffects, RobotWithAnEmptySineTableLeavesTheBlockUnchanged) {
    SetUpProcessing(1, 48000);
    gl_soundFreqTotal = 0;
    SS_VavorOzodediEffect = 4;
    std::vector<float> input = Noise(480, 0.5f, 10);
    const std::vector<float> dry = input;
    Result r = Run(input);
    EXPECT_EQ(r.output, dry);
}

TEST_F(VoiceEffects, PitchPresetsAndCustomSetTheirPitchOnEveryBlock) {
    SetUpProcessing(1, 48000);
    const struct {
        int8_t id;
        double semitones;
    } presets[] = {{5, -3.0}, {6, 4.0}, {7, 8.0}, {8, 12.0}};
    for (const auto& preset : presets) {
        SS_VavorOzodediEffect = preset.id;
        soundTouch[0].setPitchSemiTones(0);
        std::vector<float> input = Noise(480, 0.5f, 11);
        Result r = Run(input);
        EXPECT_TRUE(r.written);
        EXPECT_LE(r.valid, 480u);
        EXPECT_NEAR(PitchPeek::Semitones(soundTouch[0]), preset.semitones, 1e-9);
    }
    SS_VavorOzodediEffect = 14;
    SS_Manual_Pitch = 2.5f;
    std::vector<float> input = Noise(480, 0.5f, 12);
    Run(input);
    EXPECT_NEAR(PitchPeek::Semitones(soundTouch[0]), 2.5, 1e-9);
}

TEST_F(VoiceEffects, PitchEffectHandsBackWhatTheProcessorProduced) {
    SetUpProcessing(2, 48000);
    SS_VavorOzodediEffect = 8;
    uint32_t produced = 0;
    for (int block = 0; block < 50; ++block) {
        std::vector<float> input = Noise(960, 0.5f, 13 + block);
        Result r = Run(input);
        ASSERT_LE(r.valid, 480u);
        // Frames after the produced ones stay as the device handed them over.
        for (size_t i = 2 * r.valid; i < r.output.size(); ++i) ASSERT_EQ(r.output[i], 0.0f);
        produced += r.valid;
    }
    // Apart from the processor's start-up latency every frame comes out.
    EXPECT_GT(produced, 50u * 480u - 4800u);
}

TEST(MutationSchedule, SweepsUpByATenthThenBounces) {
    float value = 0.0f;
    float offset = 0.1f;
    float expected = 0.0f;
    for (int block = 1; block <= 129; ++block) {
        expected += 0.1f;
        const float pitch = MutationPitchStep(value, offset, 0.1f);
        ASSERT_EQ(pitch, expected) << block;
        ASSERT_LE(pitch, 13.0f) << block;
        ASSERT_NEAR(pitch, 0.1 * block, 1e-3) << block;
    }
    EXPECT_EQ(MutationPitchStep(value, offset, 0.1f), 13.0f);  // block 130 is the first above
    EXPECT_EQ(value, 13.0f);
    EXPECT_EQ(offset, -0.1f);
    EXPECT_EQ(MutationPitchStep(value, offset, 0.1f), 13.0f - 0.1f);

    // The selected step only applies from a bound on: the slow sweep starts with 0.1 too.
    value = 0.0f;
    offset = 0.1f;
    EXPECT_EQ(MutationPitchStep(value, offset, 0.01f), 0.1f);
    value = -3.95f;
    offset = -0.1f;
    EXPECT_EQ(MutationPitchStep(value, offset, 0.01f), -4.0f);
    EXPECT_EQ(offset, 0.01f);
    EXPECT_EQ(MutationPitchStep(value, offset, 0.01f), -4.0f + 0.01f);
}

TEST(AtariSchedule, JumpsBetweenPlusSixAndMinusThree) {
    float value = 0.0f;
    float offset = 0.1f;
    int32_t held = 6;
    std::vector<int32_t> pitches;
    for (int block = 0; block < 64; ++block) pitches.push_back(AtariPitchStep(value, offset, held));
    for (int b = 0; b < 40; ++b) EXPECT_EQ(pitches[b], 6) << b;
    for (int b = 40; b < 48; ++b) EXPECT_EQ(pitches[b], -3) << b;
    for (int b = 48; b < 56; ++b) EXPECT_EQ(pitches[b], 6) << b;
    for (int b = 56; b < 64; ++b) EXPECT_EQ(pitches[b], -3) << b;
}

TEST_F(VoiceEffects, MutationHandsItsSweepToTheProcessor) {
    SetUpProcessing(1, 48000);
    SS_VavorOzodediEffect = 10;
    float expected = 0.0f;
    for (int block = 1; block <= 132; ++block) {
        expected = std::min(expected + 0.1f, 13.0f);
        if (block > 130) expected = 13.0f - 0.1f * static_cast<float>(block - 130);
        std::vector<float> input = Noise(480, 0.5f, 20 + block);
        Result r = Run(input);
        ASSERT_NEAR(PitchPeek::Semitones(soundTouch[0]), expected, 1e-5) << block;
        ASSERT_TRUE(r.written);
    }
}

TEST_F(VoiceEffects, AtariHandsItsStepsToTheProcessorAndFillsTheBlock) {
    SetUpProcessing(1, 48000);
    SS_VavorOzodediEffect = 13;
    for (int block = 0; block < 64; ++block) {
        std::vector<float> input = Noise(480, 0.5f, 40 + block);
        const std::vector<float> dry = input;
        Result r = Run(input);
        const int expected = block < 40 || ((block - 40) / 8) % 2 == 1 ? 6 : -3;
        ASSERT_NEAR(PitchPeek::Semitones(soundTouch[0]), expected, 1e-9) << block;
        ASSERT_EQ(r.valid, 480u);
        // On the first block the processor produces nothing yet: the dry voice fills it.
        if (block == 0) {
            EXPECT_EQ(r.output, dry);
        }
    }
}

TEST_F(VoiceEffects, TwoChainPositionsSweepIndependently) {
    SetUpProcessing(1, 48000);
    SetChain(10, 13, 0, 0);
    for (int block = 0; block < 5; ++block) {
        std::vector<float> input = Noise(480, 0.5f, 70 + block);
        Run(input);
    }
    EXPECT_NEAR(PitchPeek::Semitones(soundTouch[0]), 0.5, 1e-5);
    EXPECT_NEAR(PitchPeek::Semitones(soundTouch[1]), 6.0, 1e-9);
    EXPECT_FLOAT_EQ(SS_VariablePitch_Value[0], 0.5f);
    EXPECT_FLOAT_EQ(SS_VariablePitch_Value[1], 0.5f);
    EXPECT_EQ(SS_VariableTempValue[1], 6);
}

}  // namespace
