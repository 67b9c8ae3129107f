// The content of the five menus, as data, and the routine that builds the lists from it; the
// voice and effect menus list the effect catalogue's rows.
#include "ui/Menus.h"

#include "effects/EffectCatalogue.h"
#include "ui/Commands.h"
#include "ui/MenuRender.h"

namespace {

struct ItemData {
    const char* label;
    MVCommands command;
};

const ItemData kMainItems[] = {
    {"Turn on/off", CMD_TURN_ON_OFF},
    {"Set Voice", CMD_VOICE_MENU},
    {"Set Effect", CMD_EFFECTS_MENU},
    {"Audio settings", CMD_AUDIOSETTINGS_MENU},
    {"Help", CMD_HELP_MENU},
    {"Exit", CMD_EXIT},
};

const ItemData kAudioSettingsItems[] = {
    {"A.I. Denoise", CMD_NOISE_REMOVAL},
    {"Sensitivity", CMD_SENSITIVITY},
    {"Bass", CMD_BASS},
    {"Treble", CMD_TREBLE},
    {"Append original voice", CMD_APPEND_ORIGINAL_VOICE},
    {"Setup", CMD_SETUP},
};

const ItemData kHelpItems[] = {
    {"How to use", CMD_HOW_TO_USE},
    {"Check for updates", CMD_CHECK_FOR_UPDATES},
    {"Homepage", CMD_HOMEPAGE},
    {"About", CMD_ABOUT},
};

void Add(std::vector<MenuItem>& menu, const char* label, MVCommands command) {
    MenuItem item;
    item.label = label;
    item.command = command;
    menu.push_back(item);
}

template <size_t N>
void Build(std::vector<MenuItem>& menu, const ItemData (&items)[N]) {
    menu.clear();
    for (const ItemData& entry : items) Add(menu, entry.label, entry.command);
}

template <typename Row>
void Build(std::vector<MenuItem>& menu, const std::vector<Row>& rows) {
    menu.clear();
    for (const Row& row : rows) Add(menu, row.menuText, row.command);
}

}  // namespace

void menu_init_menus() {
    Build(glMAIN_MENU, kMainItems);
    Build(glVOICE_MENU, VoiceEffectRows());
    Build(glEFFECTS_MENU, SoundEffectRows());
    Build(glAUDIOSETTINGS_MENU, kAudioSettingsItems);
    Build(glHELP_MENU, kHelpItems);
}

size_t VoiceMenuIndex(int effectId) {
    const std::vector<VoiceEffectRow>& rows = VoiceEffectRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].id == effectId) return i;
    }
    return rows.size();
}
