// The Terminal object: terminal mode, alternate screen and cursor for a scope, and the signal
// handlers that give the terminal back when the process is interrupted.
#include "ui/terminal/Terminal.h"
#include "ui/terminal/TerminalSignals.h"

#include <cerrno>
#include <fcntl.h>
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

// Signals that ask the program to end: the menus unwind and it shuts down as usual.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Signals after which nothing of the program can be trusted: give the terminal back, then let
// them do what they do.
constexpr int kFatalSignals[] = {SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL,
                            SIGABRT, SIGWINCH};
constexpr int kHandledCount = sizeof(kHandled) / sizeof(kHandled[0]);

// State shared by all live objects. The signal handlers read g_outermost_mode and
// g_alternate_depth; both are written before the handlers are installed or only as single
// sig_atomic_t stores.
int g_live_objects = 0;
struct sigaction g_previous[kHandledCount];
bool g_installed[kHandledCount] = {};
termios g_outermost_mode{};
volatile sig_atomic_t g_alternate_depth = 0;
volatile sig_atomic_t g_termination = 0;
volatile sig_atomic_t g_resized = 0;
// Size changes the key reader has reported; only the thread that reads keys touches it.
unsigned g_resizesTaken = 0;
// A byte goes down this pipe for every signal, so a key reader waiting in poll wakes up even
// when another thread took the signal.
int g_wakeup[2] = {-1, -1};

void write_raw(const char* text, size_t length) {
    while (length > 0) {
        ssize_t written = ::write(STDOUT_FILENO, text, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void wake_reader() {
    if (g_wakeup[1] < 0) return;
    const char byte = 1;
    const ssize_t ignored = ::write(g_wakeup[1], &byte, 1);  // a full pipe wakes the reader anyway
    (void)ignored;
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

// The first ending signal is left for the key reader; a second one means the program did not
// get there, so it ends at once.
void request_ending(int signal_number) {
    if (g_termination != 0) {
        restore_and_reraise(signal_number);
        return;
    }
    int saved_errno = errno;
    g_termination = signal_number;
    wake_reader();
    errno = saved_errno;
}

void note_resize(int) {
    int saved_errno = errno;
    g_resized = 1;
    wake_reader();
    errno = saved_errno;
}

bool is_one_of(int signal_number, const int* list, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (list[i] == signal_number) return true;
    }
    return false;
}

void create_wakeup_pipe() {
    if (g_wakeup[0] >= 0) return;
    if (pipe(g_wakeup) != 0) {
        g_wakeup[0] = g_wakeup[1] = -1;
        return;
    }
    for (const int fd : g_wakeup) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
}

// Handlers someone else installed (or an inherited "ignore") are left alone.
void install_handlers() {
    create_wakeup_pipe();
    for (int i = 0; i < kHandledCount; ++i) {
        const int signal_number = kHandled[i];
        struct sigaction action {};
        if (is_one_of(signal_number, kEndingSignals, sizeof(kEndingSignals) / sizeof(int))) {
            action.sa_handler = request_ending;
        } else if (is_one_of(signal_number, kFatalSignals, sizeof(kFatalSignals) / sizeof(int))) {
            action.sa_handler = restore_and_reraise;
        } else {
            action.sa_handler = note_resize;
        }
        sigemptyset(&action.sa_mask);
        for (int s : kEndingSignals) sigaddset(&action.sa_mask, s);
        // Interrupted reads and writes go on by themselves; poll always returns, and the pipe
        // wakes it up in any case.
        action.sa_flags = SA_RESTART;
        g_installed[i] = sigaction(signal_number, nullptr, &g_previous[i]) == 0 &&
                         !(g_previous[i].sa_flags & SA_SIGINFO) &&
                         g_previous[i].sa_handler == SIG_DFL &&
                         sigaction(signal_number, &action, nullptr) == 0;
    }
}

void remove_handlers() {
    for (int i = 0; i < kHandledCount; ++i) {
        if (g_installed[i]) sigaction(kHandled[i], &g_previous[i], nullptr);
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

}  // namespace

void write(const std::string& text) {
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int signal_wakeup_fd() { return g_wakeup[0]; }

void drain_signal_wakeups() {
    if (g_wakeup[0] < 0) return;
    char bytes[64];
    while (read(g_wakeup[0], bytes, sizeof bytes) > 0) {
    }
}

int termination_signal() { return g_termination; }

bool take_resize() {
    if (g_resized == 0) return false;
    g_resized = 0;
    ++g_resizesTaken;
    return true;
}

unsigned resize_count() { return g_resizesTaken; }

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
    write(out);
}

Terminal::~Terminal() {
    std::string out;
    if (hide_cursor_) out += kShowCursor;
    bool leave = alternate_screen_ && g_alternate_depth == 1;
    if (leave) out += kLeaveAlternate;
    write(out);
    if (alternate_screen_) g_alternate_depth = g_alternate_depth - 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
    end_object();
}

}  // namespace Term
