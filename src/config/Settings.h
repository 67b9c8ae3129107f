#pragma once
#include <vector>

// One user setting and its key in the configuration file.
struct SettingKey {
    const char* key;
    const char* defaultText;  // stored when the key is missing
    const char* meaning;      // one line for the renderer's --help
    void (*apply)(int number);      // the stored number (after atoi) -> the setting
    void (*save)(const char* key);  // the setting -> its key in the store
};

// The thirteen setting keys, in the order they are read and written.
const std::vector<SettingKey>& SettingKeys();

void LoadConfiguration();
void SaveCurrentConfiguration();
