#pragma once
#include <string>
#include <vector>

#include "ui/MenuItem.h"

int MENU_MainMenu(std::string title);
int MENU_DisplayMenu(std::vector<MenuItem>& items, const std::string& title, bool closeOnEnter);
