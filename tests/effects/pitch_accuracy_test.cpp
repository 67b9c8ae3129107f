#include <gtest/gtest.h>

#include <sndfile.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/ProcessingCallback.h"
#include "effects_fixture.h"

namespace {

constexpr double kRate = 48000.0;
constexpr size_t kFftSize = 16384;

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Frequency of the loudest component of `kFftSize` samples from `start`: Hann window, loudest
// bin, parabolic interpolation of the log magnitudes around it.
double DominantFrequency(const std::vector<float>& signal, size_t start) {
    std::vector<std::complex<double>> bins(kFftSize);
    for (size_t i = 0; i < kFftSize; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (kFftSize - 1));
        bins[i] = signal[start + i] * window;
    }
    Fft(bins);
    size_t peak = 1;
    for (size_t k = 1; k < kFftSize / 2 - 1; ++k) {
        if (std::abs(bins[k]) > std::abs(bins[peak])) peak = k;
    }
    const double a = std::log(std::abs(bins[peak - 1]));
    const double b = std::log(std::abs(bins[peak]));
    const double c = std::log(std::abs(bins[peak + 1]));
    const double offset = 0.5 * (a - c) / (a - 2.0 * b + c);
    return (static_cast<double>(peak) + offset) * kRate / static_cast<double>(kFftSize);
}

std::vector<float> Tone(double hz, double seconds) {
    std::vector<float> tone(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < tone.size(); ++i) {
        tone[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * hz * i / kRate));
    }
    return tone;
}

struct PitchCase {
    const char* name;
    int voiceEffect;
    float manualPitch;
    double inputHz;
    double expectedHz;
};

const PitchCase kCases[] = {
    {"Baby", 8, 0.0f, 220.0, 440.0},
    {"Male", 5, 0.0f, 440.0, 440.0 * std::pow(2.0, -3.0 / 12.0)},
    {"Custom", 14, 7.0f, 300.0, 300.0 * 1.498307},
};

class PitchThroughCallback : public effects_test::Processing,
                             public ::testing::WithParamInterface<PitchCase> {};

TEST_P(PitchThroughCallback, ShiftsATone) {
    const PitchCase& c = GetParam();
    effects_test::SetNeutralSettings();
    effects_test::ConfigurePitchProcessors();
    SS_VavorOzodediEffect = static_cast<int8_t>(c.voiceEffect);
    SS_Manual_Pitch = c.manualPitch;
    AudioDevice device;
    audio_device_init_offline(&device, 1, 1, 48000, data_callback);
    const std::vector<float> tone = Tone(c.inputHz, 1.5);
    std::vector<float> heard(tone.size());
    for (size_t start = 0; start + 480 <= tone.size(); start += 480) {
        audio_device_run_callback(&device, heard.data() + start, tone.data() + start, 480);
    }
    // After half a second the processor has passed its start-up.
    const double hz = DominantFrequency(heard, 24000);
    EXPECT_NEAR(hz / c.expectedHz, 1.0, 0.01) << c.name << ": " << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Presets, PitchThroughCallback, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                             return std::string(info.param.name);
                         });

std::vector<float> ReadMono(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return info.channels == 1 ? samples : std::vector<float>{};
}

class PitchThroughRenderer : public ::testing::TestWithParam<PitchCase> {};

TEST_P(PitchThroughRenderer, ShiftsASoxTone) {
    const PitchCase& c = GetParam();
    const std::string renderer = std::string(MORAVEL_BINARY_DIR) + "/mvconsole-render";
    if (access(renderer.c_str(), X_OK) != 0) GTEST_SKIP() << renderer << " is not built";
    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is missing";

    char pattern[] = "/tmp/moravel-pitch-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    const std::string in = std::string(dir) + "/tone.wav";
    const std::string out = std::string(dir) + "/shifted.wav";
    const std::string synth = "sox -n -r 48000 -c 1 -e floating-point -b 32 " + in +
                              " synth 1.5 sine " + std::to_string(c.inputHz) + " vol 0.5";
    ASSERT_EQ(std::system(synth.c_str()), 0);
    const std::string render = renderer + " --set VOICE_EFFECT=" +
                               std::to_string(c.voiceEffect) + " --set MANUAL_PITCH=" +
                               std::to_string(static_cast<int>(c.manualPitch * 100.0f)) + " " +
                               in + " " + out + " 2>/dev/null";
    ASSERT_EQ(std::system(render.c_str()), 0);
    const std::vector<float> heard = ReadMono(out);
    std::remove(in.c_str());
    std::remove(out.c_str());
    rmdir(dir);
    ASSERT_GE(heard.size(), 24000 + kFftSize);
    const double hz = DominantFrequency(heard, 24000);
    std::printf("%s: %.1f Hz -> %.2f Hz (expected %.2f)\n", c.name, c.inputHz, hz, c.expectedHz);
    EXPECT_NEAR(hz / c.expectedHz, 1.0, 0.01) << c.name << ": " << hz << " Hz";
}

INSTANTIATE_TEST_SUITE_P(Presets, PitchThroughRenderer, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
