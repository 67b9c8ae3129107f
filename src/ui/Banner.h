#pragma once
#include <string>

// Appends the banner (cursor home, colour, the lettering, "for MacOS", colour reset).
void menu_add_header(std::string& screen);
