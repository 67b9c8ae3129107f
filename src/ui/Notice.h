#pragma once
#include <string>

// A message the user must read before the menus cover it: the banner, the text and "Press any
// key to continue.", until a key is pressed.
void ShowNotice(const std::string& text);

// Why this run will not save the settings: the file at `path` exists but could not be read.
std::string UnreadableSettingsNotice(const std::string& path, const std::string& reason);

// The settings file could not be written: why, and that the file keeps what it held.
std::string UnsavedSettingsNotice(const std::string& path, const std::string& reason);

// Shows UnsavedSettingsNotice once for each write of the settings that failed since the last
// call (the latest reason); true when it showed it.
bool TellUnsavedSettings();
