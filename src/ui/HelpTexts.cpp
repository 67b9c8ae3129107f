#include "ui/HelpTexts.h"

#include <cstdlib>

const char* const kProgramVersion = "0.1";
const char* const kPlatformName = "MacOS";

namespace {

const char* const kSiteAddress = "https://moravel.app";

#ifdef __APPLE__
const char* const kBrowserOpener = "open";
#else
const char* const kBrowserOpener = "xdg-open";
#endif

}  // namespace

std::vector<std::string> AboutText() {
    return {
        "Moravel Voice Changer for Audio Cable/Virtual Audio Device",
        std::string("Version ") + kProgramVersion + " for " + kPlatformName,
        "Made by the Moravel developers",
        "",
        "[OK]",
    };
}

std::vector<std::string> HowToUseText() {
    return {
        "Moravel Voice Changer works as audio processing unit.",
        "Input audio ( usually taken from your physical audio device ) is modified and "
        "redirected to specified audio output ( usually virtual cable/device ).",
        "To use modified audio in other applications you have to configure these apps to use "
        "audio cable device ( not physical microphone ).",
        "",
        "There are different apps for creating virtual audio/cable device:",
        "https://vb-audio.com/Cable/  ( Win, MacOS )",
        "https://existential.audio/blackhole/ ( MacOS)",
        "https://vac.muzychenko.net/en/download.htm ( Win )",
        "https://jackaudio.org/downloads/ ( Linux, macOS, Windows)",
        "",
        "[OK]",
    };
}

std::string UpdatePageAddress() {
    return std::string(kSiteAddress) + "/vavorozodedi/mvconsole.html?os=" + kPlatformName +
           "&ver=" + kProgramVersion;
}

std::string HomePageAddress() { return std::string(kSiteAddress) + "/vavorozodedi/"; }

std::string BrowserCommand(const std::string& address) {
    // The addresses are fixed texts without quotes, so double quotes protect the "&".
    return std::string(kBrowserOpener) + " \"" + address + "\" </dev/null >/dev/null 2>&1 &";
}

void OpenWebPage(const std::string& address) {
    const int ignored = std::system(BrowserCommand(address).c_str());
    (void)ignored;
}
