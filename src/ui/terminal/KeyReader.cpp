// The blocking key reader over standard input.
#include "ui/terminal/KeyDecoder.h"
#include "ui/terminal/Terminal.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace Term {

namespace {

// The bytes of one escape sequence arrive together; a longer gap means a lone Esc key.
constexpr int kSequenceGapMs = 50;

bool wait_readable(int timeout_ms) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        int ready = poll(&fd, 1, timeout_ms);
        if (ready >= 0) return ready > 0;
        if (errno != EINTR) throw std::runtime_error(std::string("read_key(): poll() failed: ") + std::strerror(errno));
    }
}

char read_byte() {
    for (;;) {
        char byte;
        ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1) return byte;
        if (got == 0) throw std::runtime_error("read_key(): end of input on standard input");
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_readable(-1);
        } else if (errno != EINTR) {
            throw std::runtime_error(std::string("read_key(): cannot read standard input: ") +
                                     std::strerror(errno));
        }
    }
}

}  // namespace

int read_key() {
    // Bytes read past the end of the previous key (a second Esc, a byte that broke a sequence).
    static std::string pending;
    for (;;) {
        if (pending.empty()) pending += read_byte();
        DecodedKey decoded = decode_key(pending, true);
        if (!decoded.complete) {
            if (wait_readable(kSequenceGapMs)) {
                pending += read_byte();
                continue;
            }
            decoded = decode_key(pending, false);
        }
        pending.erase(0, decoded.length);
        return decoded.code;
    }
}

}  // namespace Term
