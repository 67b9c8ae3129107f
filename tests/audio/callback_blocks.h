#pragma once
// Hand-made blocks and an offline device for driving the processing callback in tests.
#include <cstdint>
#include <vector>

#include "support/ProgramState.h"
#include "audio/layer/AudioLayer.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "support/FreshProgramState.h"
#include "support/Signals.h"

namespace callback_test {

inline std::vector<float> Constant(size_t samples, float value) {
    return std::vector<float>(samples, value);
}

// An offline device whose blocks go straight to data_callback with a cleared output block,
// as the live layer hands them over.
struct OfflineDevice {
    AudioDevice device;

    OfflineDevice(uint32_t captureChannels, uint32_t playbackChannels, uint32_t sampleRate) {
        audio_device_init_offline(&device, captureChannels, playbackChannels, sampleRate,
                                  data_callback);
    }

    std::vector<float> Run(const std::vector<float>& input) {
        const unsigned frames = static_cast<unsigned>(input.size() / device.capture.channels);
        std::vector<float> output(static_cast<size_t>(device.playback.channels) * frames, 0.0f);
        data_callback(&device, output.data(), input.data(), frames);
        return output;
    }
};

}  // namespace callback_test
