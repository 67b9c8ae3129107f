#include "app/GoodbyeScreen.h"

#include "ui/Banner.h"
#include "ui/terminal/Terminal.h"

int ElapsedMinutes(double seconds) { return static_cast<int>(seconds / 60.0); }

std::string BuildGoodbyeText(int minutes) {
    std::string text = Term::clear_screen();
    menu_add_header(text);
    text += "\nElapsed time since start is ";
    text += std::to_string(minutes);
    text += " minute(s). Bye!\n";
    return text;
}
