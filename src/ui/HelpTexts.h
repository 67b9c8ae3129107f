#pragma once
// The help screens' texts, the product's web addresses and the browser opener.
#include <string>
#include <vector>

extern const char* const kProgramVersion;  // "0.1"
extern const char* const kPlatformName;    // "MacOS"

std::vector<std::string> AboutText();
std::vector<std::string> HowToUseText();

std::string UpdatePageAddress();
std::string HomePageAddress();

// The shell command that opens an address in the default browser without waiting for it and
// without letting the opener or the browser write into the menus.
std::string BrowserCommand(const std::string& address);
// Runs BrowserCommand; a missing opener or browser is silently ignored.
void OpenWebPage(const std::string& address);
