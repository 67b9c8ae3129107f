#pragma once
#include <string>
#include <vector>

#include "ui/MenuItem.h"

void menu_init_menus();
// Composes one full screen in one string (pure, for the tests) ...
std::string menu_compose(int rows, int cols, const std::vector<MenuItem>& items, int selected,
                         const std::string& title);
// ... and writes it with one write and one flush, then hides the cursor.
void menu_render(int rows, int cols, std::vector<MenuItem>& items, int selected,
                 std::string title);
