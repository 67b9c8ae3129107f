// String builders for the escape sequences the program writes, and the terminal size query.
#include "ui/terminal/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace Term {

namespace {
std::string sgr(int code) { return "\x1b[" + std::to_string(code) + "m"; }
}  // namespace

std::string color(fg value) { return sgr(static_cast<int>(value)); }
std::string color(bg value) { return sgr(static_cast<int>(value)); }
std::string color(style value) { return sgr(static_cast<int>(value)); }

std::string clear_screen() { return "\x1b[2J"; }

std::string move_cursor(size_t row, size_t column) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

std::string cursor_on() { return "\x1b[?25h"; }
std::string cursor_off() { return "\x1b[?25l"; }

bool get_term_size(int& rows, int& cols) {
    // Output may be redirected while another standard stream is still the terminal.
    for (int fd : {STDOUT_FILENO, STDIN_FILENO, STDERR_FILENO}) {
        winsize size{};
        if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
            rows = size.ws_row;
            cols = size.ws_col;
            return true;
        }
    }
    return false;
}

}  // namespace Term
