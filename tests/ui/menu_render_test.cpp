#include <gtest/gtest.h>

#include "UiTestState.h"
#include "ScreenText.h"

#include "app/MoravelState.h"
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

TEST(MenuRender, MainMenuExampleAsPlainText) {
    ResetUiState();
    UpdateMenuLabels();
    EXPECT_EQ(StripEscapes(BoxOf(menu_compose(30, 80, glMAIN_MENU, 3, "Main menu"))),
              "+-------------------+ \n"
              "| Main menu         |\n"
              "+-------------------+ \n"
              "| Turn on/off (Off) | \n"
              "| Set Voice         | \n"
              "| Set Effect        | \n"
              "| Audio settings    | \n"
              "| Help              | \n"
              "| Exit              | \n"
              "+-------------------+ \n");
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

TEST(MenuRender, RowsAreWrittenAsTheTablesGiveThem) {
    ResetUiState();
    const auto labels = [](const std::vector<MenuItem>& menu) {
        std::vector<std::pair<std::string, int>> out;
        for (const MenuItem& item : menu) {
            EXPECT_TRUE(item.valueLabel.empty());
            EXPECT_TRUE(item.extraText.empty());
            EXPECT_EQ(item.valueColor, 92);
            out.emplace_back(item.label, item.command);
        }
        return out;
    };
    using Rows = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(labels(glMAIN_MENU), (Rows{{"Turn on/off", 5}, {"Set Voice", 2}, {"Set Effect", 3},
                                         {"Audio settings", 4}, {"Help", 32}, {"Exit", 31}}));
    EXPECT_EQ(labels(glVOICE_MENU),
              (Rows{{"Alien", 6}, {"Atari", 7}, {"Clone", 8}, {"Mutation", 9},
                    {"Fast Mutation", 10}, {"Slow Mutation", 11}, {"Male pitch", 12},
                    {"Female pitch", 13}, {"Helium pitch", 14}, {"Baby pitch", 15}, {"Radio", 17},
                    {"Robot", 18}, {"Custom pitch", 16}, {"Silence", 19}, {"CLEAR", 20}}));
    EXPECT_EQ(labels(glEFFECTS_MENU), (Rows{{"Town Hall", 21}, {"Echo", 22}, {"Chorus", 23},
                                            {"Ghost", 24}, {"CLEAR", 25}}));
    EXPECT_EQ(labels(glAUDIOSETTINGS_MENU),
              (Rows{{"A.I. Denoise", 26}, {"Sensitivity", 27}, {"Bass", 28}, {"Treble", 29},
                    {"Append original voice", 30}, {"Setup", 36}}));
    EXPECT_EQ(labels(glHELP_MENU), (Rows{{"How to use", 38}, {"Check for updates", 33},
                                         {"Homepage", 34}, {"About", 35}}));

    // Building again starts from empty lists and clears the labels.
    glMAIN_MENU[0].valueLabel = "On";
    menu_init_menus();
    EXPECT_EQ(glMAIN_MENU.size(), 6u);
    EXPECT_TRUE(glMAIN_MENU[0].valueLabel.empty());
}
