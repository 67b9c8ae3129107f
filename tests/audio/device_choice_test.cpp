// The decisions of the device dialog: which index is offered, which answers select which
// device, and the texts it shows.
#include <gtest/gtest.h>

#include <vector>

#include "audio/setup/DeviceChoice.h"
#include "ui/AudioSetupDialog.h"

namespace {

std::vector<AudioDeviceInfo> Devices(std::initializer_list<bool> defaults) {
    std::vector<AudioDeviceInfo> list;
    int i = 0;
    for (bool isDefault : defaults) {
        AudioDeviceInfo info;
        info.id = "device-" + std::to_string(i);
        info.name = "Device " + std::to_string(i++);
        info.isDefault = isDefault;
        list.push_back(info);
    }
    return list;
}

}  // namespace

TEST(DeviceChoice, AnIndexIsValidInsideItsList) {
    EXPECT_TRUE(is_valid_device_index(0, 1));
    EXPECT_TRUE(is_valid_device_index(2, 3));
    EXPECT_FALSE(is_valid_device_index(3, 3));
    EXPECT_FALSE(is_valid_device_index(-1, 3));
    EXPECT_FALSE(is_valid_device_index(0, 0));
}

TEST(DeviceChoice, ASavedNameFindsItsDeviceWhereverItIsListed) {
    const auto list = Devices({false, false, false});
    const std::string moved = "Device 2";
    const std::string gone = "USB microphone";
    EXPECT_EQ(saved_device_index(list.data(), 3, 0, &moved), 2) << "the name wins";
    EXPECT_EQ(saved_device_index(list.data(), 3, 9, &moved), 2);
    EXPECT_EQ(saved_device_index(list.data(), 3, 1, &gone), -1) << "gone: the dialog must ask";
    EXPECT_EQ(saved_device_index(list.data(), 3, 1, nullptr), 1) << "no name saved: the position";
    EXPECT_EQ(saved_device_index(list.data(), 3, 7, nullptr), 7);
}

TEST(DeviceChoice, CaptureOffersTheLastDefaultOverTheSavedChoice) {
    const auto list = Devices({false, true, false, true});
    EXPECT_EQ(offered_capture_index(list.data(), 4, 0), 3);
    const auto none = Devices({false, false, false});
    EXPECT_EQ(offered_capture_index(none.data(), 3, 1), 1);
    EXPECT_EQ(offered_capture_index(none.data(), 3, -1), -1) << "nothing to offer";
}

TEST(DeviceChoice, PlaybackOffersTheSavedChoiceOverTheDefault) {
    const auto list = Devices({true, false, false});
    EXPECT_EQ(offered_playback_index(list.data(), 3, 2), 2);
    EXPECT_EQ(offered_playback_index(list.data(), 3, -1), 0);
    // A saved index of a device that is gone no longer counts as a choice.
    EXPECT_EQ(offered_playback_index(list.data(), 3, 5), 0);
    const auto none = Devices({false, false});
    EXPECT_EQ(offered_playback_index(none.data(), 2, -1), -1);
}

TEST(DeviceChoice, AnswersAreReadAsNumbersWithEnterKeepingTheOffer) {
    EXPECT_EQ(device_from_answer("\n", 2), 2);
    EXPECT_EQ(device_from_answer("", 2), 2);
    EXPECT_EQ(device_from_answer("1\n", 2), 1);
    EXPECT_EQ(device_from_answer("12\n", 2), 12);
    EXPECT_EQ(device_from_answer("  3 speakers\n", 2), 3);
    EXPECT_EQ(device_from_answer("microphone\n", 2), 0) << "a word selects device 0";
    EXPECT_EQ(device_from_answer("-4\n", 2), -4);
    EXPECT_EQ(device_from_answer("1\\\n2\n", 5), 1) << "the first line decides";
    EXPECT_EQ(device_from_answer("99999999999\n", 2), -1) << "no wrap into a valid index";
    EXPECT_EQ(device_from_answer("4294967296\n", 2), -1);
}

TEST(DeviceChoice, ListingAndPromptTexts) {
    const auto list = Devices({false, true});
    EXPECT_EQ(device_listing(list.data(), 2), "    0: Device 0\n    1: Device 1\n");
    EXPECT_EQ(device_listing(nullptr, 0), "");
    EXPECT_EQ(device_prompt("capture", 1), "Select capture device[1]: ");
    EXPECT_EQ(device_prompt("playback", -1), "Select playback device[-1]: ");
}

TEST(DeviceChoice, StereoQuestionMarksTheCurrentStateAndKeepsItUnlessAnswered) {
    EXPECT_EQ(stereo_options(true).first, "Y");
    EXPECT_EQ(stereo_options(true).second, "n");
    EXPECT_EQ(stereo_options(false).first, "y");
    EXPECT_EQ(stereo_options(false).second, "N");
    EXPECT_TRUE(stereo_from_answer(Term::Result::Yes, false));
    EXPECT_FALSE(stereo_from_answer(Term::Result::No, true));
    for (Term::Result other : {Term::Result::None, Term::Result::Abort, Term::Result::Invalid,
                               Term::Result::Error}) {
        EXPECT_TRUE(stereo_from_answer(other, true));
        EXPECT_FALSE(stereo_from_answer(other, false));
    }
}
