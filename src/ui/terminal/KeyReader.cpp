// The blocking key reader over standard input.
#include "ui/terminal/KeyDecoder.h"
#include "ui/terminal/Terminal.h"
#include "ui/terminal/TerminalSignals.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace Term {

namespace {

// The bytes of one escape sequence arrive together; a longer gap means a lone Esc key.
constexpr int kSequenceGapMs = 50;
// How long after a one-key answer an Enter still belongs to it.
constexpr int kAnswerEnterMs = 400;

// Bytes read past the end of the previous key (a second Esc, a byte that broke a sequence).
std::string g_pending;

enum class Wake { Input, Timeout, Signal };

// Waits for standard input, or for a signal's wake-up.
Wake wait_for_input(int timeout_ms) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {signal_wakeup_fd(), POLLIN, 0}};
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    const int ready = poll(fds, count, timeout_ms);
    if (ready < 0) {
        if (errno == EINTR) return Wake::Signal;
        throw std::runtime_error(std::string("read_key(): poll() failed: ") + std::strerror(errno));
    }
    if (ready == 0) return Wake::Timeout;
    if (count == 2 && (fds[1].revents & POLLIN)) {
        drain_signal_wakeups();
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) return Wake::Signal;
    }
    return Wake::Input;
}

// Reads one byte that poll said is there; false when it turned out not to be.
bool read_byte(char& byte) {
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return true;
        if (got == 0) throw std::runtime_error("read_key(): end of input on standard input");
        if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
        if (errno != EINTR) {
            throw std::runtime_error(std::string("read_key(): cannot read standard input: ") +
                                     std::strerror(errno));
        }
    }
}

int read_key_reporting(bool resizes, int tick_ms) {
    const auto tick_end = std::chrono::steady_clock::now() + std::chrono::milliseconds(tick_ms);
    for (;;) {
        if (const int signal_number = termination_signal()) throw Interrupted(signal_number);
        if (resizes && take_resize()) return Key::RESIZE;
        if (g_pending.empty()) {
            int wait_ms = -1;
            if (tick_ms >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    tick_end - std::chrono::steady_clock::now());
                if (left.count() <= 0) return Key::TICK;
                wait_ms = static_cast<int>(left.count());
            }
            char byte;
            if (wait_for_input(wait_ms) != Wake::Input || !read_byte(byte)) continue;
            g_pending += byte;
        }
        DecodedKey decoded = decode_key(g_pending, true);
        if (!decoded.complete) {
            const Wake wake = wait_for_input(kSequenceGapMs);
            char byte;
            if (wake == Wake::Input && read_byte(byte)) {
                g_pending += byte;
                continue;
            }
            if (wake == Wake::Signal) continue;
            decoded = decode_key(g_pending, false);
        }
        g_pending.erase(0, decoded.length);
        return decoded.code;
    }
}

}  // namespace

int read_key() { return read_key_reporting(false, -1); }

int read_key_or_resize(int tick_ms) { return read_key_reporting(true, tick_ms); }

void discard_pending_input() {
    g_pending.clear();
    tcflush(STDIN_FILENO, TCIFLUSH);
}

void discard_answer_keys() {
    discard_pending_input();
    // The Enter people press after a one-key answer comes a moment later.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerEnterMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || wait_for_input(static_cast<int>(left.count())) != Wake::Input) break;
        char byte;
        if (!read_byte(byte)) continue;
        if (byte != '\r' && byte != '\n') {
            g_pending += byte;  // a real key for the next screen
            break;
        }
    }
}

}  // namespace Term
