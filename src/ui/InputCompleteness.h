#pragma once
#include <string>

// True when typed text is complete: Enter ends the input unless the line ends with a backslash.
bool determine_completeness(std::string text);
