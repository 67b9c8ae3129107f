#include <gtest/gtest.h>

#include "ui/terminal/Terminal.h"

TEST(EscapeSequences, ColorsAreSgrCodes) {
    EXPECT_EQ(Term::color(Term::fg::red), "\x1b[31m");
    EXPECT_EQ(Term::color(Term::fg::reset), "\x1b[39m");
    EXPECT_EQ(Term::color(Term::fg::bright_cyan), "\x1b[96m");
    EXPECT_EQ(Term::color(Term::bg::blue), "\x1b[44m");
    EXPECT_EQ(Term::color(Term::bg::bright_white), "\x1b[107m");
    EXPECT_EQ(Term::color(Term::style::reset), "\x1b[0m");
    EXPECT_EQ(Term::color(Term::style::reversed), "\x1b[7m");
}

TEST(EscapeSequences, ScreenAndCursor) {
    EXPECT_EQ(Term::clear_screen(), "\x1b[2J");
    EXPECT_EQ(Term::move_cursor(1, 1), "\x1b[1;1H");
    EXPECT_EQ(Term::move_cursor(24, 132), "\x1b[24;132H");
    EXPECT_EQ(Term::cursor_on(), "\x1b[?25h");
    EXPECT_EQ(Term::cursor_off(), "\x1b[?25l");
}
