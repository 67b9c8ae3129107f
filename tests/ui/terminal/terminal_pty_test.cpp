// The terminal object, its signal handling and the key reader, on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/resource.h>

#include "support/ChildProcess.h"
#include "ui/terminal/Terminal.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Streams = ChildProcess::Streams;

std::string Flags(const termios& mode) {
    return std::string("icanon=") + ((mode.c_lflag & ICANON) ? "1" : "0") +
           " echo=" + ((mode.c_lflag & ECHO) ? "1" : "0") +
           " isig=" + ((mode.c_lflag & ISIG) ? "1" : "0") +
           " vmin=" + std::to_string(mode.c_cc[VMIN]);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace

TEST(TerminalObject, NestedObjectsRestoreTheModeEachFound) {
    ChildProcess child(Streams::Terminal, [](int out) {
        termios original = CurrentMode(STDIN_FILENO);
        {
            Term::Terminal outer(true, true, false, true);
            termios outer_mode = CurrentMode(STDIN_FILENO);
            Report(out, Flags(outer_mode));
            Report(out, "ready");
            Report(out, std::to_string(Term::read_key()));
            {
                Term::Terminal inner(true, true, true, true);
                Report(out, Flags(CurrentMode(STDIN_FILENO)));
                Report(out, std::to_string(Term::read_key()));
            }
            Report(out, SameMode(CurrentMode(STDIN_FILENO), outer_mode) ? "outer mode back" : "outer mode lost");
            std::fputs("MARK", stdout);
            std::fflush(stdout);
        }
        Report(out, SameMode(CurrentMode(STDIN_FILENO), original) ? "original mode back" : "original mode lost");
    });
    EXPECT_EQ(child.next_report(), "icanon=0 echo=0 isig=1 vmin=1");
    ASSERT_EQ(child.next_report(), "ready");
    // Both keys at once: the second must survive the inner object's switch of mode.
    child.type("xy");
    EXPECT_EQ(child.next_report(), "120");
    EXPECT_EQ(child.next_report(), "icanon=0 echo=0 isig=0 vmin=1");
    EXPECT_EQ(child.next_report(), "121");
    EXPECT_EQ(child.next_report(), "outer mode back");
    EXPECT_EQ(child.next_report(), "original mode back");
    ExpectExitedNormally(child.wait());

    const std::string& out = child.output();
    EXPECT_EQ(Count(out, "\x1b[?1049h"), 1u) << testing::PrintToString(out);
    EXPECT_EQ(Count(out, "\x1b[?1049l"), 1u) << testing::PrintToString(out);
    EXPECT_LT(out.find("\x1b[?1049h"), out.find("MARK"));
    EXPECT_GT(out.find("\x1b[?1049l"), out.find("MARK"));
    EXPECT_EQ(Count(out, "\x1b[?25l"), 2u);
    EXPECT_EQ(Count(out, "\x1b[?25h"), 2u);
    EXPECT_GT(out.rfind("\x1b[?25h"), out.find("MARK"));
    EXPECT_EQ(out.find_first_of("xy"), std::string::npos) << "typed keys were echoed";
    EXPECT_TRUE(SameMode(CurrentMode(child.terminal()), child.initial_mode()));
}

TEST(TerminalObject, WithoutScreenFlagsWritesNothing) {
    ChildProcess child(Streams::Terminal, [](int out) {
        termios original = CurrentMode(STDIN_FILENO);
        {
            Term::Terminal quiet(false, true, false, false);
            Report(out, Flags(CurrentMode(STDIN_FILENO)));
        }
        Report(out, SameMode(CurrentMode(STDIN_FILENO), original) ? "restored" : "changed");
        struct sigaction term_action {};
        sigaction(SIGTERM, nullptr, &term_action);
        Report(out, term_action.sa_handler == SIG_DFL ? "default handler" : "handler left behind");
    });
    EXPECT_EQ(child.next_report(), "icanon=0 echo=0 isig=1 vmin=1");
    EXPECT_EQ(child.next_report(), "restored");
    EXPECT_EQ(child.next_report(), "default handler");
    ExpectExitedNormally(child.wait());
    EXPECT_EQ(child.output(), "");
}

TEST(TerminalObject, ThrowsWhenStandardInputIsNotATerminal) {
    ChildProcess child(Streams::Pipes, [](int out) {
        try {
            Term::Terminal terminal(false, true, false, false);
            Report(out, "constructed");
        } catch (const std::runtime_error& e) {
            Report(out, e.what());
        }
    });
    EXPECT_EQ(child.next_report(), "tcgetattr() failed");
    ExpectExitedNormally(child.wait());
}

TEST(TerminalSignals, EndingSignalsUnwindTheScreensThroughTheKeyReader) {
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
        ChildProcess child(Streams::Terminal, [](int out) {
            try {
                Term::Terminal outer(true, true, false, true);
                Term::Terminal inner(false, true, false, false);
                Report(out, "ready");
                Term::read_key();
                Report(out, "a key came");
            } catch (const Term::Interrupted& interruption) {
                Report(out, "interrupted by " + std::to_string(interruption.signal_number()));
            }
        });
        ASSERT_EQ(child.next_report(), "ready");
        ASSERT_FALSE(SameMode(CurrentMode(child.terminal()), child.initial_mode()));
        if (signal_number == SIGINT) {
            child.type("\x03");  // Ctrl+C
        } else {
            kill(child.pid(), signal_number);
        }
        EXPECT_EQ(child.next_report(), "interrupted by " + std::to_string(signal_number));
        ExpectExitedNormally(child.wait());
        EXPECT_TRUE(SameMode(CurrentMode(child.terminal()), child.initial_mode()));
        const std::string& out = child.output();
        EXPECT_GT(out.find("\x1b[?1049l"), out.find("\x1b[?1049h")) << testing::PrintToString(out);
        EXPECT_GT(out.rfind("\x1b[?25h"), out.find("\x1b[?25l")) << testing::PrintToString(out);
    }
}

TEST(TerminalSignals, ASecondEndingSignalOrAFatalOneRestoresAndEndsAtOnce) {
    struct Case {
        std::vector<int> sent;
        int ending;
    };
    for (const Case& c : {Case{{SIGTERM, SIGTERM}, SIGTERM}, Case{{SIGQUIT}, SIGQUIT},
                          Case{{SIGSEGV}, SIGSEGV}, Case{{SIGABRT}, SIGABRT}}) {
        ChildProcess child(Streams::Terminal, [](int out) {
            // No core files from the fatal cases.
            const rlimit none{0, 0};
            setrlimit(RLIMIT_CORE, &none);
            // The handler found beforehand is what runs after the restore; a sanitizer's own
            // would end the process its way.
            signal(SIGSEGV, SIG_DFL);
            Term::Terminal outer(true, true, false, true);
            Term::Terminal inner(false, true, true, false);
            Report(out, "ready");
            for (;;) pause();  // busy elsewhere: never back at the key reader
        });
        ASSERT_EQ(child.next_report(), "ready");
        for (const int signal_number : c.sent) {
            kill(child.pid(), signal_number);
            usleep(20000);
        }
        const int status = child.wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << "wait status " << status;
        EXPECT_EQ(WTERMSIG(status), c.ending);
        EXPECT_TRUE(SameMode(CurrentMode(child.terminal()), child.initial_mode())) << c.ending;
        const std::string& out = child.output();
        EXPECT_GT(out.find("\x1b[?1049l"), out.find("\x1b[?1049h")) << testing::PrintToString(out);
        EXPECT_GT(out.rfind("\x1b[?25h"), out.find("\x1b[?25l")) << testing::PrintToString(out);
    }
}

TEST(TerminalSignals, AResizeIsAKeyOnlyForThoseWhoAskForIt) {
    ChildProcess child(Streams::Terminal, [](int out) {
        Term::Terminal terminal(false, true, false, false);
        Report(out, "ready");
        Report(out, std::to_string(Term::read_key_or_resize()));
        Report(out, "waiting");
        Report(out, std::to_string(Term::read_key()));
    });
    ASSERT_EQ(child.next_report(), "ready");
    winsize size{30, 100, 0, 0};
    ASSERT_EQ(ioctl(child.terminal(), TIOCSWINSZ, &size), 0);  // the kernel sends SIGWINCH
    EXPECT_EQ(child.next_report(), std::to_string(Term::Key::RESIZE));
    ASSERT_EQ(child.next_report(), "waiting");
    size = winsize{20, 60, 0, 0};
    ASSERT_EQ(ioctl(child.terminal(), TIOCSWINSZ, &size), 0);
    child.type("k");
    EXPECT_EQ(child.next_report(), std::to_string('k'));
    ExpectExitedNormally(child.wait());
}

TEST(TerminalInput, KeysTypedAheadOfASingleKeyAnswerAreForgotten) {
    ChildProcess child(Streams::Terminal, [](int out) {
        Term::Terminal terminal(false, true, false, false);
        Report(out, "ready");
        const Term::Result answer = Term::prompt("Stereo?", "y", "N", ":", true);
        Report(out, answer == Term::Result::No ? "no" : "other");
        Report(out, std::to_string(Term::read_key()));
    });
    ASSERT_EQ(child.next_report(), "ready");
    child.type("n");  // "n" and, a moment later, Enter, as most people answer
    usleep(150000);
    child.type("\r");
    EXPECT_EQ(child.next_report(), "no");
    usleep(500000);
    child.type("x");
    EXPECT_EQ(child.next_report(), std::to_string('x')) << "the Enter fell through";
    ExpectExitedNormally(child.wait());
}

TEST(ReadKey, DecodesWhatTheTerminalSends) {
    ChildProcess child(Streams::Terminal, [](int out) {
        Term::Terminal terminal(false, true, false, false);
        Report(out, "ready");
        for (int key = 0; key != 'z';) {
            key = Term::read_key();
            Report(out, std::to_string(key));
        }
    });
    ASSERT_EQ(child.next_report(), "ready");
    child.type("a\x1b[A\x1bOB\r\n\x7f\x1b[3~\x1b[5~\x1b\r\x04\x0e\x1b[15~+\x1b[1;5C\t");
    using namespace Term::Key;
    for (int expected : {int{'a'}, ARROW_UP, ARROW_DOWN, ENTER, ENTER, BACKSPACE, DEL, PAGE_UP,
                         ALT_ENTER, CTRL_D, CTRL_N, UNKNOWN, int{'+'}, UNKNOWN, TAB}) {
        EXPECT_EQ(child.next_report(), std::to_string(expected));
    }
    // A lone escape byte becomes Esc once nothing follows it.
    child.type("\x1b");
    EXPECT_EQ(child.next_report(), std::to_string(ESC));
    child.type("\x1b\x1b");
    EXPECT_EQ(child.next_report(), std::to_string(ESC));
    EXPECT_EQ(child.next_report(), std::to_string(ESC));
    child.type("z");
    EXPECT_EQ(child.next_report(), std::to_string('z'));
    ExpectExitedNormally(child.wait());
}

TEST(ReadKey, ThrowsAtEndOfInput) {
    ChildProcess child(Streams::Pipes, [](int out) {
        Report(out, std::to_string(Term::read_key()));
        try {
            Term::read_key();
            Report(out, "returned");
        } catch (const std::runtime_error& e) {
            Report(out, e.what());
        }
    });
    child.type("k");
    EXPECT_EQ(child.next_report(), std::to_string('k'));
    child.close_input();
    EXPECT_EQ(child.next_report(), "read_key(): end of input on standard input");
    ExpectExitedNormally(child.wait());
}
