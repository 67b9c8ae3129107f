// The body of main: start-up in its fixed order, the menus, shutdown and the goodbye screen.
#include "app/Lifecycle.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <exception>

#include "app/GoodbyeScreen.h"
#include "audio/setup/AudioSetup.h"
#include "audio/EngineState.h"
#include "config/PortableConfig.h"
#include "config/Settings.h"
#include "ui/AudioSetupDialog.h"
#include "ui/Commands.h"
#include "ui/MenuLabels.h"
#include "ui/MenuRender.h"
#include "ui/Notice.h"
#include "ui/terminal/Terminal.h"

int MoravelConsoleMain() {
    time_t startTime = 0;
    time_t endTime = 0;
    std::string goodbye;
    bool loaded = false;
    int endingSignal = 0;

    try {
        time(&startTime);
        ConfigPortableApplication();
        if (!PortableReadProblem().empty()) {
            ShowNotice(UnreadableSettingsNotice(glPortableConfiguration, PortableReadProblem()));
        }
        LoadConfiguration();
        loaded = true;
        menu_init_menus();
        UpdateMenuLabels();
        SetupAudioProcessing(true);
        handleCommand(CMD_MAIN_MENU, 0);
    } catch (const Term::Interrupted& interruption) {
        // SIGINT, SIGTERM or SIGHUP: the screens have unwound; shut down as Exit does.
        endingSignal = interruption.signal_number();
    } catch (const std::exception& error) {
        // Without a terminal on standard input (or without a working directory) there is
        // nothing to run: say why and end without touching the settings.
        audio_device_uninit(&gl_device);
        applicationClear();
        std::fprintf(stderr, "%s\n", error.what());
        std::fflush(stderr);
        return 1;
    }

    // Settings not loaded yet (a signal during the first screen) are not the user's: the file
    // keeps what it holds.
    if (loaded) SaveCurrentConfiguration();
    audio_device_uninit(&gl_device);
    applicationClear();
    time(&endTime);

    goodbye = BuildGoodbyeText(ElapsedMinutes(difftime(endTime, startTime)));
    Term::write(goodbye);
    if (!PortableSaveProblem().empty()) {
        // Said again where it stays readable once the screens are gone.
        std::fprintf(stderr, "%s\n",
                     UnsavedSettingsNotice(glPortableConfiguration, PortableSaveProblem()).c_str());
        std::fflush(stderr);
    }
    if (endingSignal != 0) {
        // Ended by the signal, as whoever sent it expects to see.
        std::signal(endingSignal, SIG_DFL);
        std::raise(endingSignal);
    }
    return 0;
}
