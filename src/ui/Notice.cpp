#include "ui/Notice.h"

#include "ui/Banner.h"
#include "ui/terminal/Terminal.h"

void ShowNotice(const std::string& text) {
    const Term::Terminal terminal = Term::Terminal::FullScreen();
    std::string screen = Term::clear_screen();
    menu_add_header(screen);
    screen += "\n" + text + "\n\nPress any key to continue.";
    Term::write(screen);
    Term::read_key();
}

std::string UnreadableSettingsNotice(const std::string& path, const std::string& reason) {
    return "The settings file " + path + " cannot be read (" + reason +
           ").\nThis run starts from the default settings and does not save them, so the file "
           "stays as it is.";
}
