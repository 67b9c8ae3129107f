// The keyboard loops of the main menu and of the sub-menus.
#include "ui/MenuLoops.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "audio/setup/DeviceWatch.h"
#include "ui/Commands.h"
#include "ui/MenuRender.h"
#include "ui/Notice.h"
#include "ui/Menus.h"
#include "ui/terminal/Terminal.h"

namespace {

enum class KeyAction { Ignore, Up, Down, First, Last, Choose, StepUp, StepDown, AskQuit, Close };

struct KeyBinding {
    int key;
    KeyAction mainMenu;
    KeyAction subMenu;
};

const KeyBinding kKeyBindings[] = {
    {Term::Key::ENTER, KeyAction::Choose, KeyAction::Choose},
    {Term::Key::ARROW_UP, KeyAction::Up, KeyAction::Up},
    {Term::Key::ARROW_DOWN, KeyAction::Down, KeyAction::Down},
    {Term::Key::HOME, KeyAction::First, KeyAction::First},
    {Term::Key::END, KeyAction::Last, KeyAction::Last},
    {Term::Key::ESC, KeyAction::AskQuit, KeyAction::Close},
    {'q', KeyAction::AskQuit, KeyAction::Ignore},
    {Term::Key::BACKSPACE, KeyAction::Ignore, KeyAction::Close},
    {'+', KeyAction::Ignore, KeyAction::StepUp},
    {'-', KeyAction::Ignore, KeyAction::StepDown},
};

KeyAction ActionFor(int key, bool mainMenu) {
    for (const KeyBinding& binding : kKeyBindings)
        if (binding.key == key) return mainMenu ? binding.mainMenu : binding.subMenu;
    return KeyAction::Ignore;
}

// Moves the highlight; true when the action was a movement. The highlight never wraps.
bool MoveHighlight(KeyAction action, int count, int& selected) {
    switch (action) {
        case KeyAction::Up:
            if (selected >= 2) --selected;
            return true;
        case KeyAction::Down:
            if (selected < count) ++selected;
            return true;
        case KeyAction::First:
            selected = 1;
            return true;
        case KeyAction::Last:
            selected = count;
            return true;
        default:
            return false;
    }
}

void RunItem(const std::vector<MenuItem>& items, int selected, int step) {
    handleCommand(static_cast<MVCommands>(items.at(static_cast<size_t>(selected - 1)).command),
                  step);
}

// The terminal's size, asked once when a menu opens and again only after it changed, also
// when the change came while a sub-menu or a prompt had the screen.
struct ScreenSize {
    int rows = 0;
    int cols = 0;
    unsigned changesSeen = 0;

    ScreenSize() { query(); }
    void refresh() {
        if (changesSeen != Term::resize_count()) query();
    }
    void query() {
        changesSeen = Term::resize_count();
        Term::get_term_size(rows, cols);
    }
};

// Between keys the menus look after the audio devices this often.
constexpr int kWatchTickMs = 250;

// The next key, or RESIZE, or TICK when the status line changed meanwhile; a tick that changed
// nothing is not returned.
int NextKeyOrChange() {
    for (;;) {
        const int key = Term::read_key_or_resize(kWatchTickMs);
        if (key != Term::Key::TICK) return key;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        if (WatchAudioDevices(static_cast<uint64_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(now).count()))) {
            return key;
        }
    }
}

template <typename Body>
int ReportingErrors(Body body) {
    try {
        return body();
    } catch (const Term::Interrupted&) {
        throw;  // the program is asked to end: every screen unwinds to the shutdown
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "Runtime error: %s\n", error.what());
        std::fflush(stderr);
        return 2;
    } catch (...) {
        std::fputs("Unknown error.\n", stderr);
        std::fflush(stderr);
        return 1;
    }
}

}  // namespace

int MENU_MainMenu(std::string title) {
    return ReportingErrors([&title] {
        const Term::Terminal terminal = Term::Terminal::FullScreen();
        ScreenSize size;
        int selected = 1;
        while (gl_Working) {
            const int count = static_cast<int>(glMAIN_MENU.size());
            TellUnsavedSettings();
            size.refresh();
            menu_render(size.rows, size.cols, glMAIN_MENU, selected, title);
            const int key = NextKeyOrChange();
            if (key == Term::Key::RESIZE || key == Term::Key::TICK) continue;
            const KeyAction action = ActionFor(key, true);
            if (MoveHighlight(action, count, selected)) continue;
            if (action == KeyAction::Choose && count > 0) RunItem(glMAIN_MENU, selected, 0);
            if (action == KeyAction::AskQuit) handleCommand(CMD_EXIT, 0);
        }
        return 0;
    });
}

int MENU_DisplayMenu(std::vector<MenuItem>& items, const std::string& title, bool closeOnEnter) {
    if (items.empty()) return 0;
    return ReportingErrors([&] {
        const Term::Terminal terminal = Term::Terminal::FullScreen();
        ScreenSize size;
        int selected = 1;
        for (;;) {
            const int count = static_cast<int>(items.size());
            TellUnsavedSettings();
            size.refresh();
            menu_render(size.rows, size.cols, items, selected, title);
            const int key = NextKeyOrChange();
            if (key == Term::Key::RESIZE || key == Term::Key::TICK) continue;
            const KeyAction action = ActionFor(key, false);
            if (MoveHighlight(action, count, selected)) continue;
            switch (action) {
                case KeyAction::Choose:
                    RunItem(items, selected, 0);
                    if (closeOnEnter) return 0;
                    break;
                case KeyAction::StepUp:
                    RunItem(items, selected, 1);
                    break;
                case KeyAction::StepDown:
                    RunItem(items, selected, -1);
                    break;
                case KeyAction::Close:
                    return 0;
                default:
                    break;
            }
        }
    });
}
