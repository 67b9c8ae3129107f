// After its first block the processing callback allocates nothing, whatever stage is on.
// The pitch processors grow their internal buffers while their first blocks flow, so each
// setting is warmed up before its blocks are counted; the warm-up figures are printed.
// SoundTouch itself allocates whenever a pitch changes (it redesigns its anti-alias filter and
// its queues may grow), which the sweeping and stepping effects do by design: allocations made
// inside SoundTouch are counted apart, printed, and allowed for those settings only.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "allocation_counter.h"
#include "support/ProgramState.h"
#include "audio/layer/AudioLayer.h"
#include "audio/setup/AudioSetup.h"
#include "audio/bridge/DuplexBridge.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "support/ProgramState.h"

namespace {

constexpr int kWarmUpBlocks = 200;
constexpr int kCountedFrames = 1500 * 480;  // 15 s at 48 kHz, whatever the block size

struct Setting {
    const char* name;
    std::function<void()> apply;
    bool changesPitch = false;  // Mutation and Atari set a new pitch as they go
};

std::vector<Setting> EverySetting() {
    std::vector<Setting> settings = {{"neutral", [] {}}};
    for (int id = 4; id <= 17; ++id) {
        settings.push_back({"voice effect",
                            [id] {
                                SS_VavorOzodediEffect = static_cast<int8_t>(id);
                                SS_Manual_Pitch = -7.5f;
                            },
                            id >= 10 && id <= 13});
    }
    for (int id = 1; id <= 4; ++id) {
        settings.push_back({"sound effect", [id] { SS_EffectType = id; }});
    }
    settings.push_back({"bass and treble", [] {
                            gl_bass = 6.0f;
                            gl_treble = -3.0f;
                        }});
    settings.push_back({"noise removal", [] { SS_EnableNoiseRemoval = true; }});
    settings.push_back({"mix", [] { overlapOriginalVoice = true; }});
    settings.push_back({"gate", [] { SS_Microphone_Sensivity = 0.099f; }});
    settings.push_back({"chain", [] {
                            SS_VavorOzodediEffect = 20;
                            SS_ChainEffect_1 = 10;
                            SS_ChainEffect_2 = 9;
                            SS_ChainEffect_3 = 13;
                            SS_ChainEffect_4 = 15;
                        },
                        true});
    settings.push_back({"everything", [] {
                            SS_VavorOzodediEffect = 20;
                            SS_ChainEffect_1 = 12;
                            SS_ChainEffect_2 = 4;
                            SS_ChainEffect_3 = 14;
                            SS_ChainEffect_4 = 16;
                            SS_Manual_Pitch = 3.0f;
                            SS_EffectType = 4;
                            gl_bass = 6.0f;
                            gl_treble = -3.0f;
                            SS_EnableNoiseRemoval = true;
                            overlapOriginalVoice = true;
                            SS_Microphone_Sensivity = 0.02f;
                        },
                        true});
    return settings;
}

// Speech-like level changes, so the gate opens and closes and the pitch processors work.
void FillBlock(std::vector<float>& block, uint64_t& phase, unsigned channels) {
    for (size_t i = 0; i < block.size(); i += channels, ++phase) {
        const float envelope = (phase / 24000) % 2 == 0 ? 0.5f : 0.01f;
        const float value = envelope * std::sin(0.0287f * static_cast<float>(phase % 100000));
        for (unsigned c = 0; c < channels; ++c) block[i + c] = value;
    }
}

void ExpectNoAllocationsAfterWarmUp(uint32_t channels, unsigned frames) {
    ResetProcessingState();  // the processing state starts as at a live set-up
    NeutralProcessing();
    gl_bass = 6.0f;  // the filters take their gains at the first block
    gl_treble = -3.0f;
    AudioDevice device;
    audio_device_init_offline(&device, channels, channels, 48000, data_callback);
    std::vector<float> input(static_cast<size_t>(channels) * frames);
    std::vector<float> output(input.size());
    uint64_t phase = 0;
    FillBlock(input, phase, channels);
    audio_device_run_callback(&device, output.data(), input.data(), frames);

    for (const Setting& setting : EverySetting()) {
        NeutralProcessing();
        setting.apply();
        const std::string name = std::string(setting.name) + " (voice " +
                                 std::to_string(SS_VavorOzodediEffect.load()) + ", sound " +
                                 std::to_string(SS_EffectType.load()) + ")";
        int lastAllocatingBlock = -1;
        uint64_t warmUpAllocations = 0;
        for (int block = 0; block < kWarmUpBlocks; ++block) {
            FillBlock(input, phase, channels);
            StartCountingAllocations();
            audio_device_run_callback(&device, output.data(), input.data(), frames);
            const AllocationCount count = StopCountingAllocations();
            if (count.other + count.insideSoundTouch > 0) lastAllocatingBlock = block;
            warmUpAllocations += count.other + count.insideSoundTouch;
        }
        if (warmUpAllocations > 0) {
            std::printf("warm-up, %u ch, %u frames, %s: %llu allocations, last in block %d\n",
                        channels, frames, name.c_str(),
                        static_cast<unsigned long long>(warmUpAllocations), lastAllocatingBlock);
        }

        const int countedBlocks = static_cast<int>(kCountedFrames / frames);
        AllocationCount total;
        for (int block = 0; block < countedBlocks; ++block) {
            FillBlock(input, phase, channels);
            StartCountingAllocations();
            audio_device_run_callback(&device, output.data(), input.data(), frames);
            const AllocationCount count = StopCountingAllocations();
            total.other += count.other;
            total.insideSoundTouch += count.insideSoundTouch;
        }
        EXPECT_EQ(total.other, 0u) << name;
        if (setting.changesPitch) {
            std::printf("%u ch, %u frames, %s: %llu allocations inside SoundTouch in %d blocks\n",
                        channels, frames, name.c_str(),
                        static_cast<unsigned long long>(total.insideSoundTouch), countedBlocks);
        } else {
            EXPECT_EQ(total.insideSoundTouch, 0u) << name;
        }
    }
}

}  // namespace

TEST(CallbackRealtime, MonoBlocksOf480FramesAllocateNothing) { ExpectNoAllocationsAfterWarmUp(1, 480); }
TEST(CallbackRealtime, StereoBlocksOf480FramesAllocateNothing) { ExpectNoAllocationsAfterWarmUp(2, 480); }
TEST(CallbackRealtime, MonoBlocksOf441FramesAllocateNothing) { ExpectNoAllocationsAfterWarmUp(1, 441); }
TEST(CallbackRealtime, StereoLargestPeriodAllocatesNothing) {
    ExpectNoAllocationsAfterWarmUp(2, kMaxPeriodFrames);
}

TEST(CallbackRealtime, TheCounterSeesAllocations) {
    static std::vector<float>* volatile probe;  // volatile: the pair cannot be optimised away
    StartCountingAllocations();
    probe = new std::vector<float>(10);
    delete probe;
    EXPECT_GE(StopCountingAllocations().other, 2u);

    soundtouch::SoundTouch processor;
    processor.setPitchSemiTones(3.0);
    StartCountingAllocations();
    processor.setPitchSemiTones(4.0);
    EXPECT_GT(StopCountingAllocations().insideSoundTouch, 0u) << "a pitch change is recognised";
}

// The live path around the callback: chunks into the bridge on one side, the resampler at a
// changing ratio and the callback on the other, with the clocks 300 ppm apart.
TEST(CallbackRealtime, TheDuplexBridgeAllocatesNothingOnEitherSide) {
    ResetProcessingState();
    NeutralProcessing();
    SS_VavorOzodediEffect = 8;
    AudioDevice device;
    audio_device_init_offline(&device, 1, 1, 48000, data_callback);
    DuplexBridge::Layout layout;
    layout.spareFrames = 200;
    DuplexBridge bridge(
        layout, device.counters,
        [](void* user, float* output, float* input, uint32_t frames) {
            audio_device_run_callback(static_cast<AudioDevice*>(user), output, input, frames);
        },
        &device);
    std::vector<float> chunk(120);
    std::vector<float> out(256);
    uint64_t phase = 0;
    double captured = 0.0;
    double played = 0.0;
    AllocationCount total;
    for (int step = 0; step < 20000; ++step) {
        const bool counting = step > 4000;  // the pitch processors grow their queues first
        if (counting) StartCountingAllocations();
        while (captured <= played + 0.002) {
            FillBlock(chunk, phase, 1);
            bridge.capture(chunk.data(), 120, static_cast<uint64_t>(captured * 1e9));
            captured += 120.0 / (48000.0 * 1.0003);
        }
        bridge.render(out.data(), 256, static_cast<uint64_t>(played * 1e9));
        played += 256.0 / 48000.0;
        if (counting) {
            const AllocationCount count = StopCountingAllocations();
            total.other += count.other;
            total.insideSoundTouch += count.insideSoundTouch;
        }
    }
    EXPECT_EQ(total.other, 0u);
    EXPECT_EQ(total.insideSoundTouch, 0u);
    EXPECT_EQ(device.counters.underruns.load(), 0u);
    EXPECT_NE(device.counters.lowestRatioPpm.load(), device.counters.highestRatioPpm.load())
        << "the ratio moved while allocations were counted";
}
