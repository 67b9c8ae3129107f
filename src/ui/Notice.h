#pragma once
#include <string>

// A message the user must read before the menus cover it: the banner, the text and "Press any
// key to continue.", until a key is pressed.
void ShowNotice(const std::string& text);

// Why this run will not save the settings: the file at `path` exists but could not be read.
std::string UnreadableSettingsNotice(const std::string& path, const std::string& reason);
