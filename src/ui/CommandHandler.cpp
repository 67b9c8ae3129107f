// handleCommand: one handler per command, looked up in a table; the effect choices, menus,
// toggles, value prompts, web pages and text screens are data that the handlers read.
#include "ui/Commands.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "config/UserSettings.h"
#include "effects/EffectCatalogue.h"
#include "ui/AudioSetupDialog.h"
#include "ui/HelpTexts.h"
#include "ui/InputCompleteness.h"
#include "ui/MenuLabels.h"
#include "ui/MenuLoops.h"
#include "ui/Menus.h"
#include "ui/ValueCommands.h"
#include "ui/terminal/Terminal.h"

namespace {

struct SubMenu {
    MVCommands command;
    std::vector<MenuItem>* items;
    const char* title;
    bool closeOnEnter;
    bool saveOnClose;
};
const SubMenu kSubMenus[] = {
    {CMD_VOICE_MENU, &glVOICE_MENU, "Set Voice", true, true},
    {CMD_EFFECTS_MENU, &glEFFECTS_MENU, "Set Effect", true, true},
    {CMD_AUDIOSETTINGS_MENU, &glAUDIOSETTINGS_MENU, "Audio settings", false, true},
    {CMD_HELP_MENU, &glHELP_MENU, "Help", true, false},
};

struct Toggle {
    MVCommands command;
    RelaxedAtomic<bool>* setting;
    void (*show)();
};
const Toggle kToggles[] = {
    {CMD_TURN_ON_OFF, &SS_MORAVEL_ACTIVE, ShowProcessingSwitch},
    {CMD_NOISE_REMOVAL, &SS_EnableNoiseRemoval, ShowNoiseRemoval},
    {CMD_APPEND_ORIGINAL_VOICE, &overlapOriginalVoice, ShowOriginalVoice},
};

struct ToneControl {
    MVCommands command;
    RelaxedAtomic<float>* gain;
    void (*show)();
    const char* prompt;
};
const ToneControl kToneControls[] = {
    {CMD_BASS, &gl_bass, ShowBass, "Set microphone bass (from -60dB to 60dB) [0dB]: "},
    {CMD_TREBLE, &gl_treble, ShowTreble, "Set microphone treble (from -60dB to 60dB) [0dB]: "},
};

template <typename Entry, size_t N>
const Entry& EntryFor(const Entry (&table)[N], MVCommands command) {
    for (const Entry& entry : table)
        if (entry.command == command) return entry;
    return table[0];  // unreachable: every handler is listed only for its own commands
}

// The value prompt: one line (or several joined by a trailing backslash) typed under the menu.
std::string AskValue(const std::string& promptText) {
    const Term::Terminal terminal(false, true, false, false);
    std::vector<std::string> history;
    std::function<bool(std::string)> complete = determine_completeness;
    return Term::prompt_multiline(terminal, promptText, history, complete);
}

void RunMainMenu(MVCommands, int) { MENU_MainMenu("Main menu"); }

void OpenSubMenu(MVCommands command, int) {
    const SubMenu& menu = EntryFor(kSubMenus, command);
    MENU_DisplayMenu(*menu.items, menu.title, menu.closeOnEnter);
    if (menu.saveOnClose) SaveCurrentConfiguration();
}

void FlipSetting(MVCommands command, int) {
    const Toggle& toggle = EntryFor(kToggles, command);
    *toggle.setting = !toggle.setting->load();
    toggle.show();
}

// The catalogue row a command selects; null when the command selects no effect.
template <typename Row>
const Row* RowSelectedBy(const std::vector<Row>& rows, MVCommands command) {
    for (const Row& row : rows) {
        if (row.command == command) return &row;
    }
    return nullptr;
}

void SelectVoiceEffect(const VoiceEffectRow& row) {
    SS_VavorOzodediEffect = static_cast<int8_t>(row.id);
    ShowVoiceEffect();
}

void SelectSoundEffect(const SoundEffectRow& row) {
    SS_EffectType = row.id;
    ShowSoundEffect();
}

void SetCustomPitch(MVCommands, int step) {
    const float current = SS_Manual_Pitch;
    if (step != 0) {
        SS_Manual_Pitch = StepCustomPitch(current, step);
    } else {
        const std::string prompt =
            "Set custom pitch (from -15 to 30) [" + PitchText(current) + "]: ";
        SS_Manual_Pitch = CustomPitchFromInput(AskValue(prompt), current);
    }
    // Any answer, even an unchanged value, selects the custom pitch.
    SS_VavorOzodediEffect = static_cast<int8_t>(kCustomPitchEffect);
    ShowVoiceEffect();
}

void SetSensitivity(MVCommands, int step) {
    const int percent =
        step != 0 ? StepSensitivityPercent(SS_Microphone_Sensivity, step)
                  : ParseIntegerInput(
                        AskValue("Set microphone sensitivity (from 0 to 100) [100%]: "));
    SS_Microphone_Sensivity = SensitivityFromPercent(percent);
    ShowSensitivity();
}

void SetToneGain(MVCommands command, int step) {
    const ToneControl& tone = EntryFor(kToneControls, command);
    const int steps = step != 0 ? StepGainSteps(*tone.gain, step)
                                : ParseIntegerInput(AskValue(tone.prompt));
    *tone.gain = GainFromSteps(ClampGainSteps(steps));
    tone.show();
}

void AskToQuit(MVCommands, int) {
    Term::write(Term::cursor_on());
    const Term::Result answer = Term::prompt("Quit?", "Y", "n", ":", true);
    gl_Working = answer == Term::Result::No;
    Term::write(Term::cursor_off());
}

void OpenUpdatePage(MVCommands, int) { OpenWebPage(UpdatePageAddress()); }
void OpenHomePage(MVCommands, int) { OpenWebPage(HomePageAddress()); }

void ShowText(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Term::write(line + "\n");
    Term::read_key();
}
void ShowAbout(MVCommands, int) { ShowText(AboutText()); }
void ShowHowToUse(MVCommands, int) { ShowText(HowToUseText()); }

void AskForDevices(MVCommands, int) { SetupAudioProcessing(false); }
void ReopenSavedDevices(MVCommands, int) { SetupAudioProcessing(true); }

using Handler = void (*)(MVCommands, int);
struct CommandEntry {
    MVCommands command;
    Handler handler;
};
const CommandEntry kCommands[] = {
    {CMD_MAIN_MENU, RunMainMenu},
    {CMD_VOICE_MENU, OpenSubMenu},
    {CMD_EFFECTS_MENU, OpenSubMenu},
    {CMD_AUDIOSETTINGS_MENU, OpenSubMenu},
    {CMD_TURN_ON_OFF, FlipSetting},
    {CMD_VOICE_CUSTOM_PITCH, SetCustomPitch},
    {CMD_NOISE_REMOVAL, FlipSetting},
    {CMD_SENSITIVITY, SetSensitivity},
    {CMD_BASS, SetToneGain},
    {CMD_TREBLE, SetToneGain},
    {CMD_APPEND_ORIGINAL_VOICE, FlipSetting},
    {CMD_EXIT, AskToQuit},
    {CMD_HELP_MENU, OpenSubMenu},
    {CMD_CHECK_FOR_UPDATES, OpenUpdatePage},
    {CMD_HOMEPAGE, OpenHomePage},
    {CMD_ABOUT, ShowAbout},
    {CMD_SETUP, AskForDevices},
    {CMD_SETUP_AUTO, ReopenSavedDevices},
    {CMD_HOW_TO_USE, ShowHowToUse},
};

}  // namespace

void handleCommand(MVCommands command, int step) {
    for (const CommandEntry& entry : kCommands) {
        if (entry.command == command) {
            entry.handler(command, step);
            return;
        }
    }
    // The other effect commands select their catalogue row.
    if (const VoiceEffectRow* row = RowSelectedBy(VoiceEffectRows(), command)) {
        SelectVoiceEffect(*row);
    } else if (const SoundEffectRow* row = RowSelectedBy(SoundEffectRows(), command)) {
        SelectSoundEffect(*row);
    }
}
