// The body of main: start-up in its fixed order, the menus, shutdown and the goodbye screen.
#include <cstdio>
#include <ctime>
#include <exception>

#include "app/GoodbyeScreen.h"
#include "app/MoravelState.h"
#include "audio/AudioSetup.h"
#include "config/Settings.h"
#include "ui/Commands.h"
#include "ui/MenuLabels.h"
#include "ui/MenuRender.h"

int MoravelConsoleMain() {
    time_t startTime = 0;
    time_t endTime = 0;
    std::string goodbye;

    try {
        time(&startTime);
        ConfigPortableApplication();
        LoadConfiguration();
        menu_init_menus();
        UpdateMenuLabels();
        SetupAudioProcessing(true);
        handleCommand(CMD_MAIN_MENU, 0);
    } catch (const std::exception& error) {
        // Without a terminal on standard input (or without a working directory) there is
        // nothing to run: say why and end without touching the settings.
        audio_device_uninit(&gl_device);
        applicationClear();
        std::fprintf(stderr, "%s\n", error.what());
        std::fflush(stderr);
        return 1;
    }

    SaveCurrentConfiguration();
    audio_device_uninit(&gl_device);
    applicationClear();
    time(&endTime);

    goodbye = BuildGoodbyeText(ElapsedMinutes(difftime(endTime, startTime)));
    std::fwrite(goodbye.data(), 1, goodbye.size(), stdout);
    std::fflush(stdout);
    return 0;
}
