// The Terminal object: terminal mode, alternate screen and cursor for a scope, and the signal
// handlers that give the terminal back when the process is interrupted.
#include "ui/terminal/Terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace Term {

struct Terminal::Saved {
    termios mode;
};

namespace {

constexpr char kEnterAlternate[] = "\x1b[?1049h";
constexpr char kLeaveAlternate[] = "\x1b[?1049l";
constexpr char kShowCursor[] = "\x1b[?25h";
constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// State shared by all live objects. The signal handler reads the last two; both are written
// before the handlers are installed or only as single sig_atomic_t stores.
int g_live_objects = 0;
struct sigaction g_previous[kSignalCount];
bool g_installed[kSignalCount] = {};
termios g_outermost_mode{};
volatile sig_atomic_t g_alternate_depth = 0;

void write_raw(const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// Async-signal-safe calls only.
void restore_and_reraise(int signal_number) {
    int saved_errno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &g_outermost_mode);
    if (g_alternate_depth > 0) write_raw(kLeaveAlternate, sizeof(kLeaveAlternate) - 1);
    write_raw(kShowCursor, sizeof(kShowCursor) - 1);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    // Blocked while the handler runs, so it is delivered with the default action on return.
    raise(signal_number);
    errno = saved_errno;
}

// Handlers someone else installed (or an inherited "ignore") are left alone.
void install_handlers() {
    struct sigaction action {};
    action.sa_handler = restore_and_reraise;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaddset(&action.sa_mask, s);
    for (int i = 0; i < kSignalCount; ++i) {
        g_installed[i] = sigaction(kSignals[i], nullptr, &g_previous[i]) == 0 &&
                         !(g_previous[i].sa_flags & SA_SIGINFO) &&
                         g_previous[i].sa_handler == SIG_DFL &&
                         sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

void remove_handlers() {
    for (int i = 0; i < kSignalCount; ++i) {
        if (g_installed[i]) sigaction(kSignals[i], &g_previous[i], nullptr);
        g_installed[i] = false;
    }
}

void begin_object(const termios& found) {
    if (g_live_objects++ == 0) {
        g_outermost_mode = found;
        install_handlers();
    }
}

void end_object() {
    if (--g_live_objects == 0) remove_handlers();
}

// Keeps output processing so that "\n" still starts a new line at the left edge.
void make_raw(termios& mode) {
    mode.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    mode.c_lflag &= ~(ECHO | ECHONL | ICANON | IEXTEN);
    mode.c_cflag |= CS8;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
}

void emit(const std::string& text) {
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

Terminal::Terminal(bool clear_screen, bool raw_input, bool disable_ctrl_c, bool hide_cursor)
    : alternate_screen_(clear_screen), hide_cursor_(hide_cursor), saved_(std::make_unique<Saved>()) {
    if (tcgetattr(STDIN_FILENO, &saved_->mode) != 0) throw std::runtime_error("tcgetattr() failed");
    begin_object(saved_->mode);
    if (raw_input || disable_ctrl_c) {
        termios mode = saved_->mode;
        if (raw_input) make_raw(mode);
        if (disable_ctrl_c) mode.c_lflag &= ~ISIG;
        // TCSANOW: keys typed ahead must survive the switch between nested objects.
        if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0) {
            end_object();
            throw std::runtime_error("tcsetattr() failed");
        }
    }
    std::string out;
    if (alternate_screen_ && g_alternate_depth++ == 0) out += kEnterAlternate;
    if (hide_cursor_) out += cursor_off();
    emit(out);
}

Terminal::~Terminal() {
    std::string out;
    if (hide_cursor_) out += kShowCursor;
    bool leave = alternate_screen_ && g_alternate_depth == 1;
    if (leave) out += kLeaveAlternate;
    emit(out);
    if (alternate_screen_) g_alternate_depth = g_alternate_depth - 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
    end_object();
}

}  // namespace Term
