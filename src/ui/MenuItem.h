#pragma once
#include <cstdint>
#include <string>

// One menu entry. Only the label refresh and the command handler write valueLabel and
// valueColor; extraText stays empty.
struct MenuItem {
    std::string label;
    std::string valueLabel;
    std::string extraText;
    int32_t valueColor = 92;
    int32_t command = 0;
};
