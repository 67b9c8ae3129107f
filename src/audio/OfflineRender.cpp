#include "audio/OfflineRender.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/MoravelState.h"
#include "audio/AudioLayer.h"
#include "audio/AudioSetup.h"
#include "audio/ProcessingCallback.h"

namespace {

constexpr const char* kProgram = "mvconsole-render";
constexpr const char* kUsageLine =
    "Usage: mvconsole-render [--config FILE] [--set KEY=VALUE]... [--block FRAMES] INPUT OUTPUT";

// The libsndfile format chosen by the output's extension, or 0 for an unsupported one.
int OutputFormatFor(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    return 0;
}

// Appends `head` and then `body` word-wrapped into the column after it, within 79 columns.
void AppendWrapped(std::string& text, const std::string& head, const std::string& body) {
    constexpr size_t kWidth = 79;
    const size_t indent = head.size() + 1;
    std::string line = head;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find(' ', start);
        if (end == std::string::npos) end = body.size();
        const std::string word = body.substr(start, end - start);
        if (line.size() > indent - 1 && line.size() + 1 + word.size() > kWidth) {
            text += line + "\n";
            line = std::string(indent - 1, ' ');
        }
        line += " " + word;
        start = end + 1;
    }
    text += line + "\n";
}

// The value of `--name VALUE` or `--name=VALUE` at args[i]; advances i past a separate value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value, std::string& error) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = name + " needs an argument";
        return false;
    }
    value = args[++i];
    return true;
}

bool ParseBlockFrames(const std::string& text, unsigned int& frames) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value < 1 || value > kMaxPeriodFrames) return false;
    frames = static_cast<unsigned int>(value);
    return true;
}

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

// The pitch processors and the sweeping pitch state start as at a live set-up, without any
// audio device.
void PrepareProcessingState() {
    ResetPitchEffects();
    gl_soundTouchInitialized = false;
}

}  // namespace

bool ParseRenderArguments(const std::vector<std::string>& args, RenderOptions& options,
                          std::string& error) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        std::string value;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (name == "--config") {
            if (!TakeValue(args, i, name, value, error)) return false;
            if (value.empty()) {
                error = "--config needs a file name";
                return false;
            }
            options.configFile = value;
        } else if (name == "--set") {
            SettingAssignment assignment;
            if (!TakeValue(args, i, name, value, error)) return false;
            if (!ParseSettingArgument(value, assignment, error)) return false;
            options.settings.push_back(assignment);
        } else if (name == "--block") {
            if (!TakeValue(args, i, name, value, error)) return false;
            if (!ParseBlockFrames(value, options.blockFrames)) {
                error = "bad FRAMES '" + value + "' (a whole number from 1 to " +
                        std::to_string(kMaxPeriodFrames) + ")";
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options.help) return true;
    if (files.size() != 2) {
        error = files.size() < 2 ? "INPUT and OUTPUT are needed" : "too many file names";
        return false;
    }
    options.input = files[0];
    options.output = files[1];
    if (OutputFormatFor(options.output) == 0) {
        error = options.output + ": unsupported output format (use .wav or .flac)";
        return false;
    }
    return true;
}

std::string RenderUsageText() {
    std::string text = std::string(kUsageLine) + "\n\n" +
        "Runs a sound file through the voice changer's processing, block by block, exactly as\n"
        "the live device would, and writes the result. No configuration file is ever written.\n"
        "\n"
        "Options:\n"
        "  --config FILE     settings from FILE (the format of MVConsole.ini)\n"
        "  --set KEY=VALUE   one setting as the configuration file holds it; applied in order,\n"
        "                    after the first-start defaults and FILE\n"
        "  --block FRAMES    frames per block, 1 to 4800 (default: 10 ms of the input's rate)\n"
        "  --help            this text\n"
        "\n"
        "INPUT   any sound file libsndfile reads, with 1 or 2 channels\n"
        "OUTPUT  .wav (32-bit float) or .flac (24-bit); same rate, channels and length as INPUT\n"
        "\n"
        "Keys (first-start value in brackets):\n";
    for (const SettingKey& row : SettingKeys()) {
        char head[64];
        std::snprintf(head, sizeof head, "  %-23s", row.key);
        AppendWrapped(text, head, std::string(row.meaning) + " [" + row.defaultText + "]");
    }
    text += "\nExit status: 0 done, 1 a file cannot be read or written, 2 usage error.\n";
    return text;
}

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
    PrepareProcessingState();
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

int MvconsoleRenderMain(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    RenderOptions options;
    std::string error;
    if (!ParseRenderArguments(args, options, error)) {
        std::fprintf(stderr, "%s: %s\n%s\nTry '%s --help'.\n", kProgram, error.c_str(), kUsageLine,
                     kProgram);
        return kRenderUsage;
    }
    if (options.help) {
        const std::string text = RenderUsageText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kRenderOk;
    }
    RenderSummary summary;
    const int status = RenderFile(options, summary, error);
    for (const std::string& note : summary.held) std::fprintf(stderr, "%s: %s\n", kProgram, note.c_str());
    if (status != kRenderOk) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return status;
    }
    std::fprintf(stderr, "%s: %s\n", kProgram, FormatRenderSummary(summary).c_str());
    return kRenderOk;
}
