#pragma once
// Runs a device set-up in a child process whose terminal is a pseudo-terminal, so the dialog
// can be answered key by key and its screen read back. Each child has its own working
// directory (and so its own MVConsole.ini).
#include <functional>
#include <string>

class SetupPty {
public:
    // `body` runs in the child inside `workDir`; its result is the child's exit status.
    SetupPty(const std::string& workDir, const std::function<int()>& body);
    ~SetupPty();
    SetupPty(const SetupPty&) = delete;
    SetupPty& operator=(const SetupPty&) = delete;

    void Send(const std::string& keys);
    // Waits until `text` appears after what was already seen by earlier waits.
    bool WaitFor(const std::string& text, int timeoutMs = 5000);
    int Finish(int timeoutMs = 10000);  // exit status, -1 when killed or still running
    const std::string& Output() const { return output_; }

private:
    void Read(int timeoutMs);
    int master_ = -1;
    int pid_ = -1;
    int status_ = -1;
    size_t seen_ = 0;
    std::string output_;
};

// A fresh temporary directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};
