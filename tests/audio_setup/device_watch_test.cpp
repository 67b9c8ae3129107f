// Which device a loss is about, from what the backend reported and a fresh listing.
#include <gtest/gtest.h>

#include "audio/setup/DeviceWatch.h"

namespace {

std::vector<AudioDeviceInfo> List(std::initializer_list<const char*> names) {
    std::vector<AudioDeviceInfo> list;
    for (const char* name : names) list.push_back({std::string("id-") + name, name, false});
    return list;
}

}  // namespace

TEST(DeviceWatch, TheListingSaysWhichDeviceIsGoneWhateverTheBackendReported) {
    const auto mics = List({"Microphone", "Webcam"});
    const auto cables = List({"Virtual cable", "Speakers"});
    struct Case {
        DeviceLoss reported;
        bool listed;
        std::vector<AudioDeviceInfo> capture, playback;
        DeviceLoss what;
        std::string name;
    };
    const Case cases[] = {
        // No listing: the server is gone, whatever a stream said first.
        {DeviceLoss::capture, false, {}, {}, DeviceLoss::server, ""},
        // The cable unloaded, though SDL blamed the microphone.
        {DeviceLoss::capture, true, mics, List({"Speakers"}), DeviceLoss::playback, "Virtual cable"},
        {DeviceLoss::server, true, List({"Webcam"}), cables, DeviceLoss::capture, "Microphone"},
        // Both listed again already (a quick restart): the backend's word stands.
        {DeviceLoss::playback, true, mics, cables, DeviceLoss::playback, "Virtual cable"},
        {DeviceLoss::server, true, mics, cables, DeviceLoss::server, ""},
    };
    for (const Case& c : cases) {
        const LostDevice lost = identify_lost_device(c.reported, c.listed, c.capture, c.playback,
                                                     "Microphone", "Virtual cable");
        EXPECT_EQ(lost.what, c.what);
        EXPECT_EQ(lost.name, c.name);
    }
}
