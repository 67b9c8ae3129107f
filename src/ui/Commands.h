#pragma once
#include "config/CommandIds.h"

// Runs the command of a menu item: `step` is 0 for Enter, +1 or -1 for "+" and "-".
void handleCommand(MVCommands command, int step);
