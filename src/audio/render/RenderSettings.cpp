#include "audio/render/RenderSettings.h"

#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include <sys/stat.h>

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

void ApplySettingAssignment(const SettingAssignment& assignment, std::vector<std::string>& held) {
    const int number = HeldToRange(*assignment.setting, assignment.number);
    if (number != assignment.number) {
        held.push_back(std::string(assignment.setting->key) + "=" +
                       std::to_string(assignment.number) + " held to " + std::to_string(number));
    }
    assignment.setting->apply(number);
}

bool ApplyConfigurationFile(const std::string& path, std::string& error,
                            std::vector<std::string>& held) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {  // a missing file too: it was asked for
        error = std::strerror(errno);
        return false;
    }
    std::vector<PortableItem> items;
    if (!ReadConfigItems(path, items, error)) return false;
    for (const SettingKey& row : SettingKeys()) {
        const auto found = std::find_if(items.begin(), items.end(),
                                        [&](const PortableItem& item) { return item.key == row.key; });
        if (found != items.end()) {
            ApplySettingAssignment(SettingAssignment{&row, ConfigTextToInt(found->value)}, held);
        }
    }
    return true;
}
