#include "audio/RenderSettings.h"

#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/MoravelState.h"
#include "config/ConfigNumbers.h"
#include "config/PortableConfig.h"
#include "config/Settings.h"

namespace {

const SettingKey* FindKey(const std::string& key) {
    for (const SettingKey& row : SettingKeys()) {
        if (key == row.key) return &row;
    }
    return nullptr;
}

// A whole decimal number with an optional sign that fits an int, and nothing else.
bool ParseWholeNumber(const std::string& text, int& number) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE || value < INT_MIN ||
        value > INT_MAX) {
        return false;
    }
    number = static_cast<int>(value);
    return true;
}

}  // namespace

void ApplyFirstStartDefaults() {
    for (const SettingKey& row : SettingKeys()) row.apply(ConfigTextToInt(row.defaultText));
}

bool ParseSettingArgument(const std::string& argument, SettingAssignment& assignment,
                          std::string& error) {
    const size_t split = argument.find('=');
    if (split == std::string::npos) {
        error = "'" + argument + "' is not KEY=VALUE";
        return false;
    }
    const std::string key = argument.substr(0, split);
    const std::string value = argument.substr(split + 1);
    assignment.setting = FindKey(key);
    if (assignment.setting == nullptr) {
        error = "unknown setting key '" + key + "' (--help lists the keys)";
        return false;
    }
    if (!ParseWholeNumber(value, assignment.number)) {
        error = "bad value '" + value + "' for " + key + " (a whole decimal number)";
        return false;
    }
    return true;
}

void ApplySettingAssignment(const SettingAssignment& assignment) {
    assignment.setting->apply(assignment.number);
}

bool ApplyConfigurationFile(const std::string& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "is a directory";
        return false;
    }
    FILE* probe = std::fopen(path.c_str(), "r");
    if (probe == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::fclose(probe);

    // The store reads the file at its own path into its own list; both are put back after.
    const std::string savedPath = glPortableConfiguration;
    std::vector<PortableItem> savedList;
    savedList.swap(gl_PortableConfig);
    glPortableConfiguration = path;
    Portable_ReadConfiguration();
    for (const SettingKey& row : SettingKeys()) {
        const int index = Portable_HasValue(row.key);
        if (index >= 0) row.apply(ConfigTextToInt(gl_PortableConfig[static_cast<size_t>(index)].value));
    }
    gl_PortableConfig.swap(savedList);
    glPortableConfiguration = savedPath;
    return true;
}
