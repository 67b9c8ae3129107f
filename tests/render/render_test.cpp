// mvconsole-render: its arguments and settings in process, and the program itself on files
// made with libsndfile in a private folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>

#include "support/ProgramState.h"
#include "audio/render/OfflineRender.h"
#include "config/PortableConfig.h"
#include "RenderCommandLine.h"
#include "config/Settings.h"
#include "support/SoundFiles.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<float> Signal(size_t samples, uint32_t seed) {
    std::vector<float> s(samples);
    for (size_t i = 0; i < samples; ++i) {
        s[i] = 0.6f * std::sin(0.01f * static_cast<float>(i) * static_cast<float>(seed)) +
               0.1f * std::sin(0.37f * static_cast<float>(i));
    }
    return s;
}

struct RunResult {
    int status;
    std::string errors;
};

// Runs the renderer in `dir` with `args` (already quoted where needed).
RunResult Render(const TempDir& dir, const std::string& args) {
    const std::string errors = dir / "stderr.txt";
    const std::string command = "cd '" + dir.path() + "' && '" MORAVEL_BINARY_DIR
                                "/mvconsole-render' " + args + " 2>'" + errors + "' >/dev/null";
    const int raw = std::system(command.c_str());
    return RunResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(errors)};
}

bool Parses(std::vector<std::string> args, std::string* error = nullptr) {
    RenderOptions options;
    std::string message;
    const bool ok = ParseRenderArguments(args, options, message);
    if (error != nullptr) *error = message;
    return ok;
}

}  // namespace

TEST(RenderArguments, AcceptsTheDocumentedForms) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(ParseRenderArguments({"--config", "a.ini", "--set", "VOICE_EFFECT=4", "--set",
                                      "MICROPHONE_BASS=-600", "--block=256", "in.wav", "out.FLAC"},
                                     options, error))
        << error;
    EXPECT_EQ(options.configFile, "a.ini");
    ASSERT_EQ(options.settings.size(), 2u);
    EXPECT_STREQ(options.settings[1].setting->key, "MICROPHONE_BASS");
    EXPECT_EQ(options.settings[1].number, -600);
    EXPECT_EQ(options.blockFrames, 256u);
    EXPECT_EQ(options.output, "out.FLAC");
    EXPECT_TRUE(Parses({"--help"}));
    EXPECT_TRUE(Parses({"--block", "4800", "--", "-in.wav", "out.wav"}));
}

TEST(RenderArguments, UsageErrorsSayWhatIsWrong) {
    std::string error;
    EXPECT_FALSE(Parses({"--loud", "in.wav", "out.wav"}, &error));
    EXPECT_NE(error.find("--loud"), std::string::npos);
    EXPECT_FALSE(Parses({"in.wav", "out.wav", "--block"}, &error));
    EXPECT_NE(error.find("needs an argument"), std::string::npos);
    for (const char* frames : {"0", "4801", "48x", "-5", "", "99999999999"}) {
        EXPECT_FALSE(Parses({"--block", frames, "in.wav", "out.wav"})) << frames;
    }
    EXPECT_FALSE(Parses({"--set", "VOLUME=3", "in.wav", "out.wav"}, &error));
    EXPECT_NE(error.find("VOLUME"), std::string::npos);
    EXPECT_FALSE(Parses({"--set", "DEVICE_CAPTURE_IDX=1", "in.wav", "out.wav"}));
    for (const char* value : {"VOICE_EFFECT=", "VOICE_EFFECT=four", "VOICE_EFFECT=4x",
                              "VOICE_EFFECT= 4", "VOICE_EFFECT=3000000000", "VOICE_EFFECT"}) {
        EXPECT_FALSE(Parses({"--set", value, "in.wav", "out.wav"})) << value;
    }
    EXPECT_FALSE(Parses({"in.wav"}));
    EXPECT_FALSE(Parses({"a.wav", "b.wav", "c.wav"}));
    EXPECT_FALSE(Parses({"in.wav", "out.mp3"}, &error));
    EXPECT_NE(error.find("out.mp3"), std::string::npos);
}

TEST(RenderSettings, DefaultBlockIsTenMillisecondsWithinTheLayersLimits) {
    EXPECT_EQ(DefaultBlockFrames(48000), 480u);
    EXPECT_EQ(DefaultBlockFrames(44100), 441u);
    EXPECT_EQ(DefaultBlockFrames(50), 1u);
    EXPECT_EQ(DefaultBlockFrames(768000), kMaxPeriodFrames);
}

TEST(RenderSettings, FileValuesLoadAsTheProgramLoadsThem) {
    TempDir dir;
    dir.Write("MVConsole.ini",
              "ENABLED=0\nVOICE_EFFECT=264\nSOUND_EFFECT=3\nMANUAL_PITCH=-1023\n"
              "MICROPHONE_SENSIVITY=20\r\nMICROPHONE_BASS=600\nMICROPHONE_TREBLE=-3000\n"
              "OVERLAP_ORIGINAL_VOICE=7\nENABLE_NOISE_REMOVAL=1\nCHAIN_EFFECT_1=200\n"
              "CHAIN_EFFECT_2=16\nCHAIN_EFFECT_3=x\nCHAIN_EFFECT_4=4\nVOICE_EFFECT=5\n");
    const std::string before = ReadText(dir / "MVConsole.ini");

    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ConfigPortableApplication();
    LoadConfiguration();
    const auto snapshot = [] {
        return std::vector<double>{double(SS_MORAVEL_ACTIVE), double(SS_VavorOzodediEffect),
                                   double(SS_EffectType), SS_Manual_Pitch,
                                   SS_Microphone_Sensivity, gl_bass, gl_treble,
                                   double(overlapOriginalVoice), double(SS_EnableNoiseRemoval),
                                   double(SS_ChainEffect_1), double(SS_ChainEffect_2),
                                   double(SS_ChainEffect_3), double(SS_ChainEffect_4)};
    };
    const std::vector<double> program = snapshot();

    ApplyFirstStartDefaults();
    EXPECT_TRUE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 8);
    std::string error;
    std::vector<std::string> held;
    ASSERT_TRUE(ApplyConfigurationFile(dir / "MVConsole.ini", error, held)) << error;
    EXPECT_EQ(snapshot(), program);
    EXPECT_EQ(SS_VavorOzodediEffect, 8) << "the first of two lines counts";
    EXPECT_EQ(ReadText(dir / "MVConsole.ini"), before);
    EXPECT_TRUE(held.empty());

    EXPECT_FALSE(ApplyConfigurationFile(dir / "absent.ini", error, held));
    EXPECT_NE(error.find("No such file"), std::string::npos);
    EXPECT_FALSE(ApplyConfigurationFile(dir.path(), error, held));
}

TEST(RenderSettings, ValuesBeyondWhatTheProcessingTakesAreHeldAndNamed) {
    TempDir dir;
    dir.Write("wild.ini", "MANUAL_PITCH=-100000\nMICROPHONE_BASS=2000000000\nVOICE_EFFECT=14\n");
    std::string error;
    std::vector<std::string> held;
    ASSERT_TRUE(ApplyConfigurationFile(dir / "wild.ini", error, held)) << error;
    EXPECT_EQ(SS_Manual_Pitch, -15.0f);
    EXPECT_EQ(gl_bass, 30.0f);
    SettingAssignment assignment;
    ASSERT_TRUE(ParseSettingArgument("MICROPHONE_TREBLE=-3001", assignment, error));
    ApplySettingAssignment(assignment, held);
    ASSERT_TRUE(ParseSettingArgument("MANUAL_PITCH=3000", assignment, error));
    ApplySettingAssignment(assignment, held);
    EXPECT_EQ(gl_treble, -30.0f);
    EXPECT_EQ(SS_Manual_Pitch, 30.0f);
    EXPECT_EQ(held, (std::vector<std::string>{"MANUAL_PITCH=-100000 held to -1500",
                                              "MICROPHONE_BASS=2000000000 held to 3000",
                                              "MICROPHONE_TREBLE=-3001 held to -3000"}));
}

class RenderProgram : public ::testing::Test {
protected:
    TempDir dir;
    std::vector<float> stereo = Signal(2 * 10007, 3);  // not a multiple of any block size used

    void SetUp() override { ASSERT_TRUE(WriteSound(dir / "in.wav", 2, 48000, stereo)); }
    void TearDown() override {
        EXPECT_FALSE(fs::exists(dir / "MVConsole.ini")) << "a configuration file was written";
    }
};

TEST_F(RenderProgram, NeutralRunAndProcessingOffAreBitIdentical) {
    for (const std::string args : {"--set VOICE_EFFECT=0", "--set ENABLED=0",
                                   "--block 333 --set VOICE_EFFECT=0", "--block 1 --set ENABLED=0"}) {
        const RunResult run = Render(dir, args + " in.wav out.wav");
        ASSERT_EQ(run.status, 0) << args << ": " << run.errors;
        SF_INFO info;
        const std::vector<float> out = ReadSound(dir / "out.wav", info);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.samplerate, 48000);
        ASSERT_EQ(out.size(), stereo.size()) << args;
        EXPECT_EQ(std::memcmp(out.data(), stereo.data(), out.size() * sizeof(float)), 0) << args;
    }
}

TEST_F(RenderProgram, PrintsOneSummaryLine) {
    const RunResult run = Render(dir, "--set VOICE_EFFECT=0 in.wav out.wav");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.errors.find("mvconsole-render: 10007 frames, 21 blocks, "), std::string::npos);
    EXPECT_NE(run.errors.find("faster than real time\n"), std::string::npos);
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
}

TEST_F(RenderProgram, SettingsComeFromTheFileThenFromSetInOrder) {
    dir.Write("radio.ini", "VOICE_EFFECT=16\nENABLED=1\n");
    const std::string before = ReadText(dir / "radio.ini");
    ASSERT_EQ(Render(dir, "--config radio.ini in.wav radio.wav").status, 0);
    ASSERT_EQ(Render(dir, "--config radio.ini --set VOICE_EFFECT=4 --set VOICE_EFFECT=16 "
                          "--set OVERLAP_ORIGINAL_VOICE=1 --set OVERLAP_ORIGINAL_VOICE=0 "
                          "in.wav again.wav").status, 0);
    EXPECT_EQ(ReadText(dir / "radio.ini"), before);
    SF_INFO info;
    const std::vector<float> radio = ReadSound(dir / "radio.wav", info);
    ASSERT_EQ(radio.size(), stereo.size());
    for (size_t i = 0; i < stereo.size(); ++i) {
        ASSERT_EQ(radio[i], stereo[i] >= 0.0f ? stereo[i] : 0.0f) << i;
    }
    EXPECT_EQ(ReadSound(dir / "again.wav", info), radio);
}

TEST_F(RenderProgram, FlacOutputHoldsTwentyFourBitsOfTheResult) {
    std::vector<float> mono = Signal(4800, 5);
    ASSERT_TRUE(WriteSound(dir / "mono.wav", 1, 22050, mono));
    ASSERT_EQ(Render(dir, "--set VOICE_EFFECT=0 mono.wav out.flac").status, 0);
    SF_INFO info;
    const std::vector<float> out = ReadSound(dir / "out.flac", info);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(info.samplerate, 22050);
    ASSERT_EQ(out.size(), mono.size());
    for (size_t i = 0; i < mono.size(); ++i) ASSERT_NEAR(out[i], mono[i], 2.0 / 8388608.0) << i;
}

TEST_F(RenderProgram, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Render(dir, "--loud in.wav out.wav").status, 2);
    EXPECT_EQ(Render(dir, "--set NOPE=1 in.wav out.wav").status, 2);
    EXPECT_EQ(Render(dir, "--block 0 in.wav out.wav").status, 2);
    EXPECT_EQ(Render(dir, "--block 4801 in.wav out.wav").status, 2);
    EXPECT_EQ(Render(dir, "in.wav").status, 2);
    EXPECT_EQ(Render(dir, "in.wav out.ogg").status, 2);
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
    const RunResult help = Render(dir, "--help");
    EXPECT_EQ(help.status, 0);
}

TEST_F(RenderProgram, HostileValuesRenderFiniteSoundAndAreReported) {
    for (const std::string args : {"--set VOICE_EFFECT=14 --set MANUAL_PITCH=-100000",
                                   "--set VOICE_EFFECT=14 --set MANUAL_PITCH=20000",
                                   "--set MICROPHONE_BASS=1000000 --set MICROPHONE_TREBLE=-1000000"}) {
        const RunResult rendered = Render(dir, args + " in.wav out.wav");
        ASSERT_EQ(rendered.status, 0) << args << ": " << rendered.errors;
        EXPECT_NE(rendered.errors.find(" held to "), std::string::npos) << rendered.errors;
        SF_INFO info;
        const std::vector<float> out = ReadSound(dir / "out.wav", info);
        ASSERT_EQ(out.size(), stereo.size()) << args;
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return std::isfinite(x); }))
            << args;
    }
}

TEST_F(RenderProgram, AConfigurationThatIsNotARegularFileIsRefused) {
    const RunResult run = Render(dir, "--config /dev/zero in.wav out.wav");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("/dev/zero"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("not a regular file"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
}

TEST_F(RenderProgram, FileProblemsExitWithOneNamingTheFile) {
    dir.Write("noise.wav", "this is not a sound file");
    ASSERT_TRUE(WriteSound(dir / "three.wav", 3, 48000, Signal(3 * 100, 1)));

    struct Case {
        const char* args;
        const char* named;
    };
    for (const Case& c : {Case{"missing.wav out.wav", "missing.wav"},
                          Case{"noise.wav out.wav", "noise.wav"},
                          Case{"three.wav out.wav", "three.wav"},
                          Case{"--config absent.ini in.wav out.wav", "absent.ini"},
                          Case{"in.wav no/such/dir/out.wav", "no/such/dir/out.wav"},
                          Case{"in.wav in.wav", "in.wav"}}) {
        const RunResult run = Render(dir, c.args);
        EXPECT_EQ(run.status, 1) << c.args;
        EXPECT_NE(run.errors.find(c.named), std::string::npos) << c.args << ": " << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
    EXPECT_NE(Render(dir, "three.wav out.wav").errors.find("3 channels"), std::string::npos);
    SF_INFO info;
    EXPECT_EQ(ReadSound(dir / "in.wav", info), stereo) << "the input is never overwritten";
}
