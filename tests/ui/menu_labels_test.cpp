#include <gtest/gtest.h>

#include "UiTestState.h"

#include "support/ProgramState.h"
#include "ui/MenuLabels.h"
#include "ui/MenuRender.h"
#include "ui/ValueCommands.h"

TEST(VoiceEffectLabel, EveryIdReadAsUnsigned8Bit) {
    const std::vector<std::pair<int, std::string>> expected = {
        {0, ""},
        {1, ""},
        {2, ""},
        {3, ""},
        {4, "Robot"},
        {5, "Male pitch"},
        {6, "Female Pitch"},
        {7, "Helium Pitch"},
        {8, "Baby Pitch"},
        {9, "Alien"},
        {10, "Mutation"},
        {11, "Slow Mutation"},
        {12, "Fast Mutation"},
        {13, "Atari"},
        {14, "Custom Pitch|-3.00"},
        {15, "Clone"},
        {16, "Radio"},
        {17, "Silence"},
        {18, ""},
        {20, ""},
        {127, ""},
        {-1, ""},
        {-128, ""},
    };
    for (const auto& [id, label] : expected)
        EXPECT_EQ(VoiceEffectLabel(static_cast<int8_t>(id), -3.0f), label) << id;
}

TEST(SoundEffectLabel, OneToFourAndEmptyOtherwise) {
    EXPECT_EQ(SoundEffectLabel(0), "");
    EXPECT_EQ(SoundEffectLabel(1), "Town Hall");
    EXPECT_EQ(SoundEffectLabel(2), "Echo");
    EXPECT_EQ(SoundEffectLabel(3), "Chorus");
    EXPECT_EQ(SoundEffectLabel(4), "Ghost");
    EXPECT_EQ(SoundEffectLabel(5), "");
    EXPECT_EQ(SoundEffectLabel(-1), "");
    EXPECT_EQ(SoundEffectLabel(INT32_MIN), "");
}

TEST(PitchText, TwoDecimalsOfTheStoredFloat) {
    EXPECT_EQ(PitchText(2.5f), "2.50");
    EXPECT_EQ(PitchText(-15.0f), "-15.00");
    EXPECT_EQ(PitchText(12.345f), "12.35");  // the float lies just above 12.345
    EXPECT_EQ(PitchText(0.0f), "0.00");
    // Cut to 19 characters, never written past the buffer.
    EXPECT_EQ(PitchText(3.0e38f).size(), 19u);
}

TEST(SensitivityLabel, PercentInSinglePrecision) {
    EXPECT_EQ(SensitivityLabel(0.0f), "");
    EXPECT_EQ(SensitivityLabel(0.05f), "50%");
    EXPECT_EQ(SensitivityLabel(0.09f), "10%");
    EXPECT_EQ(SensitivityLabel(0.1f), "0%");
    EXPECT_EQ(SensitivityLabel(0.2f), "-100%");
    EXPECT_EQ(SensitivityLabel(-0.5f), "");
}

TEST(SensitivityLabel, ShowsExactlyThePercentThatWasStored) {
    for (int g = 1; g <= 99; ++g)
        EXPECT_EQ(SensitivityLabel(SensitivityFromPercent(g)), std::to_string(g) + "%") << g;
}

TEST(GainLabel, TwiceTheStoredGainTruncated) {
    EXPECT_EQ(GainLabel(0.0f), "");
    EXPECT_EQ(GainLabel(0.25f), "");
    EXPECT_EQ(GainLabel(-0.25f), "");
    EXPECT_EQ(GainLabel(-7.5f), "-15dB");
    EXPECT_EQ(GainLabel(-6.0f), "-12dB");
    EXPECT_EQ(GainLabel(30.0f), "60dB");
    EXPECT_EQ(GainLabel(0.75f), "1dB");
}

TEST(UpdateMenuLabels, ProcessingOffIsRedAndOnIsGreen) {
    ResetUiState();
    SS_MORAVEL_ACTIVE = false;
    UpdateMenuLabels();
    EXPECT_EQ(glMAIN_MENU[0].valueLabel, "Off");
    EXPECT_EQ(glMAIN_MENU[0].valueColor, 91);
    SS_MORAVEL_ACTIVE = true;
    UpdateMenuLabels();
    EXPECT_EQ(glMAIN_MENU[0].valueLabel, "On");
    EXPECT_EQ(glMAIN_MENU[0].valueColor, 92);
}

TEST(UpdateMenuLabels, CustomPitchFillsBothItems) {
    ResetUiState();
    SS_VavorOzodediEffect = 14;
    SS_Manual_Pitch = -15.0f;
    UpdateMenuLabels();
    EXPECT_EQ(glVOICE_MENU[12].valueLabel, "-15.00");
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "Custom Pitch|-15.00");
}

TEST(UpdateMenuLabels, OtherVoicesLeaveTheCustomPitchItemAlone) {
    ResetUiState();
    SS_Manual_Pitch = 2.5f;
    for (int id : {0, 8, 20}) {
        SS_VavorOzodediEffect = static_cast<int8_t>(id);
        UpdateMenuLabels();
        EXPECT_EQ(glVOICE_MENU[12].valueLabel, "") << id;
    }
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "");
    SS_VavorOzodediEffect = 8;
    UpdateMenuLabels();
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "Baby Pitch");
}

TEST(UpdateMenuLabels, AudioSettingsAndSoundEffect) {
    ResetUiState();
    SS_EffectType = 3;
    SS_EnableNoiseRemoval = true;
    overlapOriginalVoice = true;
    SS_Microphone_Sensivity = 0.025f;
    gl_bass = -30.0f;
    gl_treble = 0.5f;
    UpdateMenuLabels();
    EXPECT_EQ(glMAIN_MENU[2].valueLabel, "Chorus");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[0].valueLabel, "*");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[1].valueLabel, "75%");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[2].valueLabel, "-60dB");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[3].valueLabel, "1dB");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[4].valueLabel, "*");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[5].valueLabel, "");
    for (const MenuItem& item : glAUDIOSETTINGS_MENU) EXPECT_EQ(item.valueColor, 92);

    SS_EffectType = -1;
    SS_EnableNoiseRemoval = false;
    overlapOriginalVoice = false;
    SS_Microphone_Sensivity = 0.0f;
    gl_bass = 0.0f;
    gl_treble = 0.0f;
    UpdateMenuLabels();
    EXPECT_EQ(glMAIN_MENU[2].valueLabel, "");
    for (const MenuItem& item : glAUDIOSETTINGS_MENU) EXPECT_EQ(item.valueLabel, "");
}
