// The configuration store: an ordered list of key/value texts mirrored in MVConsole.ini.
#include "config/PortableConfig.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

#include "app/MoravelState.h"
#include "config/ConfigNumbers.h"
#include "config/FileReplace.h"

namespace {

constexpr const char* kConfigFileName = "MVConsole.ini";

// One read takes at most this many bytes minus one; longer lines arrive in pieces.
constexpr int kLineBufferBytes = 102400;

// A line holds key "=" value, split at its last "="; a line without one, or whose last "=" is
// its first character, is skipped. Trailing line feeds are dropped, nothing else is trimmed.
void AppendParsedLine(std::string text) {
    const size_t split = text.rfind('=');
    if (split == std::string::npos || split == 0) return;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    gl_PortableConfig.push_back(PortableItem{text.substr(0, split), text.substr(split + 1)});
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
    Portable_ReadConfiguration();
}

void Portable_ReadConfiguration() {
    gl_PortableConfig.clear();
    FILE* file = std::fopen(glPortableConfiguration.c_str(), "r");
    if (file == nullptr) return;

    std::vector<char> buffer(kLineBufferBytes);
    while (!std::feof(file)) {
        if (std::fgets(buffer.data(), kLineBufferBytes, file) == nullptr) break;
        AppendParsedLine(std::string(buffer.data()));  // up to the first NUL
    }
    std::fclose(file);
}

void Portable_SaveConfiguration() {
    std::lock_guard<std::mutex> lock(m_CriticalPortableSave);
    // A file that cannot be written keeps its old contents; the list keeps the change.
    ReplaceFileContents(glPortableConfiguration, FormatConfigList());
}

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
