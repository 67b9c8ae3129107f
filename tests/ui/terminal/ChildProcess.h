#pragma once
// Runs a function in a child process whose standard input and output are a pseudo-terminal (or
// plain pipes), so a test can type into it, read what it wrote and collect what it reports.
#include <functional>
#include <string>
#include <sys/types.h>
#include <termios.h>

class ChildProcess {
public:
    enum class Streams { Terminal, Pipes };
    // The body reports results as lines on the descriptor it is given.
    using Body = std::function<void(int report_fd)>;

    ChildProcess(Streams streams, Body body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void type(const std::string& bytes);
    void close_input();
    // The next line the child reported, without its line feed; "<timeout>" and a test failure
    // when none comes within a few seconds, "<end>" when the child has closed its reports.
    std::string next_report();
    // Waits for the child to end (killing it after a timeout) and returns its wait status.
    int wait();

    const std::string& output() const { return output_; }
    pid_t pid() const { return pid_; }
    // The parent's handle on the child's terminal, open after the child has ended.
    int terminal() const { return slave_; }
    const termios& initial_mode() const { return initial_mode_; }

private:
    bool pump(int timeout_ms);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_fd_ = -1;
    int slave_ = -1;
    int reports_ = -1;
    termios initial_mode_{};
    std::string output_;
    std::string report_buffer_;
};

void Report(int fd, const std::string& line);
// The fields of a terminal mode that the terminal layer touches.
bool SameMode(const termios& a, const termios& b);
termios CurrentMode(int fd);
