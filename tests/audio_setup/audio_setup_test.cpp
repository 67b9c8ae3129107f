// The device set-up end to end on a pseudo-terminal: SDL's "dummy" driver (one device of each
// kind, none flagged as default), "disk" without a microphone file (the device cannot open),
// ALSA without sound cards (empty lists), an unreachable PulseAudio (no context), and a private
// PulseAudio daemon where one is available.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "support/ProgramState.h"
#include "audio/setup/AudioSetup.h"
#include "ui/AudioSetupDialog.h"
#include "config/PortableConfig.h"
#include "support/ChildProcess.h"
#include "support/PrivateSoundServer.h"
#include "support/TempDir.h"

namespace {

// The dialog's text as the program writes it, on a screen wide enough for its longest lines.
const ChildProcess::Screen kScreen{40, 100, true};

const std::string kCaptureHeading =
    "Capture Devices [Usually you have to select your physical microphone device]\n";
const std::string kPlaybackHeading =
    "\nPlayback Devices [Usually you have to select your virtual audio/cable device]\n";

// One line the child prints after each set-up, for the parent to check.
void PrintOutcome(int result) {
    // A running device calls the callback within a few periods; allow for a loaded machine.
    for (int i = 0; i < 300 && isSetupReady && gl_device.callbacks.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("\nRESULT rc=%d ready=%d capture=[%s] playback=[%s] stereo=%d channels=%u "
                "running=%d\n",
                result, isSetupReady ? 1 : 0, gl_CurrentCaptureDeviceName.c_str(),
                gl_CurrentPlaybackDeviceName.c_str(), gl_enable_stereo ? 1 : 0,
                gl_device.capture.channels, gl_device.callbacks.load() > 0 ? 1 : 0);
    std::fflush(stdout);
}

// What main does around the set-up: read the configuration, set up, and at exit close the
// device and release everything; then whether SDL's audio is still held.
int SetupAndQuit(bool useSavedDevices) {
    ConfigPortableApplication();
    PrintOutcome(SetupAudioProcessing(useSavedDevices));
    audio_device_uninit(&gl_device);
    applicationClear();
    std::printf("RELEASED sdl=%u\n", SDL_WasInit(SDL_INIT_AUDIO));
    return 0;
}

std::string Outcome(int rc, int ready, const std::string& capture, const std::string& playback,
                    int stereo, int channels, int running) {
    return "RESULT rc=" + std::to_string(rc) + " ready=" + std::to_string(ready) + " capture=[" +
           capture + "] playback=[" + playback + "] stereo=" + std::to_string(stereo) +
           " channels=" + std::to_string(channels) + " running=" + std::to_string(running);
}

// Waits for each prompt in turn and types its answer; false at the first that does not come.
bool Answer(ChildProcess& pty, const std::vector<std::pair<std::string, std::string>>& dialog) {
    for (const auto& [prompt, keys] : dialog) {
        if (!pty.wait_for(prompt)) {
            ADD_FAILURE() << "no prompt " << testing::PrintToString(prompt) << " in "
                          << testing::PrintToString(pty.output());
            return false;
        }
        pty.type(keys);
    }
    return true;
}

const std::string kDummyCapture = "System audio capture device";
const std::string kDummyPlayback = "System audio output device";

}  // namespace

TEST(AudioSetup, FreshStartAsksForBothDevicesAndSavesTheChoice) {
    TempDir dir;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(true); }), kScreen);

    ASSERT_TRUE(pty.wait_for(kCaptureHeading + "    0: " + kDummyCapture + "\n"));
    // No device is flagged as default and none is saved: Enter has nothing to accept.
    ASSERT_TRUE(Answer(pty, {{"Select capture device[-1]: ", "\r"},
                             {"Select capture device[-1]: ", "5\r"},     // not in the list
                             {"Select capture device[-1]: ", "mic\r"}}));  // a word: device 0
    ASSERT_TRUE(pty.wait_for(kPlaybackHeading + "    0: " + kDummyPlayback + "\n"));
    ASSERT_TRUE(Answer(pty, {{"Select playback device[-1]: ", "0\r"},
                             {"\nEnable stereo microphone? [y/N]: ", "y"}}));
    ASSERT_TRUE(pty.wait_for(Outcome(0, 1, kDummyCapture, kDummyPlayback, 1, 2, 1)))
        << pty.output();
    ASSERT_TRUE(pty.wait_for("RELEASED sdl=0"));
    EXPECT_EQ(pty.finish(), 0);
    const std::string ini = dir.Read("MVConsole.ini");
    EXPECT_NE(ini.find("DEVICE_CAPTURE_IDX=0\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("DEVICE_PLAYBACK_IDX=0\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ENABLE_STEREO=1\n"), std::string::npos) << ini;
}

TEST(AudioSetup, ValidSavedDevicesOpenWithoutAsking) {
    TempDir dir;
    dir.Write("MVConsole.ini", "DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\n");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(true); }), kScreen);
    ASSERT_TRUE(pty.wait_for(Outcome(0, 1, kDummyCapture, kDummyPlayback, 0, 1, 1)))
        << pty.output();
    EXPECT_EQ(pty.finish(), 0);
    EXPECT_EQ(pty.output().find("Capture Devices"), std::string::npos);
    EXPECT_EQ(pty.output().find("stereo microphone"), std::string::npos);
}

TEST(AudioSetup, DevicesAreFoundByTheirSavedNamesWhereverTheyAreListedNow) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    struct Case {
        std::string ini;
        bool asks;
    };
    // Positions that no longer fit are found by name; a name no device has any more asks.
    for (const Case& c :
         {Case{"DEVICE_CAPTURE_IDX=4\nDEVICE_PLAYBACK_IDX=7\nENABLE_STEREO=0\n"
               "DEVICE_CAPTURE_NAME=" + kDummyCapture + "\nDEVICE_PLAYBACK_NAME=" +
               kDummyPlayback + "\n", false},
          Case{"DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\n"
               "DEVICE_CAPTURE_NAME=USB microphone\nDEVICE_PLAYBACK_NAME=" + kDummyPlayback +
               "\n", true}}) {
        TempDir dir;
        dir.Write("MVConsole.ini", c.ini);
        ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(true); }), kScreen);
        if (c.asks) {
            ASSERT_TRUE(Answer(pty, {{"Select capture device[-1]: ", "0\r"},
                                     {"Select playback device[0]: ", "\r"},
                                     {"\nEnable stereo microphone? [y/N]: ", "n"}}));
        }
        ASSERT_TRUE(pty.wait_for(Outcome(0, 1, kDummyCapture, kDummyPlayback, 0, 1, 1)))
            << pty.output();
        EXPECT_EQ(pty.finish(), 0);
        EXPECT_EQ(pty.output().find("Capture Devices") != std::string::npos, c.asks);
        const std::string ini = dir.Read("MVConsole.ini");
        EXPECT_NE(ini.find("DEVICE_CAPTURE_IDX=0\n"), std::string::npos) << ini;
        EXPECT_NE(ini.find("ENABLE_STEREO=0\nDEVICE_CAPTURE_NAME=" + kDummyCapture +
                           "\nDEVICE_PLAYBACK_NAME=" + kDummyPlayback + "\n"),
                  std::string::npos)
            << ini;
    }
}

TEST(AudioSetup, SetupFromTheMenuOffersTheSavedDevicesAndKeepsStereoOnEnter) {
    TempDir dir;
    dir.Write("MVConsole.ini", "DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=1\n");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(false); }), kScreen);
    ASSERT_TRUE(Answer(pty, {{"Select capture device[0]: ", "\r"},
                             {"Select playback device[0]: ", "\r"},
                             {"\nEnable stereo microphone? [Y/n]: ", "\r"}}));
    ASSERT_TRUE(pty.wait_for(Outcome(0, 1, kDummyCapture, kDummyPlayback, 1, 2, 1)))
        << pty.output();
    EXPECT_EQ(pty.finish(), 0);
}

TEST(AudioSetup, AFailedOpenAfterARunningDeviceLeavesNothingRunningAndReleasesOnce) {
    TempDir dir;
    dir.Write("MVConsole.ini", "DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\n");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string missing = dir.path() + "/no-microphone.raw";
    const std::string sink = dir.path() + "/speaker.raw";
    ChildProcess pty(InDirectory(dir.path(), [&] {
        ConfigPortableApplication();
        PrintOutcome(SetupAudioProcessing(true));
        // Now a sound system whose microphone cannot open.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILEIN", missing.c_str(), 1);
        setenv("SDL_DISKAUDIOFILE", sink.c_str(), 1);
        gl_device.callbacks = 0;
        PrintOutcome(SetupAudioProcessing(true));
        audio_device_uninit(&gl_device);
        applicationClear();
        std::printf("RELEASED sdl=%u\n", SDL_WasInit(SDL_INIT_AUDIO));
        return 0;
    }), kScreen);
    ASSERT_TRUE(pty.wait_for(Outcome(0, 1, kDummyCapture, kDummyPlayback, 0, 1, 1)));
    const std::string saved = dir.Read("MVConsole.ini");
    // The sound system's reason follows on the next line.
    ASSERT_TRUE(pty.wait_for("\nCannot init audio device!\nSDL: Couldn't open " + missing +
                             "\n\nPress any key to continue."));
    EXPECT_EQ(pty.output().find("RESULT rc=-4"), std::string::npos)
        << "the reason stays on screen until a key is pressed";
    pty.type(" ");
    ASSERT_TRUE(pty.wait_for(Outcome(kAudioDeviceOpenFailed, 0, "", "", 0, 1, 0))) << pty.output();
    ASSERT_TRUE(pty.wait_for("RELEASED sdl=0"));
    EXPECT_EQ(pty.finish(), 0);
    EXPECT_EQ(saved, "DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\n"
                     "DEVICE_CAPTURE_NAME=" + kDummyCapture + "\nDEVICE_PLAYBACK_NAME=" +
                     kDummyPlayback + "\n");
    EXPECT_EQ(dir.Read("MVConsole.ini"), saved) << "a failed set-up changes no device key";
}

TEST(AudioSetup, EmptyDeviceListsSaySoAndLeaveTheProgramWithoutAudio) {
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    TempDir dir;
    ChildProcess pty(InDirectory(dir.path(), [] {
        // Only a machine without sound cards has empty lists; the child looks, so that the
        // test process itself never holds SDL's audio.
        const bool alsa = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        const int cards = alsa ? SDL_GetNumAudioDevices(1) : -1;
        if (alsa) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::printf("CAPTURE CARDS %d.\n", cards);
        std::fflush(stdout);
        if (cards != 0) return 0;
        ConfigPortableApplication();
        PrintOutcome(SetupAudioProcessing(true));
        PrintOutcome(SetupAudioProcessing(false));  // the menu's "Setup" again
        audio_device_uninit(&gl_device);
        applicationClear();
        std::printf("RELEASED sdl=%u\n", SDL_WasInit(SDL_INIT_AUDIO));
        return 0;
    }), kScreen);
    ASSERT_TRUE(pty.wait_for("CAPTURE CARDS "));
    ASSERT_TRUE(pty.wait_for("."));
    if (pty.output().find("CAPTURE CARDS 0.") == std::string::npos) {
        GTEST_SKIP() << "SDL's ALSA driver is missing or this machine has capture devices";
    }
    for (int setup = 0; setup < 2; ++setup) {
        ASSERT_TRUE(pty.wait_for("No capture devices found.\n\n\nPress any key to continue."));
        pty.type(" ");
        ASSERT_TRUE(pty.wait_for(Outcome(-2, 0, "", "", 0, 0, 0)));
    }
    ASSERT_TRUE(pty.wait_for("RELEASED sdl=0")) << "the context of each failed set-up was released";
    EXPECT_EQ(pty.finish(), 0);
    EXPECT_EQ(pty.output().find("Select capture device"), std::string::npos);
}

TEST(AudioSetup, NoSoundSystemFailsTheContext) {
    TempDir dir;
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/moravel/native", 1);
    ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(true); }), kScreen);
    ASSERT_TRUE(pty.wait_for("Failed to initialize context.\n")) << pty.output();
    ASSERT_TRUE(pty.wait_for("Press any key to continue."));
    pty.type(" ");
    ASSERT_TRUE(pty.wait_for(Outcome(-1, 0, "", "", 0, 0, 0)));
    ASSERT_TRUE(pty.wait_for("RELEASED sdl=0"));
    EXPECT_EQ(pty.finish(), 0);
}

TEST(AudioSetup, PrivatePulseOffersTheSystemDefaultsAndRunsTheDevice) {
    PrivateSoundServer pulse;
    std::string why;
    if (!pulse.Start("pulseaudio", why)) GTEST_SKIP() << why;

    TempDir dir;
    {
        ChildProcess pty(InDirectory(dir.path(), [] { return SetupAndQuit(true); }), kScreen);
        // "Microphone" and "Virtual cable" are the daemon's defaults.
        EXPECT_TRUE(pty.wait_for("    0: Microphone\n"));
        EXPECT_TRUE(Answer(pty, {{"Select capture device[0]: ", "\r"}}));
        EXPECT_TRUE(pty.wait_for("    1: Virtual cable\n"));
        EXPECT_TRUE(Answer(pty, {{"Select playback device[1]: ", "\r"}, {"[y/N]: ", "n"}}));
        EXPECT_TRUE(pty.wait_for(Outcome(0, 1, "Microphone", "Virtual cable", 0, 1, 1)))
            << pty.output();
        EXPECT_EQ(pty.finish(), 0);
    }
    pulse.Stop();
    EXPECT_NE(dir.Read("MVConsole.ini").find("DEVICE_PLAYBACK_IDX=1\n"), std::string::npos);
}
