// One complete menu screen: banner, framed list with the highlight, status line.
#include "ui/MenuRender.h"

#include <algorithm>
#include <cstdio>

#include "audio/EngineState.h"
#include "audio/setup/DeviceWatch.h"
#include "config/UserSettings.h"
#include "ui/Banner.h"
#include "ui/terminal/Terminal.h"

namespace {

// Rows of the screen above the item rows: the banner (7), the top border, the title row and
// the second border.
constexpr int kRowsAboveItems = 10;

size_t InnerWidth(const std::vector<MenuItem>& items, const std::string& title) {
    size_t width = title.size() + 2;
    for (const MenuItem& item : items) {
        size_t row = item.valueLabel.empty() ? item.label.size() + 2
                                             : item.label.size() + item.valueLabel.size() + 5;
        width = std::max(width, row);
    }
    return width;
}

std::string Border(size_t width) { return "+" + std::string(width, '-') + "+ \n"; }

void AppendItemRow(std::string& screen, const MenuItem& item, bool highlighted, size_t width) {
    const Term::fg rowColor = highlighted ? Term::fg::black : Term::fg::bright_white;
    screen += "|";
    if (highlighted) {
        screen += Term::color(Term::bg::bright_white);
        screen += Term::color(Term::style::bold);
    } else {
        screen += Term::color(Term::bg::black);
    }
    screen += Term::color(rowColor);
    screen += " ";
    screen += item.label;
    long fill = static_cast<long>(width) - static_cast<long>(item.label.size()) - 1;
    if (!item.valueLabel.empty()) {
        screen += " (";
        screen += Term::color(static_cast<Term::fg>(item.valueColor));
        screen += item.valueLabel;
        screen += Term::color(rowColor);
        screen += ")";
        fill -= static_cast<long>(item.valueLabel.size()) + 3;
    }
    // The fill keeps the row's colours, so the highlight is one solid bar.
    if (fill > 0) screen.append(static_cast<size_t>(fill), ' ');
    screen += Term::color(Term::bg::reset);
    screen += Term::color(Term::fg::reset);
    screen += Term::color(Term::style::reset);
    screen += "| \n";
}

// After the device names while a device is gone: which one, and that it is being waited for.
std::string LostDeviceText(const LostDevice& lost) {
    switch (lost.what) {
        case DeviceLoss::none:
            return "";
        case DeviceLoss::server:
            return "  (the sound server is gone: waiting for it to come back)";
        default:
            return "  (" + lost.name + " is gone: waiting for it to come back)";
    }
}

}  // namespace

std::string menu_compose(int rows, int /*cols*/, const std::vector<MenuItem>& items, int selected,
                         const std::string& title) {
    std::string screen;
    screen += Term::clear_screen();
    menu_add_header(screen);

    const size_t width = InnerWidth(items, title);
    const std::string border = Border(width);
    screen += border;
    screen += "| " + title + std::string(width - title.size() - 1, ' ') + "|\n";
    screen += border;
    for (size_t i = 0; i < items.size(); ++i) {
        const bool highlighted = selected >= 1 && static_cast<size_t>(selected) == i + 1;
        AppendItemRow(screen, items[i], highlighted, width);
    }
    screen += border;

    screen += Term::move_cursor(static_cast<size_t>(std::max(rows, 0)), 1);
    screen += gl_CurrentCaptureDeviceName;
    screen += Term::color(SS_MORAVEL_ACTIVE ? Term::fg::bright_green : Term::fg::bright_red);
    screen += " -> ";
    screen += Term::color(Term::fg::reset);
    screen += gl_CurrentPlaybackDeviceName;
    screen += LostDeviceText(gl_LostDevice);

    // Leave the cursor on the row under the bottom border, where prompts and texts appear.
    screen += Term::move_cursor(kRowsAboveItems + items.size() + 2, 1);
    return screen;
}

void menu_render(int rows, int cols, std::vector<MenuItem>& items, int selected,
                 std::string title) {
    Term::write(menu_compose(rows, cols, items, selected, title));
    Term::write(Term::cursor_off());
}
