#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ProgramState.h"
#include "audio/pipeline/NoiseRemoval.h"
#include "audio/pipeline/NoiseSuppressor.h"
#include "support/SoundFiles.h"
#include "support/TempDir.h"

namespace {

// Speech spoken by espeak-ng at 48 kHz, mono, peak 0.5; empty when the tools are missing.
std::vector<float> SynthesiseSpeech() {
    if (!ToolExists("espeak-ng") || !ToolExists("sox")) return {};
    const TempDir dir;
    const std::string raw = dir / "speech.wav";
    const std::string resampled = dir / "speech48.wav";
    const std::string speak =
        "espeak-ng -v en -s 150 -w " + raw +
        " 'The quick brown fox jumps over the lazy dog. Noise removal keeps the voice clear "
        "while the hiss of the room fades away. Every block is ten milliseconds long.'";
    const std::string convert = "sox " + raw + " -r 48000 -c 1 -e floating-point -b 32 " +
                                resampled + " >/dev/null 2>&1";
    std::vector<float> speech;
    if (std::system(speak.c_str()) == 0 && std::system(convert.c_str()) == 0) {
        speech = ReadMono(resampled);
    }
    float peak = 0.0f;
    for (float s : speech) peak = std::max(peak, std::fabs(s));
    if (peak > 0.0f) {
        for (float& s : speech) s *= 0.5f / peak;
    }
    return speech;
}

// Gaussian white noise from a fixed seed (Box-Muller over a 64-bit LCG).
std::vector<float> WhiteNoise(size_t count, double rms, uint64_t seed) {
    std::vector<float> noise(count);
    uint64_t state = seed;
    auto uniform = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    for (size_t i = 0; i < count; ++i) {
        const double r = std::sqrt(-2.0 * std::log(uniform()));
        noise[i] = static_cast<float>(rms * r * std::cos(6.283185307179586 * uniform()));
    }
    return noise;
}

double Power(const std::vector<float>& v, size_t from) {
    double sum = 0.0;
    for (size_t i = from; i < v.size(); ++i) sum += static_cast<double>(v[i]) * v[i];
    return sum;
}

double SnrDb(const std::vector<float>& clean, const std::vector<float>& heard, size_t from) {
    double error = 0.0;
    for (size_t i = from; i < clean.size(); ++i) {
        const double d = static_cast<double>(heard[i]) - clean[i];
        error += d * d;
    }
    return 10.0 * std::log10(Power(clean, from) / error);
}

TEST(DenoiseQuality, ImprovesSpeechInWhiteNoiseByAtLeastFiveDecibels) {
    std::vector<float> speech = SynthesiseSpeech();
    if (speech.empty()) GTEST_SKIP() << "espeak-ng or sox is not installed: no speech to denoise";
    // Half a second of room noise before the voice, as when a microphone opens.
    speech.insert(speech.begin(), 24000, 0.0f);
    speech.resize(speech.size() - speech.size() % 480, 0.0f);

    const double speechPower = Power(speech, 0) / static_cast<double>(speech.size());
    const std::vector<float> noise = WhiteNoise(speech.size(), std::sqrt(speechPower / 10.0), 42);
    std::vector<float> noisy(speech.size());
    for (size_t i = 0; i < speech.size(); ++i) noisy[i] = speech[i] + noise[i];

    gl_DenoiseState_1 = denoise_create(48000);
    std::vector<float> heard = noisy;
    for (size_t start = 0; start < heard.size(); start += 480) {
        StageBlock block = MakeStageBlock(heard.data() + start, nullptr, 480, 1);
        NoiseRemovalStage(block);
    }
    denoise_destroy(gl_DenoiseState_1);
    gl_DenoiseState_1 = nullptr;

    // The suppressor's overlapping windows delay its output by one frame.
    heard.erase(heard.begin(), heard.begin() + kDenoiseFrameSize);
    heard.resize(speech.size(), 0.0f);
    const size_t from = 24000;  // measured once the suppressor has heard the room
    const double before = SnrDb(speech, noisy, from);
    const double after = SnrDb(speech, heard, from);
    std::printf("denoise: SNR %.2f dB -> %.2f dB (%+.2f dB) over %.1f s of speech\n", before, after,
                after - before, static_cast<double>(speech.size() - from) / 48000.0);
    EXPECT_NEAR(before, 10.0, 0.5);
    EXPECT_GE(after - before, 5.0);
}

}  // namespace
