// The yes/no question and the multi-line prompt, typed into through a pseudo-terminal.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "ui/InputCompleteness.h"
#include "ui/terminal/Terminal.h"

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Streams = ChildProcess::Streams;

std::string Name(Term::Result result) {
    switch (result) {
    case Term::Result::Yes: return "Yes";
    case Term::Result::No: return "No";
    case Term::Result::Abort: return "Abort";
    case Term::Result::Invalid: return "Invalid";
    case Term::Result::Error: return "Error";
    case Term::Result::None: return "None";
    }
    return "?";
}

// Line feeds shown as "|" so that a report stays one line.
std::string Visible(std::string text) {
    for (char& c : text) {
        if (c == '\n') c = '|';
    }
    return text;
}

}  // namespace

TEST(Prompt, OneKeyAnswers) {
    const std::vector<std::pair<std::string, std::string>> answers = {
        {"y", "Yes"}, {"N", "No"}, {"\r", "None"}, {"\x03", "Abort"}, {"\x04", "Abort"},
        {"q", "Invalid"}, {"\x1b[A", "Invalid"}};
    const int count = static_cast<int>(answers.size());
    ChildProcess child(Streams::Terminal, [count](int out) {
        // Ctrl+C stays a key for the whole child, so typing it early cannot raise a signal.
        Term::Terminal menu(false, true, true, false);
        termios menu_mode = CurrentMode(STDIN_FILENO);
        for (int i = 0; i < count; ++i) {
            Report(out, "asking");
            Term::Result result = Term::prompt("Quit?", "Y", "n", ":", true);
            Report(out, Name(result) + (SameMode(CurrentMode(STDIN_FILENO), menu_mode) ? "" : " mode lost"));
        }
    });
    for (const auto& [key, expected] : answers) {
        ASSERT_EQ(child.next_report(), "asking");
        child.type(key);
        EXPECT_EQ(child.next_report(), expected) << testing::PrintToString(key);
    }
    ExpectExitedNormally(child.wait());
    const std::string& out = child.output();
    EXPECT_NE(out.find("Quit? [Y/n]: y\r\n"), std::string::npos) << testing::PrintToString(out);
    EXPECT_NE(out.find("Quit? [Y/n]: N\r\n"), std::string::npos);
    EXPECT_NE(out.find("Quit? [Y/n]: \r\n"), std::string::npos);
}

TEST(Prompt, LineAnswers) {
    ChildProcess child(Streams::Terminal, [](int out) {
        Term::Terminal menu(false, true, true, false);
        for (int i = 0; i < 3; ++i) {
            Report(out, "asking");
            Report(out, Name(Term::prompt("Go on?", "y", "N", ">", false)));
        }
    });
    for (const auto& [line, expected] : std::vector<std::pair<std::string, std::string>>{
             {"yes\r", "Yes"}, {"nx\x7f\r", "No"}, {"\r", "None"}}) {
        ASSERT_EQ(child.next_report(), "asking");
        child.type(line);
        EXPECT_EQ(child.next_report(), expected) << testing::PrintToString(line);
    }
    ExpectExitedNormally(child.wait());
    EXPECT_NE(child.output().find("Go on? [y/N]> yes\r\n"), std::string::npos)
        << testing::PrintToString(child.output());
}

TEST(Prompt, ErrorWithoutATerminal) {
    ChildProcess child(Streams::Pipes, [](int out) {
        Report(out, Name(Term::prompt("Quit?", "Y", "n", ":", true)));
    });
    EXPECT_EQ(child.next_report(), "Error");
    ExpectExitedNormally(child.wait());
    EXPECT_EQ(child.output(), "Quit? [Y/n]: ");
}

TEST(PromptMultiline, ReturnsEveryLineAndKeepsTheHistory) {
    ChildProcess child(Streams::Terminal, [](int out) {
        Term::Terminal terminal(false, true, false, false);
        std::vector<std::string> history;
        std::function<bool(std::string)> complete = determine_completeness;
        for (int i = 0; i < 4; ++i) {
            Report(out, "asking");
            Report(out, Visible(Term::prompt_multiline(terminal, "Select device[0]: ", history, complete)));
        }
        std::string entries;
        for (const std::string& entry : history) entries += "<" + Visible(entry) + ">";
        Report(out, entries);
    });
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {"12\r", "12|"},
        {"1\\\r2\r", "1\\|2|"},
        // Up: to the last line of the two-line entry, to its first line, then the entry before.
        {"\x1b[A\x1b[A\x1b[A9\r", "129|"},
        {"\x04", "|"},
    };
    for (const auto& [keys, expected] : inputs) {
        ASSERT_EQ(child.next_report(), "asking");
        child.type(keys);
        EXPECT_EQ(child.next_report(), expected) << testing::PrintToString(keys);
    }
    EXPECT_EQ(child.next_report(), "<12|><1\\|2|><129|>");
    ExpectExitedNormally(child.wait());
    const std::string& out = child.output();
    EXPECT_NE(out.find("Select device[0]: 12\r\x1b[20C\r\n"), std::string::npos) << testing::PrintToString(out);
    EXPECT_NE(out.find("Select device[0]: 1\\\r\n2"), std::string::npos) << testing::PrintToString(out);
}
