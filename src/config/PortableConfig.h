#pragma once
#include <string>

// One key/value entry of the configuration list.
struct PortableItem {
    std::string key;
    std::string value;
};

void ConfigPortableApplication();
void Portable_ReadConfiguration();
void Portable_SaveConfiguration();
int Portable_HasValue(std::string key);
std::string PortableReadConfigKey(std::string key, std::string defaultValue);
bool PortableSaveConfigKey(std::string key, std::string value);
bool PortableSaveConfigKey(std::string key, int value);
