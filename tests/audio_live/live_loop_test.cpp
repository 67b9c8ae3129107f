// The duplex device live: "Microphone" to "Virtual cable" of a private PulseAudio daemon,
// through SDL and the real processing callback. Skips when the sound server tools are absent.
//
// MORAVEL_LIVE_SECONDS=60 runs the long test (skipped otherwise, to keep the suite short):
//   MORAVEL_LIVE_SECONDS=60 build/tests/audio_live_tests --gtest_filter='*LongRun*'
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/MoravelState.h"
#include "audio/AudioLayer.h"
#include "audio/AudioSetup.h"
#include "audio/ProcessingCallback.h"
#include "live_harness.h"
#include "live_signals.h"
#include "support/ProgramState.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kRate = 48000;

const AudioDeviceInfo* Find(AudioDeviceInfo* list, uint32_t count, const std::string& name) {
    for (uint32_t i = 0; i < count; ++i) {
        if (list[i].name == name) return &list[i];
    }
    return nullptr;
}

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

class LiveLoop : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!pulse.Start(why)) GTEST_SKIP() << "no private PulseAudio daemon: " << why;
        ASSERT_EQ(audio_context_init(&context), 0);
        AudioDeviceInfo *playback = nullptr, *capture = nullptr;
        uint32_t playbackCount = 0, captureCount = 0;
        ASSERT_EQ(audio_context_get_devices(&context, &playback, &playbackCount, &capture,
                                            &captureCount), 0);
        config = audio_device_config_init_duplex();
        config.capture.pDeviceID = Find(capture, captureCount, "Microphone");
        config.playback.pDeviceID = Find(playback, playbackCount, "Virtual cable");
        ASSERT_NE(config.capture.pDeviceID, nullptr);
        ASSERT_NE(config.playback.pDeviceID, nullptr);
        config.capture.channels = 1;
        config.playback.channels = 1;
        config.dataCallback = data_callback;
    }

    void Open(bool processing) {
        NeutralProcessing();
        SS_MORAVEL_ACTIVE = processing;
        ASSERT_EQ(audio_device_init(&context, &config, &device), 0);
        ASSERT_EQ(device.capture.internalSampleRate, kRate);
        ASSERT_EQ(device.periodFrames, kRate / 100);
        ASSERT_EQ(audio_device_start(&device), 0);
        Sleep(0.5);  // both streams running before anything is measured
        device.underruns = 0;
        device.overruns = 0;
        device.callbacks = 0;
    }

    // The added delay of the program in ms: clicks through the splitter reach the cable twice.
    double ClickLatencyMs() {
        live::Recorder recorder;
        EXPECT_TRUE(recorder.Start("virtual_cable.monitor", kRate, work / "clicks.raw"));
        Sleep(0.3);
        EXPECT_TRUE(live::Play("splitter", live::Clicks(8, 0.4, 0.5, kRate), kRate, work.path()));
        Sleep(0.3);
        const std::vector<double> distances =
            live::ClickEchoDistances(recorder.Stop(), 0.15f, kRate / 200, kRate / 5);
        EXPECT_GE(distances.size(), 6u) << "the clicks did not come back twice";
        return live::Median(distances) * 1000.0 / kRate;
    }

    void Report(const char* what, double seconds) {
        std::printf("[ figures  ] %s: %llu underruns, %llu overruns, %llu trims in %llu periods (%.1f s)\n",
                    what, static_cast<unsigned long long>(device.underruns.load()),
                    static_cast<unsigned long long>(device.overruns.load()),
                    static_cast<unsigned long long>(device.trims.load()),
                    static_cast<unsigned long long>(device.callbacks.load()), seconds);
    }

    void TearDown() override {
        audio_device_uninit(&device);
        audio_context_uninit(&context);
        applicationClear();  // the buffers the callback allocated
        pulse.Stop();
    }

    PrivatePulse pulse;
    TempDir work;
    AudioContext context;
    AudioDeviceConfig config;
    AudioDevice device;
};

}  // namespace

TEST_F(LiveLoop, ToneComesOutAtItsPitchAndLevel) {
    Open(true);
    live::Recorder recorder;
    ASSERT_TRUE(recorder.Start("virtual_cable.monitor", kRate, work / "tone.raw"));
    Sleep(0.2);
    const float amplitude = 0.5f;
    ASSERT_TRUE(live::Play("fake_mic", Tone(440.0, amplitude, 1.5, kRate), kRate, work.path()));
    Sleep(0.2);
    const std::vector<float> recorded = recorder.Stop();
    ASSERT_GT(recorded.size(), kRate);

    // 0.2 s of the steady tone: bins of 5 Hz, 440 Hz falls on one.
    const std::vector<float> window = LoudestWindow(recorded, kRate / 5);
    EXPECT_NEAR(LoudestFrequency(window, kRate, 4000.0), 440.0, 0.1);
    const double expectedDb = 20.0 * std::log10(amplitude / std::sqrt(2.0));
    const double levelDb = RmsDb(window);
    std::printf("[ figures  ] tone level %.2f dBFS (sent %.2f dBFS)\n", levelDb, expectedDb);
    EXPECT_NEAR(levelDb, expectedDb, 1.0);
    Report("tone run", 2.1);
}

TEST_F(LiveLoop, AddedLatencyWithProcessingOff) {
    Open(false);
    const double latency = ClickLatencyMs();
    std::printf("[ figures  ] added latency %.1f ms (processing off)\n", latency);
    Report("latency run", 4.3);
    EXPECT_LE(latency, 40.0) << "far above the 25 ms aim";
}

TEST_F(LiveLoop, LongRunKeepsLatencyAndCountsUnderruns) {
    const char* env = std::getenv("MORAVEL_LIVE_SECONDS");
    const double seconds = env != nullptr ? std::atof(env) : 0.0;
    if (seconds <= 0.0) GTEST_SKIP() << "set MORAVEL_LIVE_SECONDS (e.g. 60) to run it";
    Open(false);
    const double before = ClickLatencyMs();
    live::Recorder recorder;  // a client on the cable all along, as a chat program would be
    ASSERT_TRUE(recorder.Start("virtual_cable.monitor", kRate, work / "long.raw"));
    ASSERT_TRUE(live::Play("fake_mic", Tone(440.0, 0.3f, seconds, kRate), kRate, work.path()));
    recorder.Stop();
    const double after = ClickLatencyMs();
    std::printf("[ figures  ] added latency %.1f ms at the start, %.1f ms after %.0f s\n", before,
                after, seconds);
    Report("long run", seconds + 9.0);
    EXPECT_LE(std::fabs(after - before), 10.0) << "the delay drifted";
}
