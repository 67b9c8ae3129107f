#pragma once
#include <cstddef>

// Fixed positions of the items whose value labels change; the lists never change length or
// order after menu_init_menus, so the label writers address items by these indices.
namespace MenuIndex {
constexpr size_t kMainSwitch = 0;
constexpr size_t kMainVoice = 1;
constexpr size_t kMainSound = 2;
constexpr size_t kVoiceCustomPitch = 12;
constexpr size_t kAudioDenoise = 0;
constexpr size_t kAudioSensitivity = 1;
constexpr size_t kAudioBass = 2;
constexpr size_t kAudioTreble = 3;
constexpr size_t kAudioOriginalVoice = 4;
}  // namespace MenuIndex
