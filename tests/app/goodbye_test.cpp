#include <gtest/gtest.h>

#include "app/GoodbyeScreen.h"
#include "ui/Banner.h"
#include "ui/InputCompleteness.h"

#include <sstream>
#include <vector>

TEST(ElapsedMinutes, CountsWholeMinutesOnly) {
    EXPECT_EQ(ElapsedMinutes(0), 0);
    EXPECT_EQ(ElapsedMinutes(59), 0);
    EXPECT_EQ(ElapsedMinutes(60), 1);
    EXPECT_EQ(ElapsedMinutes(61), 1);
    EXPECT_EQ(ElapsedMinutes(119), 1);
    EXPECT_EQ(ElapsedMinutes(3599), 59);
    EXPECT_EQ(ElapsedMinutes(7199), 119);
}

namespace {
std::vector<std::string> BannerTextLines() {
    std::string banner;
    menu_add_header(banner);
    const std::string home = "\x1b[1;1H\x1b[96m";
    const std::string reset = "\x1b[39m";
    EXPECT_EQ(banner.compare(0, home.size(), home), 0);
    EXPECT_EQ(banner.compare(banner.size() - reset.size(), reset.size(), reset), 0);
    std::string body = banner.substr(home.size(), banner.size() - home.size() - reset.size());
    std::vector<std::string> lines;
    std::istringstream in(body);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(body.back(), '\n');
    return lines;
}
}  // namespace

TEST(Banner, SixLettering_LinesThenThePlatformLine) {
    auto lines = BannerTextLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_LE(lines[0].size(), 51u);
    for (int i = 1; i < 6; ++i) {
        EXPECT_LE(lines[i].size(), 55u) << i;
        EXPECT_GT(lines[i].size(), 40u) << i;
        EXPECT_EQ(lines[i].find('\x1b'), std::string::npos);
    }
    EXPECT_EQ(lines[6], std::string(44, ' ') + "for MacOS");
}

TEST(Banner, KeepsWhatTheBufferAlreadyHolds) {
    std::string screen = "\x1b[2J";
    menu_add_header(screen);
    EXPECT_EQ(screen.rfind("\x1b[2J\x1b[1;1H", 0), 0u);
}

TEST(GoodbyeText, ClearedScreenBannerAndMinutes) {
    std::string banner;
    menu_add_header(banner);
    EXPECT_EQ(BuildGoodbyeText(0),
              "\x1b[2J" + banner + "\nElapsed time since start is 0 minute(s). Bye!\n");
    EXPECT_NE(BuildGoodbyeText(119).find("is 119 minute(s). Bye!\n"), std::string::npos);
}

TEST(InputCompleteness, BackslashBeforeTheLineFeedAsksForMore) {
    EXPECT_TRUE(determine_completeness(""));
    EXPECT_TRUE(determine_completeness("\n"));
    EXPECT_TRUE(determine_completeness("12\n"));
    EXPECT_FALSE(determine_completeness("12\\\n"));
    EXPECT_TRUE(determine_completeness("1\\\n2\n"));
}
