#pragma once
// The program's terminal layer on POSIX termios and escape sequences.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Term {

namespace Key {
constexpr int CTRL_C = 3;
constexpr int CTRL_D = 4;
constexpr int CTRL_N = 14;
constexpr int BACKSPACE = 1000;
constexpr int ENTER = 1001;
constexpr int ALT_ENTER = 1002;
constexpr int TAB = 1003;
constexpr int ARROW_LEFT = 1004;
constexpr int ARROW_RIGHT = 1005;
constexpr int ARROW_UP = 1006;
constexpr int ARROW_DOWN = 1007;
constexpr int DEL = 1013;
constexpr int HOME = 1014;
constexpr int INSERT = 1015;
constexpr int END = 1016;
constexpr int PAGE_UP = 1017;
constexpr int PAGE_DOWN = 1018;
constexpr int ESC = 1019;
// The time asked for passed without a key (only from read_key_or_resize with a tick).
constexpr int TICK = 1097;
// The terminal changed size (only from read_key_or_resize).
constexpr int RESIZE = 1098;
// Any other key or escape sequence: never a printable character and never one of the above.
constexpr int UNKNOWN = 1099;
}  // namespace Key

// Thrown by the key reader once SIGINT, SIGTERM or SIGHUP asked the program to end, so that
// every screen unwinds and the program shuts down as it does on Exit.
class Interrupted : public std::exception {
public:
    explicit Interrupted(int signal_number) : signal_(signal_number) {}
    int signal_number() const { return signal_; }
    const char* what() const noexcept override { return "interrupted by a signal"; }

private:
    int signal_;
};

// Takes over the terminal for its lifetime and gives back exactly the state it found: objects
// nest, and each restores the mode that was in force when it was created. The alternate screen
// is left only by the outermost object that entered it. While any object lives: SIGINT, SIGTERM
// and SIGHUP make the key reader throw Interrupted (a second one ends the process at once);
// SIGQUIT and the fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) give the terminal
// back as it was before the outermost object, then take their default action; SIGWINCH is
// noted for read_key_or_resize. Handlers installed by someone else, and ignored signals, are
// left alone. Main thread only.
// Throws std::runtime_error("tcgetattr() failed") / ("tcsetattr() failed") when standard input
// is not a terminal.
class Terminal {
public:
    Terminal(bool clear_screen, bool raw_input, bool disable_ctrl_c, bool hide_cursor);
    // The program's screens: the alternate screen, raw keys, Ctrl+C kept, the cursor hidden.
    static Terminal FullScreen() { return Terminal(true, true, false, true); }
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

private:
    bool alternate_screen_;
    bool hide_cursor_;
    struct Saved;
    std::unique_ptr<Saved> saved_;  // the terminal mode found at construction
};

// Blocks until one key arrives and returns its code (printable keys as their character).
// Throws Interrupted when a signal asked the program to end.
int read_key();
// The same, but returns Key::RESIZE as soon as the terminal has changed size, and, with a tick,
// Key::TICK when that many milliseconds passed without a key.
int read_key_or_resize(int tick_ms = -1);
// How many size changes read_key_or_resize has reported so far. A screen that lay under
// another one compares it with its own count: the other screen may have taken the change.
unsigned resize_count();
// Forgets every key typed ahead and not read yet.
void discard_pending_input();
// After a one-key answer: forgets what was typed ahead, and an Enter that follows within a
// moment (it belongs to the answer, not to the next screen).
void discard_answer_keys();
// Terminal size of standard output; false (and both left alone) when the query fails.
bool get_term_size(int& rows, int& cols);

enum class fg : int {
    black = 30, red = 31, green = 32, yellow = 33, blue = 34, magenta = 35, cyan = 36, white = 37,
    reset = 39,
    gray = 90, bright_red = 91, bright_green = 92, bright_yellow = 93, bright_blue = 94,
    bright_magenta = 95, bright_cyan = 96, bright_white = 97
};
enum class bg : int {
    black = 40, red = 41, green = 42, yellow = 43, blue = 44, magenta = 45, cyan = 46, white = 47,
    reset = 49,
    gray = 100, bright_red = 101, bright_green = 102, bright_yellow = 103, bright_blue = 104,
    bright_magenta = 105, bright_cyan = 106, bright_white = 107
};
enum class style : int { reset = 0, bold = 1, dim = 2, italic = 3, underline = 4, reversed = 7 };

std::string color(fg value);
std::string color(bg value);
std::string color(style value);
std::string clear_screen();                          // ESC [2J
std::string move_cursor(size_t row, size_t column);  // 1-based
std::string cursor_on();
std::string cursor_off();

// Writes `text` to standard output in one write and flushes it.
void write(const std::string& text);

enum class Result { Yes, No, Abort, Invalid, Error, None };

// Shows "message [first/second]indicator " and reads the answer.
Result prompt(const std::string& message, const std::string& first_option,
              const std::string& second_option, const std::string& prompt_indicator,
              bool immediate);

// Line editing with a history. Returns every line followed by "\n" and appends the result to
// the history.
std::string prompt_multiline(const Terminal& terminal, const std::string& prompt_string,
                             std::vector<std::string>& history,
                             std::function<bool(std::string)>& iscomplete);

}  // namespace Term
