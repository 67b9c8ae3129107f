#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/pipeline/ProcessingCallback.h"
#include "effects_fixture.h"
#include "support/SoundFiles.h"
#include "support/TempDir.h"

namespace {

constexpr double kRate = 48000.0;

struct PitchCase {
    const char* name;
    int voiceEffect;
    float manualPitch;
    double inputHz;
    double expectedHz;
};

const PitchCase kCases[] = {
    {"Baby", 8, 0.0f, 220.0, 440.0},
    {"Male", 5, 0.0f, 440.0, 440.0 * std::pow(2.0, -3.0 / 12.0)},
    {"Custom", 14, 7.0f, 300.0, 300.0 * 1.498307},
};

class PitchThroughCallback : public effects_test::Processing,
                             public ::testing::WithParamInterface<PitchCase> {};

TEST_P(PitchThroughCallback, ShiftsATone) {
    const PitchCase& c = GetParam();
    NeutralProcessing();
    SS_VavorOzodediEffect = static_cast<int8_t>(c.voiceEffect);
    SS_Manual_Pitch = c.manualPitch;
    AudioDevice device;
    audio_device_init_offline(&device, 1, 1, 48000, data_callback);
    const std::vector<float> tone = Tone(c.inputHz, 0.5f, 1.5, 48000);
    std::vector<float> heard(tone.size());
    for (size_t start = 0; start + 480 <= tone.size(); start += 480) {
        audio_device_run_callback(&device, heard.data() + start, tone.data() + start, 480);
    }
    // After half a second the processor has passed its start-up.
    const double hz = DominantFrequency(heard, 24000, kRate);
    EXPECT_NEAR(hz / c.expectedHz, 1.0, 0.01) << c.name << ": " << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Presets, PitchThroughCallback, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                             return std::string(info.param.name);
                         });

class PitchThroughRenderer : public ::testing::TestWithParam<PitchCase> {};

TEST_P(PitchThroughRenderer, ShiftsASoxTone) {
    const PitchCase& c = GetParam();
    const std::string renderer = std::string(MORAVEL_BINARY_DIR) + "/mvconsole-render";
    if (access(renderer.c_str(), X_OK) != 0) GTEST_SKIP() << renderer << " is not built";
    if (!ToolExists("sox")) GTEST_SKIP() << "sox is missing";

    const TempDir dir;
    const std::string in = dir / "tone.wav";
    const std::string out = dir / "shifted.wav";
    const std::string synth = "sox -n -r 48000 -c 1 -e floating-point -b 32 " + in +
                              " synth 1.5 sine " + std::to_string(c.inputHz) + " vol 0.5";
    ASSERT_EQ(std::system(synth.c_str()), 0);
    const std::string render = renderer + " --set VOICE_EFFECT=" +
                               std::to_string(c.voiceEffect) + " --set MANUAL_PITCH=" +
                               std::to_string(static_cast<int>(c.manualPitch * 100.0f)) + " " +
                               in + " " + out + " 2>/dev/null";
    ASSERT_EQ(std::system(render.c_str()), 0);
    const std::vector<float> heard = ReadMono(out);
    ASSERT_GE(heard.size(), 24000 + kDominantFrequencyWindow);
    const double hz = DominantFrequency(heard, 24000, kRate);
    std::printf("%s: %.1f Hz -> %.2f Hz (expected %.2f)\n", c.name, c.inputHz, hz, c.expectedHz);
    EXPECT_NEAR(hz / c.expectedHz, 1.0, 0.01) << c.name << ": " << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Presets, PitchThroughRenderer, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
