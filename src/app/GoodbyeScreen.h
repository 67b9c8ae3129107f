#pragma once
#include <string>

// Whole minutes of a run of the given length in seconds, truncated toward zero.
int ElapsedMinutes(double seconds);
// The goodbye screen: cleared screen, banner, and the elapsed-time line.
std::string BuildGoodbyeText(int minutes);
