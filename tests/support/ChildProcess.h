#pragma once
// Runs a piece of the program in a child process whose standard streams are a pseudo-terminal
// (or plain pipes), so a test can type into it, read what it wrote and collect what it reports.
#include <functional>
#include <string>
#include <utility>
#include <sys/types.h>
#include <termios.h>

class ChildProcess {
public:
    enum class Streams { Terminal, Pipes };
    // Reports results as lines on the descriptor it is given; the child then exits with 0.
    using Body = std::function<void(int report_fd)>;
    // Runs with the terminal as its controlling terminal and all three standard streams; its
    // result becomes the child's exit status.
    using Program = std::function<int()>;

    struct Screen {
        unsigned short rows = 24;
        unsigned short cols = 80;
        // The terminal turns every line feed into CR LF; true keeps the text as the program
        // wrote it.
        bool plain_line_ends = false;
    };

    ChildProcess(Streams streams, Body body);
    explicit ChildProcess(Program program) : ChildProcess(std::move(program), Screen()) {}
    ChildProcess(Program program, Screen screen);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // What was read so far counts as seen: the answer to these bytes comes after it.
    void type(const std::string& bytes);
    void close_input();
    // The next line the child reported, without its line feed; "<timeout>" and a test failure
    // when none comes within a few seconds, "<end>" when the child has closed its reports.
    std::string next_report();
    // Reads output until the predicate holds for everything read so far, or the time is up.
    bool wait_until(const std::function<bool(const std::string&)>& done, int timeout_ms = 5000);
    // Waits until `text` appears in the output after what was already seen.
    bool wait_for(const std::string& text, int timeout_ms = 5000);
    // Waits for the child to end (killing it and failing the test after a timeout) and returns
    // its wait status.
    int wait(int timeout_ms = 10000);
    // Like wait: the exit status, or -1 when the child was killed.
    int finish(int timeout_ms = 10000);

    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }
    // The parent's handle on the child's terminal, open after the child has ended.
    int terminal() const { return slave_; }
    const termios& initial_mode() const { return initial_mode_; }

private:
    void start(Streams streams, const Screen& screen, const std::function<int(int)>& run,
               bool whole_terminal);
    bool pump(int timeout_ms);

    pid_t pid_ = -1;
    int status_ = 0;
    int input_ = -1;
    int output_fd_ = -1;
    int slave_ = -1;
    int reports_ = -1;
    bool plain_line_ends_ = false;
    size_t seen_ = 0;
    termios initial_mode_{};
    std::string output_;
    std::string report_buffer_;
};

// Runs `program` inside `dir` (exit status 126 when the folder cannot be entered).
ChildProcess::Program InDirectory(const std::string& dir, ChildProcess::Program program);

// A wait status of a child that returned 0 from its body.
void ExpectExitedNormally(int status);

void Report(int fd, const std::string& line);
// The fields of a terminal mode that the terminal layer touches.
bool SameMode(const termios& a, const termios& b);
termios CurrentMode(int fd);
