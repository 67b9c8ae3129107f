// The whole program on a pseudo-terminal, with SDL's "disk" driver (the microphone read from a
// file, the output written to one): hostile settings files, signals, a one-key answer followed
// by Enter, a resized terminal.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sched.h>
#include <sys/mount.h>
#endif

#include <cerrno>
#include <cmath>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "app/Lifecycle.h"
#include "support/ProgramState.h"
#include "support/MenuScreen.h"
#include "support/Signals.h"
#include "support/TempDir.h"

namespace {

// The disk driver's devices; both sides open as device 0.
const std::string kSavedDevices =
    "DEVICE_CAPTURE_IDX=0\nDEVICE_PLAYBACK_IDX=0\nENABLE_STEREO=0\n"
    "DEVICE_CAPTURE_NAME=System audio capture device\n"
    "DEVICE_PLAYBACK_NAME=System audio output device\n";

class WholeProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<float> tone = Tone(440.0, 0.5f, 5.0, 48000);
        std::ofstream(dir / "mic.raw", std::ios::binary)
            .write(reinterpret_cast<const char*>(tone.data()),
                   static_cast<std::streamsize>(tone.size() * sizeof(float)));
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILEIN", (dir / "mic.raw").c_str(), 1);
        setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
    }

    // The program as a user starts it, in the test's folder, or in `folder` after `prepare` made
    // it (a non-zero result from `prepare` ends the child with it instead); `check`, when given,
    // looks at the folder afterwards and its non-zero result becomes the child's.
    std::unique_ptr<MenuProgram> Start(const std::function<int()>& prepare = nullptr,
                                       const std::string& folder = "",
                                       const std::function<int()>& check = nullptr) {
        auto program = std::make_unique<MenuProgram>(InDirectory(dir.path(), [=] {
            const rlimit noCore{0, 0};  // the fatal-signal case leaves no core file behind
            setrlimit(RLIMIT_CORE, &noCore);
            if (prepare) {
                if (const int failed = prepare()) return failed;
                if (chdir(folder.c_str()) != 0) return 78;
            }
            const int result = MoravelConsoleMain();
            return result == 0 && check ? check() : result;
        }));
        return program;
    }

    bool AtMainMenu(MenuProgram& program) {
        return program.wait_until([&](const std::string&) {
            return program.Frames() >= 1 && FrameTitle(program.LastFrame()) == "Main menu";
        });
    }

    void Quit(MenuProgram& program) {
        program.type("q");
        ASSERT_TRUE(program.wait_for("Quit? [Y/n]: "));
        program.type("y");
        EXPECT_EQ(program.finish(), 0);
    }

    std::vector<float> Played() const {
        std::ifstream in(dir / "out.raw", std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::copy(bytes.begin(), bytes.begin() + samples.size() * sizeof(float),
                  reinterpret_cast<char*>(samples.data()));
        return samples;
    }

    TempDir dir;
};

}  // namespace

TEST_F(WholeProgram, ValuesNoProcessorCanTakeAreHeldAndTheSoundStaysFinite) {
    struct Case {
        std::string values;
        std::string voiceLabel;
    };
    for (const Case& c : {Case{"VOICE_EFFECT=14\nMANUAL_PITCH=-100000\n", "Custom Pitch|-15.00"},
                          Case{"VOICE_EFFECT=14\nMANUAL_PITCH=20000\n", "Custom Pitch|30.00"},
                          Case{"VOICE_EFFECT=0\nMICROPHONE_BASS=100000000\n"
                               "MICROPHONE_TREBLE=-100000000\n", ""}}) {
        dir.Write("MVConsole.ini", "ENABLED=1\n" + c.values + kSavedDevices);
        auto program = Start();
        ASSERT_TRUE(AtMainMenu(*program)) << program->output();
        const std::string row = FrameRow(program->LastFrame(), "Set Voice");
        EXPECT_EQ(row, c.voiceLabel.empty() ? "Set Voice" : "Set Voice (" + c.voiceLabel + ")");
        usleep(700000);  // the pitch processor at work
        Quit(*program);
        const std::vector<float> played = Played();
        EXPECT_GT(played.size(), 4800u) << c.values;
        EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](float x) { return std::isfinite(x); }))
            << c.values;
        EXPECT_GT(RmsDb(played), -60.0) << "something was heard: " << c.values;
    }
}

TEST_F(WholeProgram, EndingSignalsSaveWhatChangedAndLeaveTheTerminalAsFound) {
    struct Case {
        int signal_number;
        bool inSubMenu;
    };
    for (const Case& c : {Case{SIGTERM, false}, Case{SIGHUP, true}, Case{SIGINT, true}}) {
        dir.Write("MVConsole.ini", "ENABLED=1\n" + kSavedDevices);
        auto program = Start();
        ASSERT_TRUE(AtMainMenu(*program));
        if (c.inSubMenu) {
            // Audio settings, then "+" on its bass row: changed, the sub-menu still open.
            for (const std::string& key : {Keys::kEnd, Keys::kUp, Keys::kUp, Keys::kEnter}) {
                ASSERT_TRUE(program->Press(key));
            }
            ASSERT_EQ(FrameTitle(program->LastFrame()), "Audio settings");
            for (const std::string& key : {Keys::kDown, Keys::kDown, std::string("+")}) {
                ASSERT_TRUE(program->Press(key));
            }
            ASSERT_EQ(FrameRow(program->LastFrame(), "Bass"), "Bass (1dB)");
        } else {
            ASSERT_TRUE(program->Press(Keys::kEnter));  // processing off, in the main menu
        }
        if (c.signal_number == SIGINT) {
            program->type("\x03");
        } else {
            kill(program->pid(), c.signal_number);
        }
        const int status = program->wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number) << status;
        EXPECT_NE(program->output().find("Elapsed time since start is 0 minute(s). Bye!"),
                  std::string::npos);
        EXPECT_TRUE(SameMode(CurrentMode(program->terminal()), program->initial_mode()));
        const std::string ini = dir.Read("MVConsole.ini");
        EXPECT_NE(ini.find(c.inSubMenu ? "MICROPHONE_BASS=50\n" : "ENABLED=0\n"), std::string::npos)
            << ini;
    }
}

TEST_F(WholeProgram, AQuitSignalRestoresTheTerminalBeforeItsDefaultAction) {
    dir.Write("MVConsole.ini", "ENABLED=1\n" + kSavedDevices);
    auto program = Start();
    ASSERT_TRUE(AtMainMenu(*program));
    kill(program->pid(), SIGQUIT);
    const int status = program->wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGQUIT) << status;
    EXPECT_TRUE(SameMode(CurrentMode(program->terminal()), program->initial_mode()));
    const std::string& out = program->output();
    EXPECT_GT(out.rfind("\x1b[?1049l"), out.rfind("\x1b[?1049h"));
}

TEST_F(WholeProgram, TheEnterAfterTheStereoAnswerDoesNotReachTheMainMenu) {
    auto program = Start();
    ASSERT_TRUE(program->wait_for("Select capture device["));
    program->type("0\r");
    ASSERT_TRUE(program->wait_for("Select playback device["));
    program->type("0\r");
    ASSERT_TRUE(program->wait_for("Enable stereo microphone? [y/N]:"));
    program->type("n");
    usleep(150000);
    program->type("\r");
    ASSERT_TRUE(AtMainMenu(*program));
    usleep(600000);
    EXPECT_EQ(FrameRow(program->LastFrame(), "Turn on/off"), "Turn on/off (On)");
    Quit(*program);
    EXPECT_NE(dir.Read("MVConsole.ini").find("ENABLED=1\n"), std::string::npos);
}

TEST_F(WholeProgram, AResizedTerminalIsRedrawnAtOnce) {
    dir.Write("MVConsole.ini", "ENABLED=1\n" + kSavedDevices);
    auto program = Start();
    ASSERT_TRUE(AtMainMenu(*program));
    const int frames = program->Frames();
    winsize size{40, 100, 0, 0};
    ASSERT_EQ(ioctl(program->terminal(), TIOCSWINSZ, &size), 0);
    ASSERT_TRUE(program->wait_until([&](const std::string&) { return program->Frames() > frames; }))
        << "no key was pressed; the new size alone redraws";
    // The status line moves to the new last row.
    EXPECT_NE(program->LastFrame().find("\x1b[40;1H"), std::string::npos);

    // A change while a sub-menu has the screen holds for the main menu drawn after it too.
    program->type(Keys::kDown + "\r");
    ASSERT_TRUE(program->wait_until([&](const std::string&) {
        return FrameTitle(program->LastFrame()) == "Set Voice";
    }));
    const int inSubMenu = program->Frames();
    size.ws_row = 30;
    ASSERT_EQ(ioctl(program->terminal(), TIOCSWINSZ, &size), 0);
    ASSERT_TRUE(program->wait_until([&](const std::string&) { return program->Frames() > inSubMenu; }));
    program->type("\x1b");
    ASSERT_TRUE(AtMainMenu(*program));
    EXPECT_NE(program->LastFrame().find("\x1b[30;1H"), std::string::npos);
    Quit(*program);
}

TEST_F(WholeProgram, ASettingsFileThatCannotBeReadIsSaidAndKeptAsItIs) {
    ASSERT_EQ(mkfifo((dir / "MVConsole.ini").c_str(), 0644), 0);
    auto program = Start();
    ASSERT_TRUE(program->wait_for("cannot be read (it is not a regular file)"));
    ASSERT_TRUE(program->wait_for("Press any key to continue."));
    program->type(" ");
    ASSERT_TRUE(program->wait_for("Select capture device["));  // no saved devices: it asks
    program->type("0\r");
    ASSERT_TRUE(program->wait_for("Select playback device["));
    program->type("0\r");
    ASSERT_TRUE(program->wait_for("Enable stereo microphone? [y/N]:"));
    program->type("n");
    ASSERT_TRUE(AtMainMenu(*program));
    Quit(*program);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "MVConsole.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A folder whose settings cannot be written: a small file system that is full, or one mounted
// read-only (root, as the tests may be, writes anywhere else). Both made in a mount namespace
// of the child's own.
TEST_F(WholeProgram, SettingsThatCannotBeSavedAreSaidAndTheFileKeepsWhatItHeld) {
    // Two pages of a small file system, all but full: any key the program adds needs a third.
    std::string before = kSavedDevices + "ENABLED=1\nVOICE_EFFECT=8\nNOTE=";
    before += std::string(8185 - before.size(), 'n') + "\n";
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only folder" : "full disk");
        auto program = Start(
            [&] {
#if !defined(__linux__)
                return 77;  // the file systems are made in a Linux mount namespace
#else
                if ((mkdir("small", 0755) != 0 && errno != EEXIST) || unshare(CLONE_NEWNS) != 0 ||
                    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    mount("tmpfs", "small", "tmpfs", 0, "size=64k,nr_inodes=16") != 0) {
                    return 77;
                }
                std::ofstream("small/MVConsole.ini") << before;
                if (readOnly) {
                    return mount(nullptr, "small", nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0
                               ? 77
                               : 0;
                }
                // Every inode taken, and every block: no temporary file, no room for more.
                for (int i = 0; i < 64; ++i) std::ofstream("small/fill" + std::to_string(i));
                std::ofstream fill("small/fill0", std::ios::app);
                const std::string block(4096, 'f');
                for (int i = 0; i < 64 && fill; ++i) fill << block << std::flush;
                return 0;
#endif
            },
            "small",
            [&] {
                std::ifstream in("MVConsole.ini");
                const std::string now((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
                return now == before ? 0 : 3;
            });
        // The first key the program writes (a setting the file lacks) fails, and says so.
        const bool told = program->wait_for("could not be saved to ");
        if (!told && program->output().find("RESULT") == std::string::npos &&
            program->finish() == 77) {
            GTEST_SKIP() << "mounting a tmpfs is not allowed here";
        }
        ASSERT_TRUE(told) << program->output();
        ASSERT_TRUE(program->wait_for(readOnly ? "(Read-only file system)" : "(No space left on device)"));
        ASSERT_TRUE(program->wait_for("the file still holds what it held before."));
        ASSERT_TRUE(program->wait_for("Press any key to continue."));
        program->type(" ");
        ASSERT_TRUE(AtMainMenu(*program));
        program->type("q");
        ASSERT_TRUE(program->wait_for("Quit? [Y/n]: "));
        program->type("y");
        // Once more after the screens are gone, where it stays.
        ASSERT_TRUE(program->wait_for("Bye!"));
        ASSERT_TRUE(program->wait_for("could not be saved to "));
        EXPECT_EQ(program->finish(), 0) << "3: the file did not keep what it held";
    }
}
