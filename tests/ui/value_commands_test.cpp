#include <gtest/gtest.h>

#include "UiTestState.h"

#include "support/ProgramState.h"
#include "ui/Commands.h"
#include "ui/MenuLabels.h"
#include "ui/MenuRender.h"
#include "ui/ValueCommands.h"

#include <climits>
#include <cmath>

TEST(TruncateToInt, TowardZeroAndSaturating) {
    EXPECT_EQ(TruncateToInt(1.99f), 1);
    EXPECT_EQ(TruncateToInt(-1.99f), -1);
    EXPECT_EQ(TruncateToInt(3.0e9f), INT_MAX);
    EXPECT_EQ(TruncateToInt(-3.0e9f), INT_MIN);
    EXPECT_EQ(TruncateToInt(NAN), 0);
}

TEST(ParseIntegerInput, ReadsTheLeadingNumberLikeAtoi) {
    EXPECT_EQ(ParseIntegerInput(""), 0);
    EXPECT_EQ(ParseIntegerInput("\n"), 0);
    EXPECT_EQ(ParseIntegerInput("7\n"), 7);
    EXPECT_EQ(ParseIntegerInput("  -80\n"), -80);
    EXPECT_EQ(ParseIntegerInput("+12dB\n"), 12);
    EXPECT_EQ(ParseIntegerInput("abc\n"), 0);
    EXPECT_EQ(ParseIntegerInput("4\\\n5\n"), 4);  // a continued line does not join the number
    // Overlong numbers saturate rather than wrap back into range.
    EXPECT_EQ(ParseIntegerInput("4294967346\n"), INT_MAX);
    EXPECT_EQ(ParseIntegerInput("-99999999999999999999\n"), INT_MIN);
}

TEST(CustomPitch, SteppingClampsAtBothEnds) {
    EXPECT_FLOAT_EQ(StepCustomPitch(29.98f, 1), 30.0f);
    EXPECT_FLOAT_EQ(StepCustomPitch(-15.0f, -1), -15.0f);
    EXPECT_FLOAT_EQ(StepCustomPitch(30.0f, 1), 30.0f);
    EXPECT_EQ(StepCustomPitch(2.5f, 1), static_cast<float>(static_cast<double>(2.5f) + 0.05));
    EXPECT_EQ(StepCustomPitch(0.0f, -1), static_cast<float>(-0.05));
}

TEST(CustomPitch, TypedValues) {
    EXPECT_EQ(CustomPitchFromInput("12.345\n", 0.0f), 12.345f);
    EXPECT_EQ(PitchText(CustomPitchFromInput("12.345\n", 0.0f)), "12.35");
    EXPECT_EQ(CustomPitchFromInput("\n", 4.25f), 4.25f);
    EXPECT_EQ(CustomPitchFromInput("abc\n", 4.25f), 0.0f);
    EXPECT_EQ(CustomPitchFromInput("-40\n", 4.25f), -15.0f);
    EXPECT_EQ(CustomPitchFromInput("1e300\n", 4.25f), 30.0f);
    EXPECT_EQ(CustomPitchFromInput("inf\n", 4.25f), 30.0f);
    EXPECT_EQ(CustomPitchFromInput("-inf\n", 4.25f), -15.0f);
    EXPECT_EQ(CustomPitchFromInput("nan\n", 4.25f), 4.25f);
    EXPECT_EQ(CustomPitchFromInput("3\\\n9\n", 0.0f), 3.0f);
}

TEST(Sensitivity, StepsCycleThroughTheFullState) {
    EXPECT_EQ(StepSensitivityPercent(0.0f, 1), 1);
    EXPECT_EQ(StepSensitivityPercent(0.0f, -1), 99);
    EXPECT_EQ(StepSensitivityPercent(SensitivityFromPercent(99), 1), 100);
    EXPECT_EQ(StepSensitivityPercent(SensitivityFromPercent(1), -1), 0);
    EXPECT_EQ(StepSensitivityPercent(SensitivityFromPercent(50), -1), 49);
    EXPECT_EQ(SensitivityFromPercent(75), 0.025f);
    EXPECT_EQ(SensitivityFromPercent(0), 0.0f);
    EXPECT_EQ(SensitivityFromPercent(100), 0.0f);
    EXPECT_EQ(SensitivityFromPercent(-5), 0.0f);
}

TEST(ToneGain, StepsClampAndScale) {
    EXPECT_EQ(ClampGainSteps(-80), -60);
    EXPECT_EQ(ClampGainSteps(61), 60);
    EXPECT_EQ(GainFromSteps(-60), -30.0f);
    EXPECT_EQ(StepGainSteps(-30.0f, -1), -61);
    EXPECT_EQ(StepGainSteps(-0.5f, 1), 0);
    EXPECT_EQ(StepGainSteps(0.25f, 1), 1);  // 1 + 0.5, truncated
    EXPECT_EQ(GainSteps(-7.5f), -15);
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override { ResetUiState(); }
};

TEST_F(CommandTest, IgnoresValuesOutsideTheEnumeration) {
    SS_MORAVEL_ACTIVE = false;
    for (int command : {0, 39, -1, -31, INT_MIN, INT_MAX}) handleCommand(static_cast<MVCommands>(command), 0);
    EXPECT_FALSE(SS_MORAVEL_ACTIVE);
    EXPECT_TRUE(gl_Working);
    for (const MenuItem& item : glMAIN_MENU) EXPECT_EQ(item.valueLabel, "");
}

TEST_F(CommandTest, TogglesFlipAndLabel) {
    SS_MORAVEL_ACTIVE = false;
    handleCommand(CMD_TURN_ON_OFF, 0);
    EXPECT_TRUE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(glMAIN_MENU[0].valueLabel, "On");
    EXPECT_EQ(glMAIN_MENU[0].valueColor, 92);
    handleCommand(CMD_TURN_ON_OFF, 1);  // "+" does what Enter does
    EXPECT_FALSE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(glMAIN_MENU[0].valueLabel, "Off");
    EXPECT_EQ(glMAIN_MENU[0].valueColor, 91);

    handleCommand(CMD_NOISE_REMOVAL, 0);
    EXPECT_TRUE(SS_EnableNoiseRemoval);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[0].valueLabel, "*");
    handleCommand(CMD_APPEND_ORIGINAL_VOICE, -1);
    EXPECT_TRUE(overlapOriginalVoice);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[4].valueLabel, "*");
    handleCommand(CMD_NOISE_REMOVAL, 0);
    EXPECT_FALSE(SS_EnableNoiseRemoval);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[0].valueLabel, "");
}

TEST_F(CommandTest, EffectSelectionSetsIdAndMainLabel) {
    struct Case {
        MVCommands command;
        int id;
        const char* label;
    };
    const Case voices[] = {
        {CMD_VOICE_ALIEN, 9, "Alien"},           {CMD_VOICE_ATARI, 13, "Atari"},
        {CMD_VOICE_CLONE, 15, "Clone"},          {CMD_VOICE_MUTATION, 10, "Mutation"},
        {CMD_VOICE_FAST_MUTATION, 12, "Fast Mutation"},
        {CMD_VOICE_SLOW_MUTATION, 11, "Slow Mutation"},
        {CMD_VOICE_MALE_PITCH, 5, "Male pitch"}, {CMD_VOICE_FEMALE_PITCH, 6, "Female Pitch"},
        {CMD_VOICE_HELIUM_PITCH, 7, "Helium Pitch"}, {CMD_VOICE_BABY_PITCH, 8, "Baby Pitch"},
        {CMD_VOICE_RADIO, 16, "Radio"},          {CMD_VOICE_ROBOT, 4, "Robot"},
        {CMD_VOICE_SILENCE, 17, "Silence"},      {CMD_VOICE_CLEAR, 0, ""},
    };
    for (const Case& c : voices) {
        handleCommand(c.command, 0);
        EXPECT_EQ(SS_VavorOzodediEffect, c.id) << c.label;
        EXPECT_EQ(glMAIN_MENU[1].valueLabel, c.label);
    }
    const Case sounds[] = {{CMD_EFFECT_TOWN_HALL, 1, "Town Hall"}, {CMD_EFFECT_ECHO, 2, "Echo"},
                           {CMD_EFFECT_CHORUS, 3, "Chorus"},       {CMD_EFFECT_GHOST, 4, "Ghost"},
                           {CMD_EFFECT_CLEAR, 0, ""}};
    for (const Case& c : sounds) {
        handleCommand(c.command, 1);
        EXPECT_EQ(SS_EffectType, c.id) << c.label;
        EXPECT_EQ(glMAIN_MENU[2].valueLabel, c.label);
    }
}

TEST_F(CommandTest, CustomPitchStepSelectsTheEffect) {
    SS_VavorOzodediEffect = 4;
    SS_Manual_Pitch = 29.98f;
    handleCommand(CMD_VOICE_CUSTOM_PITCH, 1);
    EXPECT_EQ(SS_Manual_Pitch, 30.0f);
    EXPECT_EQ(SS_VavorOzodediEffect, 14);
    EXPECT_EQ(glVOICE_MENU[12].valueLabel, "30.00");
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "Custom Pitch|30.00");

    SS_Manual_Pitch = -15.0f;
    handleCommand(CMD_VOICE_CUSTOM_PITCH, -1);
    EXPECT_EQ(SS_Manual_Pitch, -15.0f);
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "Custom Pitch|-15.00");

    // Another voice keeps the pitch shown on the custom pitch item.
    handleCommand(CMD_VOICE_ROBOT, 0);
    EXPECT_EQ(glMAIN_MENU[1].valueLabel, "Robot");
    EXPECT_EQ(glVOICE_MENU[12].valueLabel, "-15.00");
}

TEST_F(CommandTest, SensitivityStepsWrapThroughTheEmptyLabel) {
    SS_Microphone_Sensivity = 0.0f;
    handleCommand(CMD_SENSITIVITY, -1);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[1].valueLabel, "99%");
    EXPECT_EQ(SS_Microphone_Sensivity, 0.001f);
    handleCommand(CMD_SENSITIVITY, 1);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[1].valueLabel, "");
    EXPECT_EQ(SS_Microphone_Sensivity, 0.0f);
    handleCommand(CMD_SENSITIVITY, 1);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[1].valueLabel, "1%");
    EXPECT_EQ(SS_Microphone_Sensivity, 0.099f);
    handleCommand(CMD_SENSITIVITY, -1);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[1].valueLabel, "");
    EXPECT_EQ(SS_Microphone_Sensivity, 0.0f);
}

TEST_F(CommandTest, BassAndTrebleStepInHalfDecibels) {
    gl_bass = -30.0f;
    handleCommand(CMD_BASS, -1);
    EXPECT_EQ(gl_bass, -30.0f);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[2].valueLabel, "-60dB");
    gl_bass = -0.5f;
    handleCommand(CMD_BASS, 1);
    EXPECT_EQ(gl_bass, 0.0f);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[2].valueLabel, "");

    gl_treble = 0.0f;
    handleCommand(CMD_TREBLE, 1);
    EXPECT_EQ(gl_treble, 0.5f);
    EXPECT_EQ(glAUDIOSETTINGS_MENU[3].valueLabel, "1dB");
    EXPECT_EQ(glAUDIOSETTINGS_MENU[2].valueLabel, "");
}
