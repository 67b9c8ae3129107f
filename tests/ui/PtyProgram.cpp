#include "PtyProgram.h"
#include "ScreenText.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kFrameStart = "\x1b[2J";
const std::string kFrameEnd = "\x1b[?25l";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

PtyProgram::PtyProgram(const std::function<int()>& body, int rows, int cols) {
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    std::fflush(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        int result = body();
        std::fflush(nullptr);
        _exit(result);
    }
}

PtyProgram::~PtyProgram() {
    if (pid_ > 0 && status_ < 0 && waitpid(pid_, &status_, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    if (master_ >= 0) close(master_);
}

void PtyProgram::Send(const std::string& keys) {
    size_t sent = 0;
    while (sent < keys.size()) {
        ssize_t n = write(master_, keys.data() + sent, keys.size() - sent);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

void PtyProgram::ReadAvailable(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) output_.append(buffer, static_cast<size_t>(n));
}

bool PtyProgram::WaitUntil(const std::function<bool(const std::string&)>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done(output_)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        ReadAvailable(static_cast<int>(left.count()));
    }
    return true;
}

bool PtyProgram::Press(const std::string& keys) {
    const int before = Frames();
    Send(keys);
    return WaitUntil([&](const std::string&) { return Frames() > before; });
}

bool PtyProgram::WaitForText(const std::string& text, int timeoutMs) {
    const size_t from = output_.size();
    return WaitUntil(
        [&](const std::string& out) { return out.find(text, from) != std::string::npos; },
        timeoutMs);
}

int PtyProgram::Finish(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ < 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = status;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        ReadAvailable(20);  // keep the pseudo-terminal drained so the child can finish writing
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

int PtyProgram::Frames() const {
    int count = 0;
    for (size_t at = output_.find(kFrameStart); at != std::string::npos;
         at = output_.find(kFrameStart, at + 1)) {
        if (output_.find(kFrameEnd, at) != std::string::npos) ++count;
    }
    return count;
}

std::string PtyProgram::LastFrame() const {
    const size_t start = output_.rfind(kFrameStart);
    if (start == std::string::npos) return "";
    return output_.substr(start, output_.find(kFrameEnd, start) - start);
}

std::string FrameTitle(const std::string& frame) {
    const size_t border = frame.find("+-");
    if (border == std::string::npos) return "";
    const size_t line = frame.find('\n', border) + 1;
    // The terminal turns each line feed into a carriage return and a line feed.
    const std::string row = frame.substr(line, frame.find("|\r\n", line) - line);
    return Trim(row.substr(1));
}

std::string FrameHighlight(const std::string& frame) {
    const size_t start = frame.find("\x1b[107m");
    if (start == std::string::npos) return "";
    return Trim(StripEscapes(frame.substr(start, frame.find("\x1b[49m", start) - start)));
}

std::string FrameRow(const std::string& frame, const std::string& label) {
    const std::string plain = StripEscapes(frame);
    const size_t at = plain.find("| " + label);
    if (at == std::string::npos) return "";
    const size_t end = plain.rfind('|', plain.find('\r', at));
    return Trim(plain.substr(at + 1, end - at - 1));
}
