#include "setup_pty.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

SetupPty::SetupPty(const std::string& workDir, const std::function<int()>& body) {
    winsize size{};
    size.ws_row = 40;
    size.ws_col = 100;
    std::fflush(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(126);
        const int result = body();
        std::fflush(nullptr);
        _exit(result);
    }
}

SetupPty::~SetupPty() {
    if (pid_ > 0 && status_ < 0 && waitpid(pid_, &status_, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    if (master_ >= 0) close(master_);
}

void SetupPty::Send(const std::string& keys) {
    size_t sent = 0;
    while (sent < keys.size()) {
        const ssize_t n = write(master_, keys.data() + sent, keys.size() - sent);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void SetupPty::Read(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    // The terminal turns every line feed into CR LF; keep the text as the program wrote it.
    size_t at = output_.empty() ? 0 : output_.size() - 1;
    output_.append(buffer, static_cast<size_t>(n));
    while ((at = output_.find("\r\n", at)) != std::string::npos) output_.erase(at, 1);
}

bool SetupPty::WaitFor(const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t at = output_.find(text, seen_);
        if (at != std::string::npos) {
            seen_ = at + text.size();
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        Read(static_cast<int>(left.count()));
    }
}

int SetupPty::Finish(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ < 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        Read(20);  // keep the terminal drained so the child can finish writing
    }
    for (int i = 0; i < 5; ++i) Read(10);
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/moravel-setup.XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void TempDir::Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ + "/" + name) << text;
}
