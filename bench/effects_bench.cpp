// Cost of every voice effect, sound effect, the bass/treble filter and noise removal per
// 480-frame block at 48 kHz (the live period), mono and stereo. "x_realtime" is how many times
// faster than the audio plays. Pitch effects also run raw SoundTouch with the same calls on the
// same data, and a closing table gives the ratio of the effect's cost to the raw processor's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/ProgramState.h"
#include "effects/BassTrebleStage.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/ProcessingState.h"
#include "effects/SoundEffects.h"
#include "effects/VoiceEffects.h"

namespace {

constexpr unsigned kFrames = 480;
constexpr uint32_t kRate = 48000;
constexpr double kBlockSeconds = 0.010;

// A fresh set-up for `channels` at 48 kHz, with every stage off.
void SetUp(uint32_t channels) {
    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
    SS_Manual_Pitch = 7.0f;
    gl_bass = 6.0f;
    gl_treble = -6.0f;
    ResetPitchEffects();
    InitializeProcessingState(channels, kRate);
}

// A voice-like block: two harmonics and a little noise.
std::vector<float> Voice(uint32_t channels, unsigned block) {
    std::vector<float> v(static_cast<size_t>(channels) * kFrames);
    uint32_t seed = 12345u + block;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(block * kFrames + i / channels) / kRate;
        seed = seed * 1664525u + 1013904223u;
        v[i] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 180.0 * t) +
                                  0.1 * std::sin(2.0 * M_PI * 540.0 * t) +
                                  0.02 * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0));
    }
    return v;
}

// A few different blocks, so the pitch processors see a changing signal.
std::vector<std::vector<float>> VoiceBlocks(uint32_t channels) {
    std::vector<std::vector<float>> blocks;
    for (unsigned b = 0; b < 16; ++b) blocks.push_back(Voice(channels, b));
    return blocks;
}

void SetRealtimeCounter(benchmark::State& state) {
    state.counters["x_realtime"] = benchmark::Counter(
        kBlockSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_VoiceEffect(benchmark::State& state) {
    const int id = static_cast<int>(state.range(0));
    const uint32_t channels = static_cast<uint32_t>(state.range(1));
    SetUp(channels);
    SS_VavorOzodediEffect = static_cast<int8_t>(id);
    const auto blocks = VoiceBlocks(channels);
    std::vector<float> input(blocks[0].size());
    std::vector<float> output(input.size());
    size_t b = 0;
    for (auto _ : state) {
        input = blocks[b++ % blocks.size()];
        StageBlock block = MakeStageBlock(input.data(), output.data(), kFrames, channels);
        VoiceEffectStage(block);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    SetRealtimeCounter(state);
}
BENCHMARK(BM_VoiceEffect)
    ->ArgNames({"id", "channels"})
    ->ArgsProduct({benchmark::CreateDenseRange(4, 17, 1), {1, 2}})
    ->Unit(benchmark::kNanosecond);

// The per-block pitch of a pitch effect, as the effect would hand it to the processor.
double RawPitch(int id, float& value, float& offset, int32_t& held) {
    switch (id) {
        case 5: return -3.0;
        case 6: return 4.0;
        case 7: return 8.0;
        case 8: return 12.0;
        case 10: return MutationPitchStep(value, offset, 0.1f);
        case 11: return MutationPitchStep(value, offset, 0.01f);
        case 12: return MutationPitchStep(value, offset, 0.3f);
        case 13: return AtariPitchStep(value, offset, held);
        default: return 7.0;  // Custom Pitch as the benchmark sets it
    }
}

// SoundTouch alone with the calls a pitch effect makes: the pitch, the block in, the result out.
void BM_RawSoundTouch(benchmark::State& state) {
    const int id = static_cast<int>(state.range(0));
    const uint32_t channels = static_cast<uint32_t>(state.range(1));
    soundtouch::SoundTouch processor;
    ConfigurePitchProcessor(processor);
    processor.setChannels(channels);
    const auto blocks = VoiceBlocks(channels);
    std::vector<float> input(blocks[0].size());
    std::vector<float> output(input.size());
    float value = 0.0f;
    float offset = 0.1f;
    int32_t held = 6;
    size_t b = 0;
    for (auto _ : state) {
        input = blocks[b++ % blocks.size()];
        processor.setPitchSemiTones(RawPitch(id, value, offset, held));
        processor.putSamples(input.data(), kFrames);
        benchmark::DoNotOptimize(processor.receiveSamples(output.data(), kFrames));
        benchmark::ClobberMemory();
    }
    SetRealtimeCounter(state);
}
BENCHMARK(BM_RawSoundTouch)
    ->ArgNames({"id", "channels"})
    ->ArgsProduct({{5, 6, 7, 8, 10, 11, 12, 13, 14}, {1, 2}})
    ->Unit(benchmark::kNanosecond);

void BM_SoundEffect(benchmark::State& state) {
    const int id = static_cast<int>(state.range(0));
    const uint32_t channels = static_cast<uint32_t>(state.range(1));
    SetUp(channels);
    SS_EffectType = id;
    const std::vector<float> voice = Voice(channels, 0);
    std::vector<float> input(voice.size());
    std::vector<float> output(voice.size());
    for (auto _ : state) {
        input = voice;
        StageBlock block = MakeStageBlock(input.data(), output.data(), kFrames, channels);
        SoundEffectStage(block);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    SetRealtimeCounter(state);
}
BENCHMARK(BM_SoundEffect)
    ->ArgNames({"id", "channels"})
    ->ArgsProduct({{1, 2, 3, 4}, {1, 2}})
    ->Unit(benchmark::kNanosecond);

// The bass/treble stage as the callback runs it: each channel through its own filter.
void BM_BassTreble(benchmark::State& state) {
    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    SetUp(channels);
    std::vector<float> block = Voice(channels, 0);
    StageBlock stage = MakeStageBlock(block.data(), block.data(), kFrames, channels);
    for (auto _ : state) {
        BassTrebleStage(stage);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    SetRealtimeCounter(state);
}
BENCHMARK(BM_BassTreble)->ArgNames({"channels"})->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);

void BM_Denoise(benchmark::State& state) {
    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    SetUp(channels);
    const auto blocks = VoiceBlocks(channels);
    std::vector<float> block(blocks[0].size());
    size_t b = 0;
    for (auto _ : state) {
        block = blocks[b++ % blocks.size()];
        StageBlock stage = MakeStageBlock(block.data(), nullptr, kFrames, channels);
        NoiseRemovalStage(stage);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    SetRealtimeCounter(state);
}
BENCHMARK(BM_Denoise)->ArgNames({"channels"})->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);

// Keeps each benchmark's CPU time per block (the least over repetitions, which other load on
// the machine disturbs least) so the pitch effects can be set against raw SoundTouch.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const std::string name = run.run_name.str();
            const double cpu = run.GetAdjustedCPUTime();
            const auto known = times_.find(name);
            if (known == times_.end() || cpu < known->second) times_[name] = cpu;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const {
        std::printf("\nPitch effects against raw SoundTouch (CPU ns per 480-frame block)\n");
        std::printf("%-4s %-8s %12s %12s %8s\n", "id", "channels", "effect", "raw", "ratio");
        struct Row {
            int id, channels;
            double ours, raw;
        };
        std::vector<Row> rows;
        const std::string prefix = "BM_RawSoundTouch/";
        for (const auto& [name, raw] : times_) {
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const std::string args = name.substr(prefix.size());
            const auto ours = times_.find("BM_VoiceEffect/" + args);
            if (ours == times_.end()) continue;
            Row row{0, 0, ours->second, raw};
            std::sscanf(args.c_str(), "id:%d/channels:%d", &row.id, &row.channels);
            rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return a.channels != b.channels ? a.channels < b.channels : a.id < b.id;
        });
        for (const Row& r : rows) {
            std::printf("%-4d %-8d %12.0f %12.0f %8.3f\n", r.id, r.channels, r.ours, r.raw,
                        r.ours / r.raw);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
