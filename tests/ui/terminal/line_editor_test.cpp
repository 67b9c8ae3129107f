#include <gtest/gtest.h>

#include "ui/InputCompleteness.h"
#include "ui/terminal/LineEditor.h"
#include "ui/terminal/Terminal.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Outcome = Term::LineEditor::Outcome;
using namespace Term::Key;

const std::function<bool(std::string)> kComplete = determine_completeness;

Outcome Type(Term::LineEditor& editor, const std::string& text) {
    Outcome last = Outcome::Editing;
    for (char c : text) last = editor.apply(static_cast<unsigned char>(c), kComplete);
    return last;
}

Outcome Press(Term::LineEditor& editor, std::initializer_list<int> keys) {
    Outcome last = Outcome::Editing;
    for (int key : keys) last = editor.apply(key, kComplete);
    return last;
}

}  // namespace

TEST(LineEditor, InsertsAndDeletesAtTheCursor) {
    std::vector<std::string> history;
    Term::LineEditor editor(history);
    Type(editor, "1234");
    Press(editor, {ARROW_LEFT, ARROW_LEFT, BACKSPACE});  // 1|34 after deleting 2
    Type(editor, "x");
    EXPECT_EQ(editor.text(), "1x34\n");
    Press(editor, {DEL});
    EXPECT_EQ(editor.text(), "1x4\n");
    Press(editor, {HOME, BACKSPACE, DEL});
    EXPECT_EQ(editor.text(), "x4\n");
    Press(editor, {END, DEL, ARROW_RIGHT});
    Type(editor, "5");
    EXPECT_EQ(editor.text(), "x45\n");
    EXPECT_EQ(editor.column(), 3u);
    // Keys that are not text change nothing.
    Press(editor, {TAB, ESC, UNKNOWN, INSERT, PAGE_UP, CTRL_D, 0x01});
    EXPECT_EQ(editor.text(), "x45\n");
}

TEST(LineEditor, EnterEndsCompleteInputAndContinuesAfterBackslash) {
    std::vector<std::string> history;
    Term::LineEditor editor(history);
    EXPECT_EQ(Type(editor, "1\\"), Outcome::Editing);
    EXPECT_EQ(Press(editor, {ENTER}), Outcome::Editing);
    EXPECT_EQ(editor.row(), 1u);
    Type(editor, "2");
    EXPECT_EQ(Press(editor, {ENTER}), Outcome::Submitted);
    EXPECT_EQ(editor.text(), "1\\\n2\n");

    Term::LineEditor empty(history);
    EXPECT_EQ(Press(empty, {ENTER}), Outcome::Submitted);
    EXPECT_EQ(empty.text(), "\n");
}

TEST(LineEditor, NewLinesSplitAndJoin) {
    std::vector<std::string> history;
    Term::LineEditor editor(history);
    Type(editor, "abcd");
    Press(editor, {ARROW_LEFT, ARROW_LEFT, ALT_ENTER});
    EXPECT_EQ(editor.text(), "ab\ncd\n");
    EXPECT_EQ(editor.row(), 1u);
    EXPECT_EQ(editor.column(), 0u);
    Press(editor, {CTRL_N});
    EXPECT_EQ(editor.text(), "ab\n\ncd\n");
    Press(editor, {BACKSPACE, BACKSPACE});  // joins back onto "ab"
    EXPECT_EQ(editor.text(), "abcd\n");
    EXPECT_EQ(editor.column(), 2u);
    Press(editor, {ALT_ENTER, ARROW_UP, END, DEL});  // Del at a line's end pulls the next one up
    EXPECT_EQ(editor.text(), "abcd\n");
    // Left at a line's start goes to the end of the line above, Right at the end to the next.
    Press(editor, {ALT_ENTER, ARROW_LEFT});
    EXPECT_EQ(editor.row(), 0u);
    EXPECT_EQ(editor.column(), 2u);
    Press(editor, {ARROW_RIGHT});
    EXPECT_EQ(editor.row(), 1u);
    EXPECT_EQ(editor.column(), 0u);
}

TEST(LineEditor, UpAndDownBrowseTheHistoryAndKeepTheNewInput) {
    std::vector<std::string> history = {"1\n", "22\\\n3\n"};
    Term::LineEditor editor(history);
    Type(editor, "new");
    Press(editor, {ARROW_UP});
    EXPECT_EQ(editor.text(), "22\\\n3\n");
    EXPECT_EQ(editor.row(), 1u);
    EXPECT_EQ(editor.column(), 1u);
    Press(editor, {ARROW_UP});  // moves within the two-line entry first
    EXPECT_EQ(editor.text(), "22\\\n3\n");
    EXPECT_EQ(editor.row(), 0u);
    Press(editor, {ARROW_UP, ARROW_UP});
    EXPECT_EQ(editor.text(), "1\n");
    Type(editor, "0");
    Press(editor, {ARROW_DOWN, ARROW_DOWN, ARROW_DOWN, ARROW_DOWN});
    EXPECT_EQ(editor.text(), "new\n");
    EXPECT_EQ(history, (std::vector<std::string>{"1\n", "22\\\n3\n"}));
}

TEST(LineEditor, CtrlDCancelsOnlyAnEmptyInput) {
    std::vector<std::string> history;
    Term::LineEditor editor(history);
    Type(editor, "7");
    EXPECT_EQ(Press(editor, {CTRL_D}), Outcome::Editing);
    Press(editor, {BACKSPACE});
    EXPECT_EQ(Press(editor, {CTRL_D}), Outcome::Cancelled);
    Term::LineEditor other(history);
    Type(other, "7");
    EXPECT_EQ(Press(other, {CTRL_C}), Outcome::Cancelled);
}

TEST(RedrawInput, OneLine) {
    size_t cursor_row = 0;
    EXPECT_EQ(Term::redraw_input("P: ", {"12"}, 0, 2, 80, cursor_row), "\r\x1b[JP: 12\r\x1b[5C");
    EXPECT_EQ(cursor_row, 0u);
    EXPECT_EQ(Term::redraw_input("P: ", {"12"}, 0, 0, 0, cursor_row), "\r\x1b[JP: 12\r\x1b[3C");
    EXPECT_EQ(Term::redraw_input("", {""}, 0, 0, 80, cursor_row), "\r\x1b[J\r");
}

TEST(RedrawInput, SeveralLinesReturnToTheFirstRow) {
    size_t cursor_row = 0;
    EXPECT_EQ(Term::redraw_input("P: ", {"1\\", "22", "3"}, 1, 1, 80, cursor_row),
              "\r\x1b[JP: 1\\\n22\n3\x1b[1A\r\x1b[1C");
    EXPECT_EQ(cursor_row, 1u);
    EXPECT_EQ(Term::redraw_input("P: ", {"1\\", "22", "3"}, 2, 1, 80, cursor_row),
              "\x1b[1A\r\x1b[JP: 1\\\n22\n3\r\x1b[1C");
    EXPECT_EQ(cursor_row, 2u);
}

TEST(RedrawInput, WrapsAtTheTerminalWidth) {
    size_t cursor_row = 0;
    // 4 columns: "P: 1234" takes two rows, the cursor after it is on the second.
    EXPECT_EQ(Term::redraw_input("P: ", {"1234"}, 0, 4, 4, cursor_row), "\r\x1b[JP: 1234\r\x1b[3C");
    EXPECT_EQ(cursor_row, 1u);
    // A line filling the width exactly gets a row for the cursor after it.
    EXPECT_EQ(Term::redraw_input("P: ", {"1"}, 0, 1, 4, cursor_row), "\x1b[1A\r\x1b[JP: 1\n\r");
    EXPECT_EQ(cursor_row, 1u);
    EXPECT_EQ(Term::redraw_input("P: ", {"1", "x"}, 0, 0, 4, cursor_row),
              "\x1b[1A\r\x1b[JP: 1\n\nx\x1b[2A\r\x1b[3C");
    EXPECT_EQ(cursor_row, 0u);
}
