#pragma once
#include <climits>
#include <vector>

// One user setting and its key in the configuration file.
struct SettingKey {
    const char* key;
    const char* defaultText;  // stored when the key is missing
    const char* meaning;      // one line for the renderer's --help
    void (*apply)(int number);      // the stored number (after atoi) -> the setting
    void (*save)(const char* key);  // the setting -> its key in the store
    // The stored numbers the processing can take safely; others are held to the nearer end.
    int lowest = INT_MIN;
    int highest = INT_MAX;
};

// The thirteen setting keys, in the order they are read and written.
const std::vector<SettingKey>& SettingKeys();

// A stored number held to what the setting can process safely.
int HeldToRange(const SettingKey& row, int number);

void LoadConfiguration();
void SaveCurrentConfiguration();
