#include "ui/Notice.h"

#include <cstdio>

#include "ui/Banner.h"
#include "ui/terminal/Terminal.h"

void ShowNotice(const std::string& text) {
    Term::Terminal terminal(true, true, false, true);
    std::string screen = Term::clear_screen();
    menu_add_header(screen);
    screen += "\n" + text + "\n\nPress any key to continue.";
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
    Term::read_key();
}

std::string UnreadableSettingsNotice(const std::string& path, const std::string& reason) {
    return "The settings file " + path + " cannot be read (" + reason +
           ").\nThis run starts from the default settings and does not save them, so the file "
           "stays as it is.";
}
