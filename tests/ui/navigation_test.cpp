// The menu loops driven through a pseudo-terminal: keys in, screens out.
#include <gtest/gtest.h>

#include "support/MenuScreen.h"
#include "UiTestState.h"
#include "support/TempDir.h"
#include "config/PortableConfig.h"
#include "ui/Commands.h"
#include "ui/MenuLabels.h"
#include "ui/MenuLoops.h"

#include <filesystem>
#include <memory>

namespace {

const std::string kQuitQuestion = "Quit? [Y/n]: ";

std::string Tail(const std::string& text) {
    return testing::PrintToString(text.substr(text.size() > 300 ? text.size() - 300 : 0));
}

class MenuSession : public ::testing::Test {
protected:
    // The program's menus as main runs them, in a fresh folder without a configuration file.
    std::unique_ptr<MenuProgram> StartMenus() {
        auto program = std::make_unique<MenuProgram>(InDirectory(dir_.path(), [] {
            ResetUiState();
            ConfigPortableApplication();
            UpdateMenuLabels();
            handleCommand(CMD_MAIN_MENU, 0);
            return gl_Working ? 1 : 0;
        }));
        EXPECT_TRUE(program->wait_until([&](const std::string&) { return program->Frames() >= 1; }));
        return program;
    }

    bool ConfigWritten() const { return dir_.Exists("MVConsole.ini"); }

    // Opens the main menu item at the given position (0-based) with Enter.
    static void Open(MenuProgram& program, int index) {
        ASSERT_TRUE(program.Press(Keys::kHome));
        for (int i = 0; i < index; ++i) ASSERT_TRUE(program.Press(Keys::kDown));
        ASSERT_TRUE(program.Press(Keys::kEnter));
    }

    static void Quit(MenuProgram& program) {
        program.type("q");
        ASSERT_TRUE(program.wait_for(kQuitQuestion));
        program.type("y");
        EXPECT_EQ(program.finish(), 0) << "last output: " << Tail(program.output());
    }

    TempDir dir_;
};

}  // namespace

TEST_F(MenuSession, HighlightStopsAtBothEndsAndJumpsWithHomeAndEnd) {
    auto program = StartMenus();
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Turn on/off (Off)");
    ASSERT_TRUE(program->Press(Keys::kUp));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Turn on/off (Off)");
    ASSERT_TRUE(program->Press(Keys::kDown));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Set Voice");
    ASSERT_TRUE(program->Press(Keys::kEnd));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Exit");
    ASSERT_TRUE(program->Press(Keys::kDown));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Exit");
    ASSERT_TRUE(program->Press("\x1b[D"));  // Left: not a menu key, only a redraw
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Exit");
    ASSERT_TRUE(program->Press(Keys::kHome));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Turn on/off (Off)");
    Quit(*program);
}

TEST_F(MenuSession, MainMenuIgnoresSubMenuKeys) {
    auto program = StartMenus();
    for (const std::string& key : {std::string("Q"), Keys::kBackspace, std::string("+"),
                                   std::string("-")}) {
        ASSERT_TRUE(program->Press(key));
        EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
        EXPECT_EQ(FrameHighlight(program->LastFrame()), "Turn on/off (Off)");
    }
    EXPECT_EQ(program->output().find("Quit?"), std::string::npos);
    ASSERT_TRUE(program->Press(Keys::kEnter));  // the command itself runs only on Enter
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Turn on/off (On)");
    Quit(*program);
}

TEST_F(MenuSession, QAndEscAskToQuitAndNoReturnsToTheMenu) {
    auto program = StartMenus();
    program->type("q");
    ASSERT_TRUE(program->wait_for(kQuitQuestion));
    ASSERT_TRUE(program->Press("n"));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
    program->type(Keys::kEsc);
    ASSERT_TRUE(program->wait_for(kQuitQuestion));
    ASSERT_TRUE(program->Press("N"));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
    EXPECT_FALSE(ConfigWritten());
    program->type(Keys::kEsc);
    ASSERT_TRUE(program->wait_for(kQuitQuestion));
    program->type("y");
    EXPECT_EQ(program->finish(), 0);
}

TEST_F(MenuSession, EnterAtTheQuestionQuitsFromTheExitItem) {
    auto program = StartMenus();
    ASSERT_TRUE(program->Press(Keys::kEnd));
    const int frames = program->Frames();
    program->type(Keys::kEnter);
    ASSERT_TRUE(program->wait_for(kQuitQuestion));
    program->type(Keys::kEnter);
    EXPECT_EQ(program->finish(), 0);
    EXPECT_EQ(program->Frames(), frames);  // no screen after the answer
}

TEST_F(MenuSession, EverySubMenuOpensOnItsFirstItem) {
    auto program = StartMenus();
    const std::pair<int, std::pair<const char*, const char*>> menus[] = {
        {1, {"Set Voice", "Alien"}},
        {2, {"Set Effect", "Town Hall"}},
        {3, {"Audio settings", "A.I. Denoise"}},
        {4, {"Help", "How to use"}},
    };
    for (const auto& [index, expected] : menus) {
        for (int round = 0; round < 2; ++round) {
            Open(*program, index);
            EXPECT_EQ(FrameTitle(program->LastFrame()), expected.first);
            EXPECT_EQ(FrameHighlight(program->LastFrame()), expected.second);
            ASSERT_TRUE(program->Press(Keys::kDown));
            ASSERT_TRUE(program->Press(Keys::kEnd));
            ASSERT_TRUE(program->Press(Keys::kBackspace));
            EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
        }
    }
    Quit(*program);
}

TEST_F(MenuSession, BackspaceAndEscCloseASubMenuWithoutACommand) {
    auto program = StartMenus();
    for (const std::string& key : {Keys::kBackspace, Keys::kEsc}) {
        Open(*program, 1);
        ASSERT_TRUE(program->Press(key));
        EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
        EXPECT_EQ(FrameRow(program->LastFrame(), "Set Voice"), "Set Voice");
    }
    EXPECT_EQ(program->output().find("Quit?"), std::string::npos);
    Quit(*program);
}

TEST_F(MenuSession, PlusRunsTheCommandAndKeepsTheMenuOpen) {
    auto program = StartMenus();
    Open(*program, 1);
    ASSERT_TRUE(program->Press("+"));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Set Voice");
    ASSERT_TRUE(program->Press(Keys::kBackspace));
    EXPECT_EQ(FrameRow(program->LastFrame(), "Set Voice"), "Set Voice (Alien)");

    // Enter in the voice menu chooses and closes.
    Open(*program, 1);
    ASSERT_TRUE(program->Press(Keys::kDown));
    ASSERT_TRUE(program->Press(Keys::kEnter));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
    EXPECT_EQ(FrameRow(program->LastFrame(), "Set Voice"), "Set Voice (Atari)");
    Quit(*program);
}

TEST_F(MenuSession, EnterInAudioSettingsKeepsTheMenuWithTheNewLabel) {
    auto program = StartMenus();
    Open(*program, 3);
    ASSERT_TRUE(program->Press(Keys::kEnter));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Audio settings");
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "A.I. Denoise (*)");
    ASSERT_TRUE(program->Press(Keys::kDown));
    ASSERT_TRUE(program->Press("-"));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Sensitivity (99%)");
    ASSERT_TRUE(program->Press(Keys::kDown));
    ASSERT_TRUE(program->Press("+"));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Bass (1dB)");
    ASSERT_TRUE(program->Press(Keys::kEsc));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");
    Quit(*program);
}

TEST_F(MenuSession, ClosingASettingsMenuSavesEvenWithoutChanges) {
    for (int index : {1, 2, 3}) {
        std::filesystem::remove(dir_ / "MVConsole.ini");
        auto program = StartMenus();
        Open(*program, index);
        EXPECT_FALSE(ConfigWritten());
        ASSERT_TRUE(program->Press(Keys::kBackspace));
        EXPECT_TRUE(ConfigWritten()) << index;
        Quit(*program);
    }
}

TEST_F(MenuSession, HelpMenuAndTheQuitQuestionDoNotSave) {
    auto program = StartMenus();
    Open(*program, 4);
    ASSERT_TRUE(program->Press(Keys::kEsc));
    Open(*program, 4);
    ASSERT_TRUE(program->Press(Keys::kEnd));
    program->type(Keys::kEnter);  // About
    ASSERT_TRUE(program->wait_for("[OK]"));
    ASSERT_TRUE(program->Press("x"));
    EXPECT_EQ(FrameTitle(program->LastFrame()), "Main menu");  // Enter closed the help menu
    program->type("q");
    ASSERT_TRUE(program->wait_for(kQuitQuestion));
    ASSERT_TRUE(program->Press("n"));
    EXPECT_FALSE(ConfigWritten());
    Quit(*program);
}

TEST_F(MenuSession, ValuePromptsShowTheirTextsAndStoreTheAnswer) {
    auto program = StartMenus();
    Open(*program, 1);
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(program->Press(Keys::kDown));
    EXPECT_EQ(FrameHighlight(program->LastFrame()), "Custom pitch");
    program->type(Keys::kEnter);
    ASSERT_TRUE(program->wait_for("Set custom pitch (from -15 to 30) [0.00]: "));
    ASSERT_TRUE(program->Press("12.345\r"));
    EXPECT_EQ(FrameRow(program->LastFrame(), "Set Voice"), "Set Voice (Custom Pitch|12.35)");

    Open(*program, 3);
    const struct {
        const char* prompt;
        const char* answer;
        const char* label;
    } values[] = {
        {"Set microphone sensitivity (from 0 to 100) [100%]: ", "75\r", "Sensitivity (75%)"},
        {"Set microphone bass (from -60dB to 60dB) [0dB]: ", "-80\r", "Bass (-60dB)"},
        {"Set microphone treble (from -60dB to 60dB) [0dB]: ", "abc\r", "Treble"},
    };
    for (const auto& value : values) {
        ASSERT_TRUE(program->Press(Keys::kDown));
        program->type(Keys::kEnter);
        ASSERT_TRUE(program->wait_for(value.prompt));
        ASSERT_TRUE(program->Press(value.answer));
        EXPECT_EQ(FrameHighlight(program->LastFrame()), value.label);
    }
    ASSERT_TRUE(program->Press(Keys::kBackspace));

    // Enter alone keeps the pitch and still selects the custom pitch.
    Open(*program, 1);
    ASSERT_TRUE(program->Press(Keys::kEnter));  // Alien
    Open(*program, 1);
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(program->Press(Keys::kDown));
    program->type(Keys::kEnter);
    ASSERT_TRUE(program->wait_for("[12.35]: "));
    ASSERT_TRUE(program->Press("\r"));
    EXPECT_EQ(FrameRow(program->LastFrame(), "Set Voice"), "Set Voice (Custom Pitch|12.35)");
    Quit(*program);
}

TEST(MenuLoops, MainMenuDrawsNothingWhenAlreadyEnded) {
    MenuProgram program([] {
        ResetUiState();
        gl_Working = false;
        return MENU_MainMenu("Main menu");
    });
    EXPECT_EQ(program.finish(), 0);
    EXPECT_EQ(program.output().find("\x1b[2J"), std::string::npos);
}

TEST(MenuLoops, ErrorsEndTheLoopWithTheirReport) {
    // A command that fails with something other than a runtime error: its label writer finds
    // no voice menu.
    MenuProgram program([] {
        ResetUiState();
        std::vector<MenuItem> items(1);
        items[0].label = "Custom pitch";
        items[0].command = CMD_VOICE_CUSTOM_PITCH;
        glVOICE_MENU.clear();
        return MENU_DisplayMenu(items, "Broken", false);
    });
    ASSERT_TRUE(program.wait_until([&](const std::string&) { return program.Frames() >= 1; }));
    program.type("+");
    EXPECT_TRUE(program.wait_for("Unknown error.\r\n"));
    EXPECT_EQ(program.finish(), 1);
}

TEST(MenuLoops, NoTerminalIsARuntimeError) {
    // Standard input is not a terminal: the terminal object cannot be made.
    MenuProgram program([] {
        ResetUiState();
        if (!freopen("/dev/null", "r", stdin)) return 9;
        std::vector<MenuItem> none;
        if (MENU_DisplayMenu(none, "Empty", true) != 0) return 8;  // no terminal needed
        return MENU_MainMenu("Main menu");
    });
    EXPECT_TRUE(program.wait_for("Runtime error: tcgetattr() failed\r\n"));
    EXPECT_EQ(program.finish(), 2);
}
