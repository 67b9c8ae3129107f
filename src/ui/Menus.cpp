// The content of the five menus, as data, and the routine that builds the lists from it.
#include "ui/MenuRender.h"

#include "app/MoravelState.h"
#include "ui/Commands.h"

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

const ItemData kVoiceItems[] = {
    {"Alien", CMD_VOICE_ALIEN},
    {"Atari", CMD_VOICE_ATARI},
    {"Clone", CMD_VOICE_CLONE},
    {"Mutation", CMD_VOICE_MUTATION},
    {"Fast Mutation", CMD_VOICE_FAST_MUTATION},
    {"Slow Mutation", CMD_VOICE_SLOW_MUTATION},
    {"Male pitch", CMD_VOICE_MALE_PITCH},
    {"Female pitch", CMD_VOICE_FEMALE_PITCH},
    {"Helium pitch", CMD_VOICE_HELIUM_PITCH},
    {"Baby pitch", CMD_VOICE_BABY_PITCH},
    {"Radio", CMD_VOICE_RADIO},
    {"Robot", CMD_VOICE_ROBOT},
    {"Custom pitch", CMD_VOICE_CUSTOM_PITCH},
    {"Silence", CMD_VOICE_SILENCE},
    {"CLEAR", CMD_VOICE_CLEAR},
};

const ItemData kEffectsItems[] = {
    {"Town Hall", CMD_EFFECT_TOWN_HALL},
    {"Echo", CMD_EFFECT_ECHO},
    {"Chorus", CMD_EFFECT_CHORUS},
    {"Ghost", CMD_EFFECT_GHOST},
    {"CLEAR", CMD_EFFECT_CLEAR},
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

template <size_t N>
void Build(std::vector<MenuItem>& menu, const ItemData (&items)[N]) {
    menu.clear();
    for (const ItemData& entry : items) {
        MenuItem item;
        item.label = entry.label;
        item.command = entry.command;
        menu.push_back(item);
    }
}

}  // namespace

void menu_init_menus() {
    Build(glMAIN_MENU, kMainItems);
    Build(glVOICE_MENU, kVoiceItems);
    Build(glEFFECTS_MENU, kEffectsItems);
    Build(glAUDIOSETTINGS_MENU, kAudioSettingsItems);
    Build(glHELP_MENU, kHelpItems);
}
