#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <fcntl.h>
#include <poll.h>
#if defined(__linux__)
#include <pty.h>
#elif defined(__APPLE__)
#include <util.h>
#else
#include <libutil.h>
#endif
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 10000;

void make_pipe(int fds[2]) {
    if (pipe(fds) != 0) throw std::runtime_error("pipe() failed");
}

[[noreturn]] void run_child(const std::function<int(int)>& run, int report_fd) {
    int status = 0;
    try {
        status = run(report_fd);
        std::fflush(nullptr);
    } catch (const std::exception& e) {
        Report(report_fd, std::string("exception: ") + e.what());
        _exit(3);
    }
    _exit(status);
}

}  // namespace

ChildProcess::Program InDirectory(const std::string& dir, ChildProcess::Program program) {
    return [dir, program] { return chdir(dir.c_str()) == 0 ? program() : 126; };
}

void ExpectExitedNormally(int status) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

void Report(int fd, const std::string& line) {
    std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

termios CurrentMode(int fd) {
    termios mode{};
    EXPECT_EQ(tcgetattr(fd, &mode), 0);
    return mode;
}

bool SameMode(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

ChildProcess::ChildProcess(Streams streams, Body body) {
    start(streams, Screen{}, [body](int report_fd) {
        body(report_fd);
        return 0;
    }, false);
}

ChildProcess::ChildProcess(Program program, Screen screen)
    : plain_line_ends_(screen.plain_line_ends) {
    start(Streams::Terminal, screen, [program](int report_fd) {
        close(report_fd);
        return program();
    }, true);
}

void ChildProcess::start(Streams streams, const Screen& screen, const std::function<int(int)>& run,
                         bool whole_terminal) {
    signal(SIGPIPE, SIG_IGN);  // a child that died early must not take the test with it
    int reports[2];
    make_pipe(reports);
    int child_in = -1;
    int child_out = -1;
    if (streams == Streams::Terminal) {
        int master = -1;
        winsize size{screen.rows, screen.cols, 0, 0};
        if (openpty(&master, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty() failed");
        initial_mode_ = CurrentMode(slave_);
        input_ = master;
        output_fd_ = master;
        child_in = child_out = slave_;
    } else {
        int in[2];
        int out[2];
        make_pipe(in);
        make_pipe(out);
        input_ = in[1];
        output_fd_ = out[0];
        child_in = in[0];
        child_out = out[1];
    }
    std::fflush(nullptr);  // what this process buffered must not come out of the child too
    pid_ = fork();
    if (pid_ == 0) {
        if (streams == Streams::Terminal) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
        }
        dup2(child_in, STDIN_FILENO);
        dup2(child_out, STDOUT_FILENO);
        if (whole_terminal) dup2(child_out, STDERR_FILENO);
        // Only the descriptors the child needs stay open, so end of input is seen.
        for (int fd : {child_in, child_out, input_, output_fd_, reports[0]}) {
            if (fd > STDERR_FILENO) close(fd);
        }
        run_child(run, reports[1]);
    }
    close(reports[1]);
    reports_ = reports[0];
    if (streams == Streams::Pipes) {
        close(child_in);
        close(child_out);
    }
    fcntl(output_fd_, F_SETFL, fcntl(output_fd_, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) wait();
    if (input_ >= 0 && input_ != output_fd_) close(input_);
    for (int fd : {output_fd_, slave_, reports_}) {
        if (fd >= 0) close(fd);
    }
}

void ChildProcess::type(const std::string& bytes) {
    seen_ = output_.size();
    ASSERT_EQ(write(input_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

void ChildProcess::close_input() {
    if (input_ != output_fd_) {
        close(input_);
        input_ = -1;
    }
}

// Collects what the child wrote and reported; false once the reports have ended.
bool ChildProcess::pump(int timeout_ms) {
    pollfd fds[2] = {{output_fd_, POLLIN, 0}, {reports_, POLLIN, 0}};
    int ready = poll(fds, reports_ >= 0 ? 2 : 1, timeout_ms);
    if (ready <= 0) return reports_ >= 0;
    char buffer[4096];
    if (fds[0].revents & POLLIN) {
        ssize_t n = read(output_fd_, buffer, sizeof buffer);
        if (n > 0) {
            size_t at = output_.empty() ? 0 : output_.size() - 1;
            output_.append(buffer, static_cast<size_t>(n));
            while (plain_line_ends_ && (at = output_.find("\r\n", at)) != std::string::npos) {
                output_.erase(at, 1);
            }
        }
    }
    if (reports_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
        ssize_t n = read(reports_, buffer, sizeof buffer);
        if (n > 0) {
            report_buffer_.append(buffer, static_cast<size_t>(n));
        } else {
            close(reports_);
            reports_ = -1;
        }
    }
    return reports_ >= 0;
}

std::string ChildProcess::next_report() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        size_t end = report_buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = report_buffer_.substr(0, end);
            report_buffer_.erase(0, end + 1);
            return line;
        }
        if (reports_ < 0) return "<end>";
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "no report from the child; it wrote: " << testing::PrintToString(output_);
            return "<timeout>";
        }
        pump(100);
    }
}

bool ChildProcess::wait_until(const std::function<bool(const std::string&)>& done, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done(output_)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pump(static_cast<int>(std::min<long long>(left.count(), 100)));
    }
    return true;
}

bool ChildProcess::wait_for(const std::string& text, int timeout_ms) {
    size_t at = std::string::npos;
    const auto found = [&](const std::string& out) {
        return (at = out.find(text, seen_)) != std::string::npos;
    };
    if (!wait_until(found, timeout_ms)) return false;
    seen_ = at + text.size();
    return true;
}

int ChildProcess::finish(int timeout_ms) {
    const int status = wait(timeout_ms);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ChildProcess::wait(int timeout_ms) {
    if (pid_ <= 0) return status_;  // already collected
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    for (;;) {
        pump(20);
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "child did not end; it wrote: " << testing::PrintToString(output_);
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
    }
    pid_ = -1;
    status_ = status;
    // The child has ended: collect what is still buffered.
    for (;;) {
        size_t output_size = output_.size();
        size_t report_size = report_buffer_.size();
        bool reports_open = reports_ >= 0;
        pump(0);
        if (output_.size() == output_size && report_buffer_.size() == report_size &&
            (reports_ >= 0) == reports_open) {
            return status;
        }
    }
}
