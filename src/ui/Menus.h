#pragma once
#include <cstddef>
#include <vector>

#include "ui/MenuItem.h"

// The five menus, and the flag the main menu loop runs while. Defined in
// src/app/MoravelConsole.cpp.
extern std::vector<MenuItem> glMAIN_MENU;
extern std::vector<MenuItem> glVOICE_MENU;
extern std::vector<MenuItem> glEFFECTS_MENU;
extern std::vector<MenuItem> glAUDIOSETTINGS_MENU;
extern std::vector<MenuItem> glHELP_MENU;
extern bool gl_Working;

// Fixed positions of the items whose value labels change; the lists never change length or
// order after menu_init_menus, so the label writers address items by these indices.
namespace MenuIndex {
constexpr size_t kMainSwitch = 0;
constexpr size_t kMainVoice = 1;
constexpr size_t kMainSound = 2;
constexpr size_t kAudioDenoise = 0;
constexpr size_t kAudioSensitivity = 1;
constexpr size_t kAudioBass = 2;
constexpr size_t kAudioTreble = 3;
constexpr size_t kAudioOriginalVoice = 4;
}  // namespace MenuIndex

// The position of a voice effect's item in the voice menu (the effect catalogue's order).
size_t VoiceMenuIndex(int effectId);
