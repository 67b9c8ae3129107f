#include <cmath>
#include <cstring>

#include "audio/layer/AudioLayer.h"

void audio_device_init_offline(AudioDevice* device, uint32_t captureChannels,
                               uint32_t playbackChannels, uint32_t sampleRate,
                               AudioDataCallback callback) {
    device->capture.channels = captureChannels;
    device->capture.format = SampleFormat::f32;
    device->capture.internalSampleRate = sampleRate;
    device->playback.channels = playbackChannels;
    device->playback.format = SampleFormat::f32;
    device->periodFrames = sampleRate / 100;
    device->dataCallback = callback;
    device->callbacks.store(0, std::memory_order_relaxed);
    device->counters.reset();
    device->duplex = nullptr;
}

float clip_sample(float sample) {
    if (std::isnan(sample)) return 0.0f;
    if (sample > 1.0f) return 1.0f;
    if (sample < -1.0f) return -1.0f;
    return sample;
}

void audio_device_run_callback(AudioDevice* device, float* output, const float* input,
                               unsigned int frames) {
    const size_t samples = static_cast<size_t>(device->playback.channels) * frames;
    std::memset(output, 0, samples * sizeof(float));
    if (device->dataCallback != nullptr) device->dataCallback(device, output, input, frames);
    for (size_t i = 0; i < samples; ++i) output[i] = clip_sample(output[i]);
    device->callbacks.fetch_add(1, std::memory_order_relaxed);
}
