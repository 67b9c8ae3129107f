#include "ConfigTestSupport.h"

#include "config/PortableConfig.h"
#include "config/Settings.h"

using configtest::ConfigTest;
using configtest::ReadWholeFile;
using configtest::ReplacementWatch;
using configtest::WriteWholeFile;

namespace {

const char* const kFreshFile =
    "ENABLED=1\n"
    "VOICE_EFFECT=8\n"
    "SOUND_EFFECT=0\n"
    "MANUAL_PITCH=0\n"
    "MICROPHONE_SENSIVITY=0\n"
    "MICROPHONE_BASS=0\n"
    "MICROPHONE_TREBLE=0\n"
    "OVERLAP_ORIGINAL_VOICE=0\n"
    "ENABLE_NOISE_REMOVAL=0\n"
    "CHAIN_EFFECT_1=0\n"
    "CHAIN_EFFECT_2=0\n"
    "CHAIN_EFFECT_3=0\n"
    "CHAIN_EFFECT_4=0\n";

// The value line of `key` in the file, without its line feed; empty when absent.
std::string StoredValue(const std::string& file, const std::string& key) {
    const std::string text = ReadWholeFile(file);
    const std::string start = key + "=";
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (text.compare(at, start.size(), start) == 0) {
            return text.substr(at + start.size(), end - at - start.size());
        }
        at = end + 1;
    }
    return "";
}

}  // namespace

class SettingsFile : public ConfigTest {
protected:
    void LoadFrom(const std::string& contents) {
        WriteWholeFile(ini(), contents);
        ConfigPortableApplication();
        LoadConfiguration();
    }
};

TEST_F(SettingsFile, AFreshStartLoadsTheDefaultsAndWritesTheKeysInOrder) {
    EXPECT_FALSE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 0);
    ReplacementWatch watch(dir(), "MVConsole.ini");
    if (!watch.ok()) GTEST_SKIP() << "no way to watch the folder here";
    ConfigPortableApplication();
    LoadConfiguration();

    EXPECT_TRUE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 8);
    EXPECT_EQ(SS_EffectType, 0);
    EXPECT_EQ(SS_Manual_Pitch, 0.0f);
    EXPECT_EQ(SS_Microphone_Sensivity, 0.0f);
    EXPECT_EQ(gl_bass, 0.0f);
    EXPECT_EQ(gl_treble, 0.0f);
    EXPECT_FALSE(overlapOriginalVoice);
    EXPECT_FALSE(SS_EnableNoiseRemoval);
    EXPECT_EQ(SS_ChainEffect_1, 0);
    EXPECT_EQ(SS_ChainEffect_4, 0);
    EXPECT_EQ(ReadWholeFile(ini()), kFreshFile);
    EXPECT_EQ(watch.Take(), 13);  // one write per missing key
}

TEST_F(SettingsFile, OneSaveWritesTheFileFourteenTimesAndKeepsTheLineOrder) {
    LoadFrom(std::string("DEVICE_CAPTURE_IDX=2\n") + kFreshFile + "UNKNOWN=x\n");
    SS_VavorOzodediEffect = 5;
    gl_treble = 1.5f;
    ReplacementWatch watch(dir(), "MVConsole.ini");
    if (!watch.ok()) GTEST_SKIP() << "no way to watch the folder here";
    SaveCurrentConfiguration();
    EXPECT_EQ(watch.Take(), 14);

    std::string expected = std::string("DEVICE_CAPTURE_IDX=2\n") + kFreshFile + "UNKNOWN=x\n";
    expected.replace(expected.find("VOICE_EFFECT=8"), 14, "VOICE_EFFECT=5");
    expected.replace(expected.find("MICROPHONE_TREBLE=0"), 19, "MICROPHONE_TREBLE=150");
    EXPECT_EQ(ReadWholeFile(ini()), expected);
}

TEST_F(SettingsFile, MissingKeysAreAppendedInTableOrderAfterTheOthers) {
    LoadFrom("CHAIN_EFFECT_2=3\nSOUND_EFFECT=2\n");
    EXPECT_EQ(SS_EffectType, 2);
    EXPECT_EQ(SS_ChainEffect_2, 3);
    EXPECT_EQ(ReadWholeFile(ini()),
              "CHAIN_EFFECT_2=3\nSOUND_EFFECT=2\nENABLED=1\nVOICE_EFFECT=8\nMANUAL_PITCH=0\n"
              "MICROPHONE_SENSIVITY=0\nMICROPHONE_BASS=0\nMICROPHONE_TREBLE=0\n"
              "OVERLAP_ORIGINAL_VOICE=0\nENABLE_NOISE_REMOVAL=0\nCHAIN_EFFECT_1=0\n"
              "CHAIN_EFFECT_3=0\nCHAIN_EFFECT_4=0\n");
}

TEST_F(SettingsFile, EverySettingSavesUnderItsOwnKey) {
    ConfigPortableApplication();
    LoadConfiguration();
    SS_MORAVEL_ACTIVE = false;
    SS_VavorOzodediEffect = 20;
    SS_EffectType = 3;
    SS_Manual_Pitch = 2.5f;
    SS_Microphone_Sensivity = 0.02f;
    gl_bass = -30.0f;
    gl_treble = 6.0f;
    overlapOriginalVoice = true;
    SS_EnableNoiseRemoval = true;
    SS_ChainEffect_1 = 4;
    SS_ChainEffect_2 = 9;
    SS_ChainEffect_3 = -1;
    SS_ChainEffect_4 = 17;
    SaveCurrentConfiguration();
    EXPECT_EQ(ReadWholeFile(ini()),
              "ENABLED=0\nVOICE_EFFECT=20\nSOUND_EFFECT=3\nMANUAL_PITCH=250\n"
              "MICROPHONE_SENSIVITY=20\nMICROPHONE_BASS=-3000\nMICROPHONE_TREBLE=600\n"
              "OVERLAP_ORIGINAL_VOICE=1\nENABLE_NOISE_REMOVAL=1\nCHAIN_EFFECT_1=4\n"
              "CHAIN_EFFECT_2=9\nCHAIN_EFFECT_3=-1\nCHAIN_EFFECT_4=17\n");

    // And every value comes back the same.
    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 0;
    gl_bass = 0.0f;
    ConfigPortableApplication();
    LoadConfiguration();
    EXPECT_FALSE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 20);
    EXPECT_EQ(SS_EffectType, 3);
    EXPECT_EQ(SS_Manual_Pitch, 2.5f);
    EXPECT_EQ(SS_Microphone_Sensivity, 0.02f);
    EXPECT_EQ(gl_bass, -30.0f);
    EXPECT_EQ(gl_treble, 6.0f);
    EXPECT_TRUE(overlapOriginalVoice);
    EXPECT_TRUE(SS_EnableNoiseRemoval);
    EXPECT_EQ(SS_ChainEffect_1, 4);
    EXPECT_EQ(SS_ChainEffect_2, 9);
    EXPECT_EQ(SS_ChainEffect_3, -1);
    EXPECT_EQ(SS_ChainEffect_4, 17);
}

TEST_F(SettingsFile, ScaledSettingsLoadAndSaveInSinglePrecision) {
    LoadFrom("MANUAL_PITCH=250\nMICROPHONE_SENSIVITY=20\nMICROPHONE_BASS=-3000\nMICROPHONE_TREBLE=5\n");
    EXPECT_EQ(SS_Manual_Pitch, 2.5f);
    EXPECT_EQ(SS_Microphone_Sensivity, 0.02f);
    EXPECT_EQ(gl_bass, -30.0f);
    EXPECT_EQ(gl_treble, 0.05f);

    SS_Manual_Pitch = -10.23f;  // held a little closer to zero, so it saves one hundredth less
    SS_Microphone_Sensivity = 0.0f;
    SaveCurrentConfiguration();
    EXPECT_EQ(StoredValue(ini(), "MANUAL_PITCH"), "-1022");
    EXPECT_EQ(StoredValue(ini(), "MICROPHONE_SENSIVITY"), "0");
    EXPECT_EQ(StoredValue(ini(), "MICROPHONE_BASS"), "-3000");
    EXPECT_EQ(StoredValue(ini(), "MICROPHONE_TREBLE"), "5");

    SS_Manual_Pitch = -0.05f;
    SaveCurrentConfiguration();
    EXPECT_EQ(StoredValue(ini(), "MANUAL_PITCH"), "-5");
}

TEST_F(SettingsFile, EffectIdsKeepTheirLowEightBits) {
    LoadFrom("VOICE_EFFECT=-1\nCHAIN_EFFECT_4=264\nCHAIN_EFFECT_1=257\nCHAIN_EFFECT_2=200\nCHAIN_EFFECT_3=-1\n");
    EXPECT_EQ(SS_VavorOzodediEffect, -1);
    EXPECT_EQ(SS_ChainEffect_4, 8);
    EXPECT_EQ(SS_ChainEffect_1, 1);
    EXPECT_EQ(SS_ChainEffect_2, -56);
    EXPECT_EQ(SS_ChainEffect_3, -1);
    SaveCurrentConfiguration();
    EXPECT_EQ(StoredValue(ini(), "VOICE_EFFECT"), "-1");
    EXPECT_EQ(StoredValue(ini(), "CHAIN_EFFECT_4"), "8");
    EXPECT_EQ(StoredValue(ini(), "CHAIN_EFFECT_1"), "1");
    EXPECT_EQ(StoredValue(ini(), "CHAIN_EFFECT_2"), "-56");
    EXPECT_EQ(StoredValue(ini(), "CHAIN_EFFECT_3"), "-1");
}

TEST_F(SettingsFile, TextThatIsNoNumberLoadsAsZero) {
    LoadFrom("ENABLED=abc\nVOICE_EFFECT=\nSOUND_EFFECT=x3\nMANUAL_PITCH=pitch\n");
    EXPECT_FALSE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 0);
    EXPECT_EQ(SS_EffectType, 0);
    EXPECT_EQ(SS_Manual_Pitch, 0.0f);
}

TEST_F(SettingsFile, WindowsLineEndsAndTrailingTextStillConvert) {
    LoadFrom("ENABLED=1\r\nVOICE_EFFECT=13\r\nMANUAL_PITCH=250 semitone hundredths\r\n"
             "OVERLAP_ORIGINAL_VOICE=2\r\nSOUND_EFFECT= 4\r\n");
    EXPECT_TRUE(SS_MORAVEL_ACTIVE);
    EXPECT_EQ(SS_VavorOzodediEffect, 13);
    EXPECT_EQ(SS_Manual_Pitch, 2.5f);
    EXPECT_TRUE(overlapOriginalVoice);
    EXPECT_EQ(SS_EffectType, 4);
}

TEST_F(SettingsFile, ValuesThePitchAndFiltersCannotTakeAreHeldToTheMenusRange) {
    // A pitch of -1000 semitones crashes the pitch processor and +200 makes it spin; a gain of
    // millions of dB makes the filter's output infinite.
    LoadFrom("MANUAL_PITCH=-100000\nSOUND_EFFECT=99\nMICROPHONE_BASS=2147483647\n"
             "MICROPHONE_TREBLE=-2147483648\n");
    EXPECT_EQ(SS_Manual_Pitch, -15.0f);
    EXPECT_EQ(gl_bass, 30.0f);
    EXPECT_EQ(gl_treble, -30.0f);
    EXPECT_EQ(SS_EffectType, 99) << "an unknown sound effect id is harmless and stays";
    SaveCurrentConfiguration();
    EXPECT_EQ(StoredValue(ini(), "MANUAL_PITCH"), "-1500");
    EXPECT_EQ(StoredValue(ini(), "SOUND_EFFECT"), "99");
    EXPECT_EQ(StoredValue(ini(), "MICROPHONE_BASS"), "3000");
    EXPECT_EQ(StoredValue(ini(), "MICROPHONE_TREBLE"), "-3000");
    LoadFrom("MANUAL_PITCH=20000\nMICROPHONE_BASS=3000\nMICROPHONE_TREBLE=-3000\n");
    EXPECT_EQ(SS_Manual_Pitch, 30.0f);
    EXPECT_EQ(gl_bass, 30.0f) << "the ends of the range are kept";
    EXPECT_EQ(gl_treble, -30.0f);
}

TEST_F(SettingsFile, DeviceKeysAreNeitherReadNorWritten) {
    LoadFrom("DEVICE_CAPTURE_IDX=3\nDEVICE_PLAYBACK_IDX=4\nENABLE_STEREO=1\n");
    EXPECT_EQ(gl_deviceCaptureId, -1);
    EXPECT_EQ(gl_devicePlayId, -1);
    EXPECT_FALSE(gl_enable_stereo);
    gl_deviceCaptureId = 7;
    SaveCurrentConfiguration();
    EXPECT_EQ(StoredValue(ini(), "DEVICE_CAPTURE_IDX"), "3");
    EXPECT_EQ(StoredValue(ini(), "DEVICE_PLAYBACK_IDX"), "4");
    EXPECT_EQ(StoredValue(ini(), "ENABLE_STEREO"), "1");
}
