#pragma once
// The settings of an offline render: the defaults of a first start, then a configuration file,
// then single KEY=VALUE settings, each in the configuration file's own text form. Nothing here
// ever writes a file.
#include <string>
#include <vector>

#include "config/Settings.h"

// Every setting to the value a first start (no configuration file) gives it.
void ApplyFirstStartDefaults();

// One checked KEY=VALUE argument.
struct SettingAssignment {
    const SettingKey* setting = nullptr;
    int number = 0;
};

// Checks a KEY=VALUE argument strictly: the key must be a setting key and the value a whole
// decimal number that fits an int. False with the reason otherwise.
bool ParseSettingArgument(const std::string& argument, SettingAssignment& assignment,
                          std::string& error);

// Values beyond what the processing can take are held to the nearer end of their range; each
// one held adds a line such as "MANUAL_PITCH=-100000 held to -1500" to `held`.
void ApplySettingAssignment(const SettingAssignment& assignment, std::vector<std::string>& held);

// Reads `path` with the configuration store's rules (without ever writing it) and applies the
// first value of every setting key it holds. False with the reason when it cannot be read
// (missing, not a regular file, too large, no permission).
bool ApplyConfigurationFile(const std::string& path, std::string& error,
                            std::vector<std::string>& held);
