#include "PrivateSoundServer.h"

#include <cstdio>
#include <cstdlib>

namespace {

const std::string kHarness = std::string(MORAVEL_SOURCE_DIR) + "/scripts/pulse-harness.sh";

}  // namespace

bool PrivateSoundServer::Start(const std::string& server, std::string& why) {
    if (std::system(("bash " + kHarness + " check " + server + " 2>/dev/null").c_str()) != 0) {
        why = "the tools of a private " + server + " server are not installed";
        return false;
    }
    FILE* out = popen(("bash " + kHarness + " start " + server).c_str(), "r");
    if (out == nullptr) {
        why = "cannot run " + kHarness;
        return false;
    }
    // Lines "export NAME=value"; the values are paths and words without quoting.
    char line[4096];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (text.rfind("export ", 0) != 0) continue;
        const size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = text.substr(7, eq - 7);
        std::string value = text.substr(eq + 1);
        if (value == "''") value.clear();  // an empty value as the shell quotes it
        setenv(name.c_str(), value.c_str(), 1);
        if (name == "PULSE_HARNESS_DIR") dir_ = value;
    }
    if (pclose(out) != 0 || dir_.empty()) {
        why = "the private " + server + " server did not start";
        return false;
    }
    server_ = server;
    return true;
}

bool PrivateSoundServer::AddProbe() {
    return std::system(("bash " + kHarness + " probe").c_str()) == 0;
}

void PrivateSoundServer::RemoveProbe() {
    std::system(("bash " + kHarness + " unprobe").c_str());
}

void PrivateSoundServer::Stop() {
    if (dir_.empty()) return;
    std::system(("bash " + kHarness + " stop " + dir_).c_str());
    dir_.clear();
}

std::vector<std::string> LiveSoundServers() {
    const char* only = std::getenv("MORAVEL_SOUND_SERVER");
    if (only != nullptr && *only != '\0') return {only};
    return {"pulseaudio", "pipewire"};
}

bool LiveServerWanted(const std::string& server) {
    for (const std::string& wanted : LiveSoundServers()) {
        if (wanted == server) return true;
    }
    return false;
}
