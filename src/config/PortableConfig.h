#pragma once
#include <mutex>
#include <string>
#include <vector>

// One key/value entry of the configuration list.
struct PortableItem {
    std::string key;
    std::string value;
};

// The store: the list, the file's path, and the lock held while the file is written. Defined in
// src/app/MoravelConsole.cpp.
extern std::vector<PortableItem> gl_PortableConfig;
extern std::string glPortableConfiguration;
extern std::mutex m_CriticalPortableSave;

void ConfigPortableApplication();
// Why the settings file could not be read, when it exists but could not (not a regular file,
// too large, no permission); empty otherwise. Such a file is never written over in this run.
const std::string& PortableReadProblem();
// Reads the configuration file at `path` with the store's rules into `items`, never writing it.
// A missing file gives an empty list; false, with the reason, when it exists but cannot be read.
bool ReadConfigItems(const std::string& path, std::vector<PortableItem>& items,
                     std::string& problem);
void Portable_ReadConfiguration();
void Portable_SaveConfiguration();
// Why the last write of the settings file failed; empty when it succeeded (or none was made).
const std::string& PortableSaveProblem();
// How many writes of the settings file have failed in this run.
unsigned PortableSaveFailures();
int Portable_HasValue(std::string key);
std::string PortableReadConfigKey(std::string key, std::string defaultValue);
bool PortableSaveConfigKey(std::string key, std::string value);
bool PortableSaveConfigKey(std::string key, int value);
