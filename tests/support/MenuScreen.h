#pragma once
// A piece of the program run on a pseudo-terminal, read back as the menu screens it draws.
#include <string>

#include "support/ChildProcess.h"

class MenuProgram : public ChildProcess {
public:
    using ChildProcess::ChildProcess;

    // Types keys and waits for the menu screen that follows them.
    bool Press(const std::string& keys);
    int Frames() const;  // complete menu screens drawn so far
    std::string LastFrame() const;
};

// Parts of one menu screen, colour codes removed.
std::string FrameTitle(const std::string& frame);
std::string FrameHighlight(const std::string& frame);  // "" when no row is highlighted
std::string FrameRow(const std::string& frame, const std::string& label);

namespace Keys {
const std::string kUp = "\x1b[A";
const std::string kDown = "\x1b[B";
const std::string kHome = "\x1b[H";
const std::string kEnd = "\x1b[F";
const std::string kEsc = "\x1b";
const std::string kBackspace = "\x7f";
const std::string kEnter = "\r";
}  // namespace Keys
