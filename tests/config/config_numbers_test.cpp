#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "config/ConfigNumbers.h"

TEST(ConfigTextToInt, ReadsTheLeadingNumberLikeAtoi) {
    EXPECT_EQ(ConfigTextToInt("42"), 42);
    EXPECT_EQ(ConfigTextToInt("-15"), -15);
    EXPECT_EQ(ConfigTextToInt("+7"), 7);
    EXPECT_EQ(ConfigTextToInt("007"), 7);
    EXPECT_EQ(ConfigTextToInt(" \t\n\v\f\r12"), 12);
    EXPECT_EQ(ConfigTextToInt("250\r"), 250);
    EXPECT_EQ(ConfigTextToInt("12abc"), 12);
    EXPECT_EQ(ConfigTextToInt("3.9"), 3);
    EXPECT_EQ(ConfigTextToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ConfigTextToInt("2147483647"), INT_MAX);
}

TEST(ConfigTextToInt, TextThatIsNoNumberGivesZero) {
    EXPECT_EQ(ConfigTextToInt(""), 0);
    EXPECT_EQ(ConfigTextToInt("abc"), 0);
    EXPECT_EQ(ConfigTextToInt("- 5"), 0);
    EXPECT_EQ(ConfigTextToInt("0x1F"), 0);
    EXPECT_EQ(ConfigTextToInt("true"), 0);
}

TEST(ConfigTextToInt, NumbersBeyondTheIntRangeNeitherThrowNorTrap) {
    EXPECT_EQ(ConfigTextToInt("4294967297"), 1);               // low 32 bits
    EXPECT_EQ(ConfigTextToInt("4294967304"), 8);
    EXPECT_EQ(ConfigTextToInt("99999999999999999999999"), -1);  // saturated long, low 32 bits
    EXPECT_EQ(ConfigTextToInt(std::string(5000, '9')), -1);
}

TEST(FormatConfigInt, PlainDecimal) {
    EXPECT_EQ(FormatConfigInt(0), "0");
    EXPECT_EQ(FormatConfigInt(7), "7");
    EXPECT_EQ(FormatConfigInt(-15), "-15");
    EXPECT_EQ(FormatConfigInt(INT_MIN), "-2147483648");
    EXPECT_EQ(FormatConfigInt(INT_MAX), "2147483647");
}

TEST(ScaledToStored, MultipliesInSinglePrecisionAndTruncatesTowardZero) {
    EXPECT_EQ(ScaledToStored(2.5f, 100.0f), 250);
    EXPECT_EQ(ScaledToStored(-0.05f, 100.0f), -5);
    // -10.23f is -10.2299995...; times 100 in float is -1022.99994, truncated to -1022.
    EXPECT_EQ(ScaledToStored(-10.23f, 100.0f), -1022);
    EXPECT_EQ(ScaledToStored(10.23f, 100.0f), 1022);
    EXPECT_EQ(ScaledToStored(0.02f, 1000.0f), 20);
    EXPECT_EQ(ScaledToStored(0.099f, 1000.0f), 99);
    EXPECT_EQ(ScaledToStored(-30.0f, 100.0f), -3000);
    EXPECT_EQ(ScaledToStored(30.0f, 100.0f), 3000);
    EXPECT_EQ(ScaledToStored(-15.0f, 100.0f), -1500);
    EXPECT_EQ(ScaledToStored(0.0f, 100.0f), 0);
    EXPECT_EQ(ScaledToStored(-0.0f, 1000.0f), 0);
}

TEST(ScaledToStored, ProductsOutsideTheIntRangeSaturate) {
    EXPECT_EQ(ScaledToStored(21474836.0f, 100.0f), INT_MAX);  // rounds to 2^31 in float
    EXPECT_EQ(ScaledToStored(-21474836.0f, 100.0f), INT_MIN);
    EXPECT_EQ(ScaledToStored(1e30f, 1000.0f), INT_MAX);
    EXPECT_EQ(ScaledToStored(-INFINITY, 100.0f), INT_MIN);
    EXPECT_EQ(ScaledToStored(NAN, 100.0f), 0);
    EXPECT_EQ(ScaledToStored(21474834.0f, 100.0f), 2147483392);  // just below 2^31
}

TEST(StoredToScaled, DividesInSinglePrecision) {
    EXPECT_EQ(StoredToScaled(250, 100.0f), 2.5f);
    EXPECT_EQ(StoredToScaled(-3000, 100.0f), -30.0f);
    EXPECT_EQ(StoredToScaled(20, 1000.0f), 0.02f);
    EXPECT_EQ(StoredToScaled(-1023, 100.0f), -10.23f);
    EXPECT_EQ(StoredToScaled(5000, 100.0f), 50.0f);
    EXPECT_EQ(StoredToScaled(0, 1000.0f), 0.0f);
}

TEST(LowByteSigned, KeepsTheLowEightBitsAsASignedNumber) {
    EXPECT_EQ(LowByteSigned(8), 8);
    EXPECT_EQ(LowByteSigned(264), 8);
    EXPECT_EQ(LowByteSigned(200), -56);
    EXPECT_EQ(LowByteSigned(257), 1);
    EXPECT_EQ(LowByteSigned(-1), -1);
    EXPECT_EQ(LowByteSigned(127), 127);
    EXPECT_EQ(LowByteSigned(128), -128);
    EXPECT_EQ(LowByteSigned(255), -1);
    EXPECT_EQ(LowByteSigned(-129), 127);
    EXPECT_EQ(LowByteSigned(INT_MIN), 0);
    EXPECT_EQ(LowByteSigned(INT_MAX), -1);
}

TEST(ConfigText, ADeviceNameSurvivesTheFileWhateverItHolds) {
    for (const std::string& name : {std::string("Microphone"), std::string("Mic = USB 50%"),
                                   std::string("a\nb\rc"), std::string("%3D literal"),
                                   std::string("")}) {
        const std::string value = EncodeConfigText(name);
        EXPECT_EQ(value.find_first_of("=\n\r"), std::string::npos) << value;
        EXPECT_EQ(DecodeConfigText(value), name);
    }
    EXPECT_EQ(EncodeConfigText("A=B%"), "A%3DB%25");
    EXPECT_EQ(DecodeConfigText("100% %zz %4"), "100% %zz %4") << "a stray % stays as it is";
}
