#pragma once
#include "app/MoravelState.h"
#include "ui/MenuRender.h"

// Settings as on a start with processing off and nothing selected, and freshly built menus,
// so every case starts alike whether the cases share a process or not.
inline void ResetUiState() {
    SS_MORAVEL_ACTIVE = false;
    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
    SS_Manual_Pitch = 0.0f;
    SS_Microphone_Sensivity = 0.0f;
    gl_bass = 0.0f;
    gl_treble = 0.0f;
    overlapOriginalVoice = false;
    SS_EnableNoiseRemoval = false;
    gl_Working = true;
    gl_CurrentCaptureDeviceName.clear();
    gl_CurrentPlaybackDeviceName.clear();
    menu_init_menus();
}
