#include "ui/MenuLabels.h"

#include <cstdio>

#include "config/UserSettings.h"
#include "effects/EffectCatalogue.h"
#include "ui/Menus.h"
#include "ui/ValueCommands.h"

std::string PitchText(float pitch) {
    char text[20];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(pitch));
    return text;
}

std::string VoiceEffectLabel(int8_t id, float customPitch) {
    const int index = static_cast<uint8_t>(id);
    const VoiceEffectRow* row = FindVoiceEffect(index);
    std::string label = row != nullptr ? row->label : "";
    if (index == kCustomPitchEffect) label += "|" + PitchText(customPitch);
    return label;
}

std::string SoundEffectLabel(int32_t id) {
    const SoundEffectRow* row = FindSoundEffect(id);
    return row != nullptr ? row->label : "";
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
        glVOICE_MENU.at(VoiceMenuIndex(kCustomPitchEffect)).valueLabel = PitchText(pitch);
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
