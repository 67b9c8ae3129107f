// Cost of the processing callback per 480-frame block at 48 kHz (the live period) for the
// neutral path, the gate and the mix, and the renderer's speed on a whole 60-second file.
// "x_realtime" is how many times faster than the audio plays.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RenderCommandLine.h"
#include "audio/layer/AudioLayer.h"
#include "audio/render/OfflineRender.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "support/ProgramState.h"
#include "support/SoundFiles.h"

namespace {

constexpr unsigned kFrames = 480;
constexpr double kBlockSeconds = 0.010;

enum Path { kNeutral, kGate, kMix };

void BM_Callback(benchmark::State& state) {
    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    const Path path = static_cast<Path>(state.range(1));
    NeutralProcessing();
    if (path == kGate) SS_Microphone_Sensivity = 0.05f;
    if (path == kMix) overlapOriginalVoice = true;
    gl_soundTouchInitialized = false;

    AudioDevice device;
    audio_device_init_offline(&device, channels, channels, 48000, data_callback);
    std::vector<float> input(static_cast<size_t>(channels) * kFrames);
    for (size_t i = 0; i < input.size(); ++i) input[i] = 0.04f * std::sin(0.05f * i);
    std::vector<float> output(input.size());
    data_callback(&device, output.data(), input.data(), kFrames);  // first block: set-up

    for (auto _ : state) {
        data_callback(&device, output.data(), input.data(), kFrames);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kBlockSeconds * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Callback)
    ->ArgNames({"channels", "path"})
    ->ArgsProduct({{1, 2}, {kNeutral, kGate, kMix}});

// 60 s of 48 kHz audio through mvconsole-render's whole run: settings, reading, every block
// through the callback, writing a float WAV.
void BM_RenderSixtySeconds(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    const bool babyPitch = state.range(1) != 0;
    char pattern[] = "/tmp/callback_bench_XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string input = (dir / "in.wav").string();
    std::vector<float> data(static_cast<size_t>(channels) * 48000 * 60);
    for (size_t i = 0; i < data.size(); ++i) data[i] = 0.3f * std::sin(0.013f * (i % 96000));
    if (!WriteSound(input, channels, 48000, data)) state.SkipWithError("cannot write the input");
    RenderOptions options;
    std::string error;
    std::vector<std::string> args = {input, (dir / "out.wav").string()};
    if (!babyPitch) args.insert(args.begin(), {"--set", "VOICE_EFFECT=0"});
    ParseRenderArguments(args, options, error);

    double callbackSeconds = 0.0;
    for (auto _ : state) {
        RenderSummary summary;
        if (RenderFile(options, summary, error) != kRenderOk) state.SkipWithError(error.c_str());
        callbackSeconds += summary.processingSeconds;
    }
    state.counters["x_realtime"] = benchmark::Counter(
        60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["callback_x_realtime"] =
        60.0 * static_cast<double>(state.iterations()) / callbackSeconds;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RenderSixtySeconds)
    ->ArgNames({"channels", "baby_pitch"})
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
