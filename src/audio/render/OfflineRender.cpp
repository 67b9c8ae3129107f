#include "audio/render/OfflineRender.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "audio/layer/AudioLayer.h"
#include "audio/pipeline/ProcessingCallback.h"
#include "audio/pipeline/ProcessingState.h"

// The offline render: a sound file through the processing callback, block by block.
int OutputFormatFor(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    return 0;
}

namespace {

class SoundFile {
public:
    SoundFile(const std::string& path, int mode, SF_INFO& info)
        : file_(sf_open(path.c_str(), mode, &info)) {}
    ~SoundFile() {
        if (file_ != nullptr) sf_close(file_);
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    SNDFILE* get() const { return file_; }
    // Closes now so that a failed final write is seen; true when all went well.
    bool close() {
        const int result = sf_close(file_);
        file_ = nullptr;
        return result == 0;
    }

private:
    SNDFILE* file_;
};

}  // namespace

unsigned int DefaultBlockFrames(int sampleRate) {
    const int frames = sampleRate / 100;
    return static_cast<unsigned int>(std::clamp(frames, 1, static_cast<int>(kMaxPeriodFrames)));
}

std::string FormatRenderSummary(const RenderSummary& summary) {
    const double audioSeconds =
        summary.sampleRate > 0 ? static_cast<double>(summary.frames) / summary.sampleRate : 0.0;
    const double speed = audioSeconds / std::max(summary.processingSeconds, 1e-9);
    char line[256];
    std::snprintf(line, sizeof line,
                  "%llu frames, %llu blocks, %.3f s processing, %.1fx faster than real time",
                  static_cast<unsigned long long>(summary.frames),
                  static_cast<unsigned long long>(summary.blocks), summary.processingSeconds,
                  speed);
    return line;
}

int RenderFile(const RenderOptions& options, RenderSummary& summary, std::string& error) {
    summary = RenderSummary{};
    ApplyFirstStartDefaults();
    if (!options.configFile.empty()) {
        std::string reason;
        if (!ApplyConfigurationFile(options.configFile, reason, summary.held)) {
            error = "cannot read configuration file " + options.configFile + ": " + reason;
            return kRenderFailed;
        }
    }
    for (const SettingAssignment& assignment : options.settings) {
        ApplySettingAssignment(assignment, summary.held);
    }

    SF_INFO inInfo{};
    SoundFile input(options.input, SFM_READ, inInfo);
    if (input.get() == nullptr) {
        error = "cannot read " + options.input + ": " + sf_strerror(nullptr);
        return kRenderFailed;
    }
    const int channels = inInfo.channels;
    if (channels < 1 || channels > static_cast<int>(kMaxChannels)) {
        error = options.input + ": " + std::to_string(channels) +
                " channels; only 1 or 2 are supported";
        return kRenderFailed;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(options.input, options.output, ec)) {
        error = "cannot write " + options.output + ": it is the input file";
        return kRenderFailed;
    }

    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = channels;
    outInfo.format = OutputFormatFor(options.output);
    if (!sf_format_check(&outInfo)) {
        error = "cannot write " + options.output + ": the format does not take " +
                std::to_string(inInfo.samplerate) + " Hz with " + std::to_string(channels) +
                " channels";
        return kRenderFailed;
    }
    SoundFile output(options.output, SFM_WRITE, outInfo);
    if (output.get() == nullptr) {
        error = "cannot write " + options.output + ": " + sf_strerror(nullptr);
        return kRenderFailed;
    }
    sf_command(output.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const unsigned int frames =
        options.blockFrames != 0 ? options.blockFrames : DefaultBlockFrames(inInfo.samplerate);
    std::vector<float> in(static_cast<size_t>(channels) * frames);
    std::vector<float> out(in.size());
    // The processing state starts as before any device ran, the pitch processors as a set-up
    // leaves them.
    ResetProcessingState();
    AudioDevice device;
    audio_device_init_offline(&device, static_cast<uint32_t>(channels),
                              static_cast<uint32_t>(channels),
                              static_cast<uint32_t>(inInfo.samplerate), data_callback);

    summary.sampleRate = inInfo.samplerate;
    std::chrono::steady_clock::duration processing{};
    bool writeFailed = false;
    for (;;) {
        const sf_count_t got = sf_readf_float(input.get(), in.data(), frames);
        if (got <= 0) break;
        // A last short block is padded with silence; only the frames read are written.
        std::fill(in.begin() + got * channels, in.end(), 0.0f);
        const auto start = std::chrono::steady_clock::now();
        audio_device_run_callback(&device, out.data(), in.data(), frames);
        processing += std::chrono::steady_clock::now() - start;
        if (sf_writef_float(output.get(), out.data(), got) != got) {
            writeFailed = true;
            break;
        }
        summary.frames += static_cast<uint64_t>(got);
        ++summary.blocks;
    }
    summary.processingSeconds = std::chrono::duration<double>(processing).count();

    if (sf_error(input.get()) != SF_ERR_NO_ERROR) {
        error = "cannot read " + options.input + ": " + sf_strerror(input.get());
    } else if (writeFailed) {
        error = "cannot write " + options.output + ": " + sf_strerror(output.get());
    } else if (!output.close()) {
        error = "cannot write " + options.output + ": the file could not be completed";
    } else {
        return kRenderOk;
    }
    std::filesystem::remove(options.output, ec);  // no half-written result is left behind
    return kRenderFailed;
}

