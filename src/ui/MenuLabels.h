#pragma once
// Value labels: the texts shown in parentheses after an item, computed from the settings.
// The pure functions give the texts; the Show* functions write them into the menus and are
// used both by the start-up refresh and by the commands that change a setting.
#include <cstdint>
#include <string>

// Every value label at once, from the current settings (start-up).
void UpdateMenuLabels();

// Custom pitch with two decimals ("2.50", "-15.00").
std::string PitchText(float pitch);
// Voice effect by id, read as unsigned 8-bit; id 14 carries the custom pitch.
std::string VoiceEffectLabel(int8_t id, float customPitch);
// Sound effect by id, read as unsigned 32-bit.
std::string SoundEffectLabel(int32_t id);
std::string SwitchLabel(bool on);  // "On" / "Off"
int32_t SwitchColor(bool on);      // 92 bright green / 91 bright red
std::string MarkLabel(bool on);    // "*" / empty
// Percentage with "%", empty in the 100 % state.
std::string SensitivityLabel(float sensitivity);
// Twice the stored gain with "dB", empty when that is 0.
std::string GainLabel(float gain);

// Each writes the label (and for the switch the colour) of the items that show one setting.
void ShowProcessingSwitch();
void ShowVoiceEffect();  // also the custom pitch item while the custom pitch is selected
void ShowSoundEffect();
void ShowNoiseRemoval();
void ShowOriginalVoice();
void ShowSensitivity();
void ShowBass();
void ShowTreble();
