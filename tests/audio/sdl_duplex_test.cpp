// The duplex device on SDL's headless drivers: "dummy" runs both threads on a timer, "disk"
// without an input file cannot open a capture device.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/TempDir.h"
#include "audio/layer/AudioLayer.h"

namespace {

std::atomic<unsigned> lastFrames{0};
std::atomic<bool> inputWasSilent{true};

void CountingCallback(AudioDevice* device, void* output, const void* input, unsigned frames) {
    lastFrames = frames;
    const float* in = static_cast<const float*>(input);
    for (unsigned i = 0; i < frames * device->capture.channels; ++i) {
        if (in[i] != 0.0f) inputWasSilent = false;
    }
    float* out = static_cast<float*>(output);
    for (unsigned i = 0; i < frames * device->playback.channels; ++i) out[i] = 2.0f;
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 300; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class SdlDriver : public ::testing::Test {
protected:
    void Use(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        ASSERT_EQ(audio_context_init(&context), 0) << SDL_GetError();
        ASSERT_EQ(audio_context_get_devices(&context, &playback, &playbackCount, &capture,
                                            &captureCount), 0);
        ASSERT_GE(playbackCount, 1u);
        ASSERT_GE(captureCount, 1u);
    }
    AudioDeviceConfig Config(uint32_t captureChannels, uint32_t playbackChannels) {
        AudioDeviceConfig config = audio_device_config_init_duplex();
        config.capture.pDeviceID = &capture[0];
        config.capture.channels = captureChannels;
        config.playback.pDeviceID = &playback[0];
        config.playback.channels = playbackChannels;
        config.dataCallback = CountingCallback;
        return config;
    }
    void TearDown() override {
        audio_device_uninit(&device);
        audio_context_uninit(&context);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "the context held SDL's audio once";
    }
    AudioContext context;
    AudioDevice device;
    AudioDeviceInfo* playback = nullptr;
    AudioDeviceInfo* capture = nullptr;
    uint32_t playbackCount = 0;
    uint32_t captureCount = 0;
};

}  // namespace

TEST_F(SdlDriver, DummyDuplexRunsTheCallbackOncePerPeriodUntilClosed) {
    Use("dummy");
    const AudioDeviceConfig config = Config(2, 2);
    ASSERT_EQ(audio_device_init(&context, &config, &device), 0) << SDL_GetError();
    EXPECT_EQ(device.capture.channels, 2u);
    EXPECT_EQ(device.playback.channels, 2u);
    EXPECT_GT(device.capture.internalSampleRate, 0u);
    EXPECT_EQ(device.periodFrames, device.capture.internalSampleRate / 100);
    EXPECT_EQ(audio_device_start(&device), 0);

    ASSERT_TRUE(WaitFor([&] { return device.callbacks.load() >= 5; }));
    EXPECT_EQ(lastFrames.load(), device.periodFrames);
    EXPECT_TRUE(inputWasSilent.load()) << "the dummy microphone is silent";
    // The dummy driver's timer threads jitter by whole periods; what waits stays bounded.
    EXPECT_LE(audio_device_ring_fill(&device), 6 * device.periodFrames);

    audio_device_uninit(&device);
    EXPECT_EQ(device.duplex, nullptr);
    const uint64_t calls = device.callbacks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(device.callbacks.load(), calls) << "no callback after the device is closed";
    audio_device_uninit(&device);
}

TEST_F(SdlDriver, DummyDuplexConvertsBetweenChannelCountsAndReopens) {
    Use("dummy");
    AudioDeviceConfig config = Config(1, 2);
    config.sampleRate = 44100;
    ASSERT_EQ(audio_device_init(&context, &config, &device), 0);
    EXPECT_EQ(device.capture.internalSampleRate, 44100u);
    EXPECT_EQ(device.periodFrames, 441u);
    audio_device_start(&device);
    ASSERT_TRUE(WaitFor([&] { return device.callbacks.load() >= 2; }));

    // Opening again over an open device closes the old one first.
    config = Config(2, 1);
    ASSERT_EQ(audio_device_init(&context, &config, &device), 0);
    EXPECT_EQ(device.callbacks.load(), 0u);
    audio_device_start(&device);
    ASSERT_TRUE(WaitFor([&] { return device.callbacks.load() >= 2; }));
}

TEST_F(SdlDriver, RefusesChannelCountsOtherThanOneOrTwo) {
    Use("dummy");
    AudioDeviceConfig config = Config(3, 3);
    EXPECT_EQ(audio_device_init(&context, &config, &device), kAudioInvalidArgs);
    config = Config(0, 1);
    EXPECT_EQ(audio_device_init(&context, &config, &device), kAudioInvalidArgs);
    EXPECT_EQ(device.duplex, nullptr);
}

TEST_F(SdlDriver, AFailedOpenLeavesNothingOpen) {
    // The disk driver reads its microphone from a file; with none there, capture cannot open.
    const TempDir dir;
    setenv("SDL_DISKAUDIOFILEIN", (dir / "missing.raw").c_str(), 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
    Use("disk");
    const AudioDeviceConfig config = Config(1, 1);
    EXPECT_EQ(audio_device_init(&context, &config, &device), kAudioDeviceOpenFailed);
    EXPECT_EQ(device.duplex, nullptr);
    EXPECT_NE(audio_device_start(&device), 0);
    audio_device_uninit(&device);
}

TEST(SdlContext, CreatingTwiceStillReleasesOnce) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    AudioContext context;
    ASSERT_EQ(audio_context_init(&context), 0);
    ASSERT_EQ(audio_context_init(&context), 0);
    EXPECT_TRUE(context.initialized);
    audio_context_uninit(&context);
    EXPECT_FALSE(context.initialized);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    audio_context_uninit(&context);
}

TEST(SdlContext, FailsWhenNoSoundSystemAnswers) {
    // PulseAudio with a server address that leads nowhere.
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/moravel/native", 1);
    AudioContext context;
    EXPECT_EQ(audio_context_init(&context), kAudioNoBackend);
    EXPECT_FALSE(context.initialized);
    audio_context_uninit(&context);
}
