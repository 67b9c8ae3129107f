// The configuration store: an ordered list of key/value texts mirrored in MVConsole.ini.
#include "config/PortableConfig.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "config/ConfigNumbers.h"
#include "config/FileReplace.h"

#include <sys/stat.h>

namespace {

constexpr const char* kConfigFileName = "MVConsole.ini";

// One read takes at most this many bytes minus one; longer lines arrive in pieces.
constexpr int kLineBufferBytes = 102400;
// Sixteen short keys fit in a few hundred bytes; a file far larger is not a settings file and
// would only fill the memory.
constexpr off_t kLargestFileBytes = 1 << 20;

// Set when the file exists but could not be read: it is then never written over.
std::string s_readProblem;
// Why the last write failed (empty after one that succeeded), and how many have failed.
std::string s_saveProblem;
unsigned s_saveFailures = 0;

// A line holds key "=" value, split at its last "="; a line without one, or whose last "=" is
// its first character, is skipped. Trailing line feeds are dropped, nothing else is trimmed.
void AppendParsedLine(std::string text, std::vector<PortableItem>& items) {
    const size_t split = text.rfind('=');
    if (split == std::string::npos || split == 0) return;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    items.push_back(PortableItem{text.substr(0, split), text.substr(split + 1)});
}

std::string FormatConfigList() {
    std::string contents;
    for (const PortableItem& item : gl_PortableConfig) {
        contents += item.key;
        contents += '=';
        contents += item.value;
        contents += '\n';
    }
    return contents;
}

}  // namespace

void ConfigPortableApplication() {
    std::string path = std::filesystem::current_path().string();
    if (path.empty() || path.back() != '/') path += '/';
    path += kConfigFileName;
    glPortableConfiguration = path;
    s_saveProblem.clear();
    s_saveFailures = 0;
    Portable_ReadConfiguration();
}

bool ReadConfigItems(const std::string& path, std::vector<PortableItem>& items,
                     std::string& problem) {
    items.clear();
    problem.clear();
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return true;  // no file yet
        problem = std::strerror(errno);
        return false;
    }
    // A device or a pipe would never end (or never begin) and a folder holds no settings.
    if (!S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file";
        return false;
    }
    if (info.st_size > kLargestFileBytes) {
        problem = "it is larger than 1 MiB";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        problem = std::strerror(errno);
        return false;
    }
    std::vector<char> buffer(kLineBufferBytes);
    while (!std::feof(file)) {
        if (std::fgets(buffer.data(), kLineBufferBytes, file) == nullptr) break;
        AppendParsedLine(std::string(buffer.data()), items);  // up to the first NUL
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        items.clear();
        problem = std::strerror(error);
        return false;
    }
    return true;
}

const std::string& PortableReadProblem() { return s_readProblem; }

void Portable_ReadConfiguration() {
    ReadConfigItems(glPortableConfiguration, gl_PortableConfig, s_readProblem);
}

void Portable_SaveConfiguration() {
    // The user's settings are in a file this run could not read: it stays as it is.
    if (!s_readProblem.empty()) return;
    std::lock_guard<std::mutex> lock(m_CriticalPortableSave);
    // A file that cannot be written keeps its old contents; the list keeps the change, and the
    // reason is kept for the user.
    if (ReplaceFileContents(glPortableConfiguration, FormatConfigList(), &s_saveProblem)) {
        s_saveProblem.clear();
    } else {
        ++s_saveFailures;
    }
}

const std::string& PortableSaveProblem() { return s_saveProblem; }

unsigned PortableSaveFailures() { return s_saveFailures; }

int Portable_HasValue(std::string key) {
    for (size_t i = 0; i < gl_PortableConfig.size(); ++i) {
        if (gl_PortableConfig[i].key == key) return static_cast<int>(i);
    }
    return -1;
}

std::string PortableReadConfigKey(std::string key, std::string defaultValue) {
    const int index = Portable_HasValue(key);
    if (index >= 0) return gl_PortableConfig[static_cast<size_t>(index)].value;
    gl_PortableConfig.push_back(PortableItem{key, defaultValue});
    Portable_SaveConfiguration();
    return defaultValue;
}

bool PortableSaveConfigKey(std::string key, std::string value) {
    const int index = Portable_HasValue(key);
    if (index < 0) {
        gl_PortableConfig.push_back(PortableItem{key, value});
    } else {
        gl_PortableConfig[static_cast<size_t>(index)] = PortableItem{key, value};
    }
    Portable_SaveConfiguration();
    return true;
}

bool PortableSaveConfigKey(std::string key, int value) {
    return PortableSaveConfigKey(key, FormatConfigInt(value));
}
