// mvconsole-render's command line: its arguments, its --help text, and the program around the
// render (src/audio/OfflineRender).
#include "RenderCommandLine.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "audio/layer/AudioLayer.h"
#include "config/Settings.h"

namespace {

constexpr const char* kProgram = "mvconsole-render";
constexpr const char* kUsageLine =
    "Usage: mvconsole-render [--config FILE] [--set KEY=VALUE]... [--block FRAMES] INPUT OUTPUT";

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
