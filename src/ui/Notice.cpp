#include "ui/Notice.h"

#include "config/PortableConfig.h"
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

std::string UnsavedSettingsNotice(const std::string& path, const std::string& reason) {
    return "The settings could not be saved to " + path + " (" + reason +
           ").\nThe changes are in effect, but the file still holds what it held before.";
}

bool TellUnsavedSettings() {
    static unsigned told = 0;
    if (PortableSaveFailures() == told) return false;
    told = PortableSaveFailures();
    if (PortableSaveProblem().empty()) return false;  // a later write succeeded
    ShowNotice(UnsavedSettingsNotice(glPortableConfiguration, PortableSaveProblem()));
    return true;
}
