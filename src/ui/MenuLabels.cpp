#include "ui/MenuLabels.h"

#include <cstdio>

#include "app/MoravelState.h"
#include "ui/Menus.h"
#include "ui/ValueCommands.h"

namespace {

constexpr uint8_t kCustomPitchEffect = 14;

// Indexed by voice effect id; ids past the end have no label. The "Pitch" capitals differ
// from the voice menu's item labels on purpose.
const char* const kVoiceEffectLabels[] = {
    "",              "",      "",             "",              // 0..3: none
    "Robot",         "Male pitch", "Female Pitch", "Helium Pitch",  // 4..7
    "Baby Pitch",    "Alien", "Mutation",     "Slow Mutation",  // 8..11
    "Fast Mutation", "Atari", "Custom Pitch", "Clone",          // 12..15
    "Radio",         "Silence",                                 // 16, 17
};

const char* const kSoundEffectLabels[] = {"", "Town Hall", "Echo", "Chorus", "Ghost"};

template <size_t N>
std::string LabelAt(const char* const (&labels)[N], uint32_t index) {
    return index < N ? labels[index] : "";
}

}  // namespace

std::string PitchText(float pitch) {
    char text[20];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(pitch));
    return text;
}

std::string VoiceEffectLabel(int8_t id, float customPitch) {
    const uint8_t index = static_cast<uint8_t>(id);
    std::string label = LabelAt(kVoiceEffectLabels, index);
    if (index == kCustomPitchEffect) label += "|" + PitchText(customPitch);
    return label;
}

std::string SoundEffectLabel(int32_t id) {
    return LabelAt(kSoundEffectLabels, static_cast<uint32_t>(id));
}

std::string SwitchLabel(bool on) { return on ? "On" : "Off"; }
int32_t SwitchColor(bool on) { return on ? 92 : 91; }
std::string MarkLabel(bool on) { return on ? "*" : ""; }

std::string SensitivityLabel(float sensitivity) {
    const int percent = SensitivityPercent(sensitivity);
    return percent <= 99 ? std::to_string(percent) + "%" : "";
}

std::string GainLabel(float gain) {
    const int steps = GainSteps(gain);
    return steps != 0 ? std::to_string(steps) + "dB" : "";
}

void ShowProcessingSwitch() {
    MenuItem& item = glMAIN_MENU.at(MenuIndex::kMainSwitch);
    item.valueLabel = SwitchLabel(SS_MORAVEL_ACTIVE);
    item.valueColor = SwitchColor(SS_MORAVEL_ACTIVE);
}

void ShowVoiceEffect() {
    const int8_t id = SS_VavorOzodediEffect;
    const float pitch = SS_Manual_Pitch;
    if (static_cast<uint8_t>(id) == kCustomPitchEffect)
        glVOICE_MENU.at(MenuIndex::kVoiceCustomPitch).valueLabel = PitchText(pitch);
    glMAIN_MENU.at(MenuIndex::kMainVoice).valueLabel = VoiceEffectLabel(id, pitch);
}

void ShowSoundEffect() {
    glMAIN_MENU.at(MenuIndex::kMainSound).valueLabel = SoundEffectLabel(SS_EffectType);
}

void ShowNoiseRemoval() {
    glAUDIOSETTINGS_MENU.at(MenuIndex::kAudioDenoise).valueLabel = MarkLabel(SS_EnableNoiseRemoval);
}

void ShowOriginalVoice() {
    glAUDIOSETTINGS_MENU.at(MenuIndex::kAudioOriginalVoice).valueLabel =
        MarkLabel(overlapOriginalVoice);
}

void ShowSensitivity() {
    glAUDIOSETTINGS_MENU.at(MenuIndex::kAudioSensitivity).valueLabel =
        SensitivityLabel(SS_Microphone_Sensivity);
}

void ShowBass() { glAUDIOSETTINGS_MENU.at(MenuIndex::kAudioBass).valueLabel = GainLabel(gl_bass); }

void ShowTreble() {
    glAUDIOSETTINGS_MENU.at(MenuIndex::kAudioTreble).valueLabel = GainLabel(gl_treble);
}

void UpdateMenuLabels() {
    ShowProcessingSwitch();
    ShowVoiceEffect();
    ShowSoundEffect();
    ShowNoiseRemoval();
    ShowOriginalVoice();
    ShowSensitivity();
    ShowBass();
    ShowTreble();
}
