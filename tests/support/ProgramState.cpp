#include "ProgramState.h"

#include <algorithm>
#include <iterator>

#include "app/MoravelState.h"
#include "audio/AudioSetup.h"

namespace {

template <typename T, size_t N>
void Zero(T (&values)[N]) {
    std::fill(std::begin(values), std::end(values), T{});
}

void Release(float*& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

}  // namespace

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

void ResetProcessingState() {
    for (float** buffer : {&gl_soundFreq, &gl_fragmentBuffer1, &gl_fragmentBuffer2,
                           &SS_Voice_Buffer, &SS_EffectBuffer}) {
        Release(*buffer);
    }
    denoise_destroy(gl_DenoiseState_1);
    denoise_destroy(gl_DenoiseState_2);
    gl_DenoiseState_1 = gl_DenoiseState_2 = nullptr;
    gl_soundTouchInitialized = false;
    gl_ChannelConversionInitialized = false;
    gl_converter = ChannelConverter{};
    gl_channelCount = 0;
    isSetupReady = false;

    Zero(originalInputVoice);
    SS_Microphone_SilanceCount = 0;
    gl_BassTreble_1 = EffectBassTreble();
    gl_BassTreble_2 = EffectBassTreble();
    Zero(gl_BassTreble_Buffer_1);
    Zero(gl_BassTreble_Buffer_2);
    Zero(m_noiseBufferInput);
    Zero(m_noiseBufferOutput);
    m_noiseBufferInputSize = m_noiseBufferOutputSize = 0;

    gl_soundFreqTotal = 0;
    gl_soundFreqIdx_1 = gl_soundFreqIdx_2 = gl_soundFreqIdx_3 = gl_soundFreqIdx_4 = 0;
    Zero(gl_fragmentBufferIdx1);
    Zero(gl_fragmentBufferIdx2);
    SS_FRAGMENT_BUFFER_SIZE = 0;
    SS_VOICE_BUFFER_SIZE = 0;
    Zero(SS_voiceStart);
    SS_ECHO_EFFECT_SIZE = 0;
    SS_effectStart = 0;
    SS_reverseStart = -1;

    for (soundtouch::SoundTouch& processor : soundTouch) processor.clear();
    ResetPitchEffects();
}

void ResetProgramState() {
    ResetSettings();
    gl_deviceCaptureId = gl_devicePlayId = -1;
    gl_enable_stereo = false;
    gl_CurrentCaptureDeviceName.clear();
    gl_CurrentPlaybackDeviceName.clear();
    gl_Working = true;
    ResetProcessingState();
    for (std::vector<MenuItem>* menu :
         {&glMAIN_MENU, &glVOICE_MENU, &glEFFECTS_MENU, &glAUDIOSETTINGS_MENU, &glHELP_MENU}) {
        menu->clear();
    }
    gl_PortableConfig.clear();
    glPortableConfiguration.clear();
}
