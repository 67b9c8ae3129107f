// One thread changes every user setting as fast as it can while another runs the processing
// callback on an offline device, as a menu and the audio thread do. Meant to run under
// ThreadSanitizer too: the settings are the only state the two threads share.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "support/ProgramState.h"
#include "audio/layer/AudioLayer.h"
#include "audio/setup/AudioSetup.h"
#include "audio/pipeline/ProcessingCallback.h"

namespace {

constexpr int kBlocks = 1500;

// Every setting to a value taken from `step`, including ids outside the menus' range.
void ChangeEverySetting(uint32_t step) {
    SS_MORAVEL_ACTIVE = step % 17 != 0;
    SS_VavorOzodediEffect = static_cast<int8_t>(static_cast<int>(step % 24) - 2);
    SS_EffectType = static_cast<int32_t>(step % 7) - 1;
    SS_Manual_Pitch = -15.0f + static_cast<float>(step % 901) * 0.05f;
    SS_Microphone_Sensivity = static_cast<float>(step % 100) / 1000.0f;
    gl_bass = -30.0f + static_cast<float>(step % 121) * 0.5f;
    gl_treble = 30.0f - static_cast<float>(step % 121) * 0.5f;
    overlapOriginalVoice = step % 3 == 0;
    SS_EnableNoiseRemoval = step % 5 < 2;
    SS_ChainEffect_1 = static_cast<int8_t>(step % 19);
    SS_ChainEffect_2 = static_cast<int8_t>((step / 3) % 21);
    SS_ChainEffect_3 = static_cast<int8_t>(-static_cast<int>(step % 4));
    SS_ChainEffect_4 = static_cast<int8_t>((step / 7) % 18);
}

void RunWhileSettingsChange(uint32_t channels) {
    ResetPitchEffects();  // the pitch processors' start configuration
    gl_soundTouchInitialized = false;

    AudioDevice device;
    audio_device_init_offline(&device, channels, channels, 48000, data_callback);
    std::atomic<bool> done{false};
    std::atomic<uint64_t> changes{0};
    std::thread menu([&] {
        for (uint32_t step = 1; !done.load(std::memory_order_relaxed); ++step) {
            ChangeEverySetting(step);
            changes.fetch_add(1, std::memory_order_relaxed);
        }
    });

    bool allPlayable = true;
    std::thread audio([&] {
        while (changes.load(std::memory_order_relaxed) == 0) std::this_thread::yield();
        const unsigned frames = device.periodFrames;
        std::vector<float> input(static_cast<size_t>(channels) * frames);
        std::vector<float> output(input.size());
        uint64_t t = 0;
        for (int block = 0; block < kBlocks; ++block) {
            for (size_t i = 0; i < input.size(); i += channels, ++t) {
                const float level = (t / 9600) % 2 == 0 ? 0.6f : 0.005f;
                for (uint32_t c = 0; c < channels; ++c) {
                    input[i + c] = level * std::sin(0.031f * static_cast<float>(t % 50000 + c));
                }
            }
            audio_device_run_callback(&device, output.data(), input.data(), frames);
            for (float s : output) allPlayable &= s >= -1.0f && s <= 1.0f;
        }
        done.store(true, std::memory_order_relaxed);
    });
    audio.join();
    menu.join();

    EXPECT_TRUE(allPlayable);
    EXPECT_EQ(device.callbacks.load(), static_cast<uint64_t>(kBlocks));
    EXPECT_GT(changes.load(), 0u);
}

}  // namespace

TEST(SettingsRace, MonoCallbackRunsWhileEverySettingChanges) { RunWhileSettingsChange(1); }
TEST(SettingsRace, StereoCallbackRunsWhileEverySettingChanges) { RunWhileSettingsChange(2); }
