// The parts of the audio layer that need no sound server: one period as the device runs it,
// the offline device, the channel converter and device names.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "audio/layer/AudioLayer.h"

namespace {

// What the callback saw, so a test can look at it after the call.
struct Seen {
    std::vector<float> outputOnEntry;
    const void* input = nullptr;
    unsigned frames = 0;
    AudioDevice* device = nullptr;
};
Seen seen;
std::vector<float> toWrite;

void RecordingCallback(AudioDevice* device, void* output, const void* input, unsigned frames) {
    float* out = static_cast<float*>(output);
    const size_t samples = static_cast<size_t>(device->playback.channels) * frames;
    seen.outputOnEntry.assign(out, out + samples);
    seen.input = input;
    seen.frames = frames;
    seen.device = device;
    for (size_t i = 0; i < samples && i < toWrite.size(); ++i) out[i] = toWrite[i];
}

std::vector<float> Convert(uint32_t in, uint32_t out, const std::vector<float>& input) {
    ChannelConverter converter;
    EXPECT_EQ(channel_converter_init(SampleFormat::f32, in, out, &converter), 0);
    const size_t frames = input.size() / in;
    std::vector<float> output(frames * out, -9.0f);
    EXPECT_EQ(channel_converter_process_pcm_frames(&converter, output.data(), input.data(), frames), 0);
    channel_converter_uninit(&converter);
    return output;
}

}  // namespace

TEST(RunCallback, ClearsTheOutputThenClipsEveryPlayedSample) {
    AudioDevice device;
    audio_device_init_offline(&device, 1, 2, 48000, RecordingCallback);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    toWrite = {0.5f, 1.5f, -2.0f, nan, inf, -inf, 1.0f, -1.0f};
    std::vector<float> input(4, 0.25f);
    std::vector<float> output(8 + 2, 3.0f);  // two samples past the block must stay untouched

    audio_device_run_callback(&device, output.data(), input.data(), 4);

    EXPECT_EQ(seen.outputOnEntry, std::vector<float>(8, 0.0f));
    EXPECT_EQ(seen.input, input.data());
    EXPECT_EQ(seen.frames, 4u);
    EXPECT_EQ(seen.device, &device);
    EXPECT_EQ(output, (std::vector<float>{0.5f, 1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 1.0f, -1.0f, 3.0f, 3.0f}));
    EXPECT_EQ(device.callbacks.load(), 1u);
}

TEST(RunCallback, WithoutACallbackPlaysSilence) {
    AudioDevice device;
    audio_device_init_offline(&device, 2, 2, 44100, nullptr);
    std::vector<float> input(20, 0.5f);
    std::vector<float> output(20, 0.7f);
    audio_device_run_callback(&device, output.data(), input.data(), 10);
    EXPECT_EQ(output, std::vector<float>(20, 0.0f));
}

TEST(OfflineDevice, ExposesWhatTheCallbackReadsAndNeedsNoSdl) {
    AudioDevice device;
    device.counters.underruns = 5;
    audio_device_init_offline(&device, 2, 1, 44100, RecordingCallback);
    EXPECT_EQ(device.capture.channels, 2u);
    EXPECT_EQ(device.capture.format, SampleFormat::f32);
    EXPECT_EQ(device.capture.internalSampleRate, 44100u);
    EXPECT_EQ(device.playback.channels, 1u);
    EXPECT_EQ(device.playback.format, SampleFormat::f32);
    EXPECT_EQ(device.periodFrames, 441u);
    EXPECT_EQ(device.dataCallback, &RecordingCallback);
    EXPECT_EQ(device.counters.underruns.load(), 0u);
    EXPECT_EQ(device.duplex, nullptr);
    EXPECT_EQ(audio_device_ring_fill(&device), 0u);
    EXPECT_NE(audio_device_start(&device), 0) << "there is nothing to start";
    audio_device_uninit(&device);  // harmless, and twice too
    audio_device_uninit(&device);
}

TEST(ChannelConverter, MonoToStereoDuplicatesAndStereoToMonoAverages) {
    EXPECT_EQ(Convert(1, 2, {0.5f, -0.25f}), (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f}));
    EXPECT_EQ(Convert(2, 1, {0.5f, 0.25f, -1.0f, 1.0f}), (std::vector<float>{0.375f, 0.0f}));
    EXPECT_EQ(Convert(2, 2, {0.1f, 0.2f}), (std::vector<float>{0.1f, 0.2f}));
}

TEST(ChannelConverter, OtherCountsMapChannelByChannel) {
    // Shared channels pass, extra outputs are silent, extra inputs are left out.
    EXPECT_EQ(Convert(2, 4, {0.1f, 0.2f}), (std::vector<float>{0.1f, 0.2f, 0.0f, 0.0f}));
    EXPECT_EQ(Convert(3, 2, {0.1f, 0.2f, 0.3f}), (std::vector<float>{0.1f, 0.2f}));
    EXPECT_EQ(Convert(1, 3, {0.4f}), (std::vector<float>{0.4f, 0.4f, 0.4f}));
    EXPECT_EQ(Convert(4, 1, {0.1f, 0.2f, 0.3f, 0.4f}), (std::vector<float>{0.25f}));
}

TEST(ChannelConverter, ConvertsInPlaceWhenTheBlockGrowsOrShrinks) {
    ChannelConverter up;
    ASSERT_EQ(channel_converter_init(SampleFormat::f32, 1, 2, &up), 0);
    std::vector<float> block = {0.1f, 0.2f, 0.3f, 0.0f, 0.0f, 0.0f};
    ASSERT_EQ(channel_converter_process_pcm_frames(&up, block.data(), block.data(), 3), 0);
    EXPECT_EQ(block, (std::vector<float>{0.1f, 0.1f, 0.2f, 0.2f, 0.3f, 0.3f}));

    ChannelConverter down;
    ASSERT_EQ(channel_converter_init(SampleFormat::f32, 2, 1, &down), 0);
    ASSERT_EQ(channel_converter_process_pcm_frames(&down, block.data(), block.data(), 3), 0);
    EXPECT_FLOAT_EQ(block[0], 0.1f);
    EXPECT_FLOAT_EQ(block[1], 0.2f);
    EXPECT_FLOAT_EQ(block[2], 0.3f);
    channel_converter_uninit(&up);
    channel_converter_uninit(&down);
}

TEST(ChannelConverter, RefusesWhatItCannotConvert) {
    ChannelConverter converter;
    EXPECT_NE(channel_converter_init(SampleFormat::f32, 0, 2, &converter), 0);
    EXPECT_NE(channel_converter_init(SampleFormat::f32, 2, 9, &converter), 0);
    EXPECT_NE(channel_converter_init(SampleFormat::f32, 1, 2, nullptr), 0);
    float sample = 0.0f;
    EXPECT_NE(channel_converter_process_pcm_frames(&converter, &sample, &sample, 1), 0)
        << "an unset converter converts nothing";
}

TEST(DeviceNames, AreCutTo255BytesWithoutSplittingACharacter) {
    EXPECT_EQ(truncate_device_name("Microphone", 255), "Microphone");
    EXPECT_EQ(truncate_device_name(std::string(300, 'a'), 255), std::string(255, 'a'));
    // "é" is two bytes; one that would straddle the cut is left out whole.
    const std::string name = std::string(254, 'a') + "\xc3\xa9" + "b";
    EXPECT_EQ(truncate_device_name(name, 255), std::string(254, 'a'));
    EXPECT_EQ(truncate_device_name(std::string(253, 'a') + "\xc3\xa9", 255),
              std::string(253, 'a') + "\xc3\xa9");
}

TEST(AudioContext, RefusesDevicesBeforeItIsCreated) {
    AudioContext context;
    AudioDeviceInfo* playback = reinterpret_cast<AudioDeviceInfo*>(1);
    AudioDeviceInfo* capture = reinterpret_cast<AudioDeviceInfo*>(1);
    uint32_t playbackCount = 7;
    uint32_t captureCount = 7;
    EXPECT_NE(audio_context_get_devices(&context, &playback, &playbackCount, &capture, &captureCount), 0);
    EXPECT_EQ(playback, nullptr);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(playbackCount, 0u);
    EXPECT_EQ(captureCount, 0u);
    audio_context_uninit(&context);  // releasing a context never created is harmless
    AudioDeviceConfig config = audio_device_config_init_duplex();
    AudioDevice device;
    EXPECT_EQ(audio_device_init(&context, &config, &device), kAudioInvalidArgs);
}
