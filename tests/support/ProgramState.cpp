#include "ProgramState.h"

#include "audio/setup/DeviceWatch.h"



void ResetSettings() {
    SS_MORAVEL_ACTIVE = false;
    SS_VavorOzodediEffect = 0;
    SS_EffectType = 0;
    SS_Manual_Pitch = 0.0f;
    SS_Microphone_Sensivity = 0.0f;
    gl_bass = 0.0f;
    gl_treble = 0.0f;
    overlapOriginalVoice = false;
    SS_EnableNoiseRemoval = false;
    SS_ChainEffect_1 = 0;
    SS_ChainEffect_2 = 0;
    SS_ChainEffect_3 = 0;
    SS_ChainEffect_4 = 0;
}

void NeutralProcessing() {
    ResetSettings();
    SS_MORAVEL_ACTIVE = true;
}

void ResetProgramState() {
    ResetSettings();
    gl_deviceCaptureId = gl_devicePlayId = -1;
    gl_enable_stereo = false;
    gl_CurrentCaptureDeviceName.clear();
    gl_CurrentPlaybackDeviceName.clear();
    gl_LostDevice = LostDevice{};
    gl_Working = true;
    ResetProcessingState();
    for (std::vector<MenuItem>* menu :
         {&glMAIN_MENU, &glVOICE_MENU, &glEFFECTS_MENU, &glAUDIOSETTINGS_MENU, &glHELP_MENU}) {
        menu->clear();
    }
    gl_PortableConfig.clear();
    glPortableConfiguration.clear();
}
