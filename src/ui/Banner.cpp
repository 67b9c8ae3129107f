#include "ui/Banner.h"

#include "ui/terminal/Terminal.h"

namespace {
// Six lines of block lettering; the first is 51 columns wide, the others 52.
const char* const kLettering =
    " __  __                                           _\n"
    "|  \\/  |                                         | |\n"
    "| \\  / |   ___    _ __    __ _   __   __    ___  | |\n"
    "| |\\/| |  / _ \\  | '__|  / _` |  \\ \\ / /   / _ \\ | |\n"
    "| |  | | | (_) | | |    | (_| |   \\ V /   |  __/ | |\n"
    "|_|  |_|  \\___/  |_|     \\__,_|    \\_/     \\___| |_|\n";
// Puts the platform name under the right-hand end of the lettering.
const char* const kPlatformLine = "                                            for MacOS\n";
}  // namespace

void menu_add_header(std::string& screen) {
    screen.reserve(16384);
    screen += Term::move_cursor(1, 1);
    screen += Term::color(Term::fg::bright_cyan);
    screen += kLettering;
    screen += kPlatformLine;
    screen += Term::color(Term::fg::reset);
}
