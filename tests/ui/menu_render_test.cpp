#include <gtest/gtest.h>

#include "audio/setup/DeviceWatch.h"

#include "UiTestState.h"
#include "support/ScreenText.h"

#include "support/ProgramState.h"
#include "ui/Banner.h"
#include "ui/MenuLabels.h"
#include "ui/MenuRender.h"


namespace {

const std::string kNormal = "\x1b[40m\x1b[97m";
const std::string kHighlight = "\x1b[107m\x1b[1m\x1b[30m";
const std::string kRowEnd = "\x1b[49m\x1b[39m\x1b[0m";

std::string Banner() {
    std::string banner;
    menu_add_header(banner);
    return banner;
}

// The box alone: from the first border to the end of the bottom border.
std::string BoxOf(const std::string& screen) {
    const size_t start = screen.find("+-");
    const size_t end = screen.rfind("+ \n") + 3;
    return screen.substr(start, end - start);
}

}  // namespace

TEST(MenuRender, MainMenuExampleByteForByte) {
    ResetUiState();
    UpdateMenuLabels();  // processing off, no effects
    gl_CurrentCaptureDeviceName = "Mic";
    gl_CurrentPlaybackDeviceName = "Cable";

    const std::string border = "+-------------------+ \n";
    std::string expected = "\x1b[2J" + Banner() + border + "| Main menu         |\n" + border;
    expected += "|" + kHighlight + " Turn on/off (\x1b[91mOff\x1b[30m) " + kRowEnd + "| \n";
    for (const char* label : {"Set Voice", "Set Effect", "Audio settings", "Help", "Exit"}) {
        const std::string text(label);
        expected += "|" + kNormal + " " + text + std::string(18 - text.size(), ' ') + kRowEnd +
                    "| \n";
    }
    expected += border;
    expected += "\x1b[24;1HMic\x1b[91m -> \x1b[39mCable";
    expected += "\x1b[18;1H";

    EXPECT_EQ(menu_compose(24, 80, glMAIN_MENU, 1, "Main menu"), expected);
}

TEST(MenuRender, ValueLabelWidensEveryRowAndTakesItsColour) {
    ResetUiState();
    SS_MORAVEL_ACTIVE = true;
    SS_VavorOzodediEffect = 14;
    SS_Manual_Pitch = 2.5f;
    SS_EffectType = 2;
    UpdateMenuLabels();

    const std::string screen = menu_compose(24, 80, glMAIN_MENU, 2, "Main menu");
    EXPECT_EQ(StripEscapes(BoxOf(screen)),
              "+-------------------------------+ \n"
              "| Main menu                     |\n"
              "+-------------------------------+ \n"
              "| Turn on/off (On)              | \n"
              "| Set Voice (Custom Pitch|2.50) | \n"
              "| Set Effect (Echo)             | \n"
              "| Audio settings                | \n"
              "| Help                          | \n"
              "| Exit                          | \n"
              "+-------------------------------+ \n");
    // The highlighted row is one bar with the value in green inside it.
    EXPECT_NE(screen.find("|" + kHighlight + " Set Voice (\x1b[92mCustom Pitch|2.50\x1b[30m) " +
                          kRowEnd + "| \n"),
              std::string::npos);
    EXPECT_NE(screen.find("|" + kNormal + " Turn on/off (\x1b[92mOn\x1b[97m)" +
                          std::string(14, ' ') + kRowEnd),
              std::string::npos);
    EXPECT_NE(screen.find("\x1b[92m -> \x1b[39m"), std::string::npos);
}

TEST(MenuRender, TitleSetsTheMinimumWidth) {
    std::vector<MenuItem> items(1);
    items[0].label = "A";
    const std::string box = StripEscapes(BoxOf(menu_compose(24, 80, items, 1, "A long title")));
    EXPECT_EQ(box,
              "+--------------+ \n"
              "| A long title |\n"
              "+--------------+ \n"
              "| A            | \n"
              "+--------------+ \n");
}

TEST(MenuRender, EmptyListDrawsTheFrameAndEndsOnRow12) {
    std::vector<MenuItem> none;
    const std::string screen = menu_compose(24, 80, none, 1, "Help");
    EXPECT_EQ(StripEscapes(BoxOf(screen)),
              "+------+ \n"
              "| Help |\n"
              "+------+ \n"
              "+------+ \n");
    EXPECT_EQ(screen.substr(screen.size() - 7), "\x1b[12;1H");
}

TEST(MenuRender, SelectionOutsideTheListHighlightsNothing) {
    ResetUiState();
    for (int selected : {0, -1, 7, 100}) {
        const std::string screen = menu_compose(24, 80, glMAIN_MENU, selected, "Main menu");
        EXPECT_EQ(screen.find("\x1b[107m"), std::string::npos) << selected;
    }
    const std::string last = menu_compose(24, 80, glMAIN_MENU, 6, "Main menu");
    EXPECT_NE(last.find(kHighlight + " Exit"), std::string::npos);
}

TEST(MenuRender, StatusLineOnTheLastRowWithNamesAsStored) {
    ResetUiState();
    gl_CurrentCaptureDeviceName = "";
    gl_CurrentPlaybackDeviceName = "";
    std::string screen = menu_compose(0, 0, glHELP_MENU, 1, "Help");
    EXPECT_NE(screen.find("\x1b[0;1H\x1b[91m -> \x1b[39m\x1b[16;1H"), std::string::npos);

    const std::string longName(300, 'x');
    gl_CurrentCaptureDeviceName = longName;
    gl_CurrentPlaybackDeviceName = "Virtual cable";
    SS_MORAVEL_ACTIVE = true;
    screen = menu_compose(5, 20, glMAIN_MENU, 1, "Main menu");
    EXPECT_NE(screen.find("\x1b[5;1H" + longName + "\x1b[92m -> \x1b[39mVirtual cable\x1b[18;1H"),
              std::string::npos);
}

TEST(MenuRender, AGoneDeviceIsNamedAfterTheDevicesWhileItIsWaitedFor) {
    ResetUiState();
    gl_CurrentCaptureDeviceName = "Mic";
    gl_CurrentPlaybackDeviceName = "Cable";
    gl_LostDevice = {DeviceLoss::playback, "Cable"};
    std::string screen = menu_compose(24, 80, glMAIN_MENU, 1, "Main menu");
    EXPECT_NE(screen.find("\x1b[39mCable  (Cable is gone: waiting for it to come back)\x1b[18;1H"),
              std::string::npos);
    gl_LostDevice = {DeviceLoss::server, ""};
    screen = menu_compose(24, 80, glMAIN_MENU, 1, "Main menu");
    EXPECT_NE(screen.find("Cable  (the sound server is gone: waiting for it to come back)"),
              std::string::npos);
    gl_LostDevice = LostDevice{};
    screen = menu_compose(24, 80, glMAIN_MENU, 1, "Main menu");
    EXPECT_NE(screen.find("\x1b[39mCable\x1b[18;1H"), std::string::npos);
}

TEST(MenuRender, BuildingAgainStartsFromEmptyLabels) {
    ResetUiState();
    SS_MORAVEL_ACTIVE = true;
    UpdateMenuLabels();
    menu_init_menus();
    EXPECT_EQ(glMAIN_MENU.size(), 6u);
    EXPECT_EQ(glVOICE_MENU.size(), 15u);
    EXPECT_TRUE(glMAIN_MENU[0].valueLabel.empty());
    EXPECT_EQ(glMAIN_MENU[0].valueColor, 92);
}
