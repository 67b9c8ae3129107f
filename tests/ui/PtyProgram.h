#pragma once
// Runs a piece of the program in a child process on a pseudo-terminal, types keys into it and
// reads back what it draws.
#include <functional>
#include <string>

class PtyProgram {
public:
    // body runs in the child with the pseudo-terminal as its controlling terminal and
    // standard streams; its result becomes the child's exit status.
    explicit PtyProgram(const std::function<int()>& body, int rows = 24, int cols = 80);
    ~PtyProgram();
    PtyProgram(const PtyProgram&) = delete;
    PtyProgram& operator=(const PtyProgram&) = delete;

    void Send(const std::string& keys);
    // Reads output until the predicate holds for everything read so far, or the time is up.
    bool WaitUntil(const std::function<bool(const std::string&)>& done, int timeoutMs = 5000);
    // Sends keys and waits for the menu screen that follows them.
    bool Press(const std::string& keys);
    bool WaitForText(const std::string& text, int timeoutMs = 5000);
    // Waits for the child to end; its exit status, or -1 when it was killed or did not end.
    int Finish(int timeoutMs = 5000);

    const std::string& Output() const { return output_; }
    int Frames() const;           // complete menu screens drawn so far
    std::string LastFrame() const;

private:
    void ReadAvailable(int timeoutMs);
    int master_ = -1;
    int pid_ = -1;
    int status_ = -1;
    std::string output_;
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
