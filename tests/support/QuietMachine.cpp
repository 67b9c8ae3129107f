#include "QuietMachine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

QuietMachine::QuietMachine() {
#if defined(__linux__)
    fd_ = open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC);
    const int32_t zero = 0;
    if (fd_ >= 0 && write(fd_, &zero, sizeof zero) != static_cast<ssize_t>(sizeof zero)) {
        close(fd_);
        fd_ = -1;
    }
    description_ = fd_ >= 0 ? "quiet machine (/dev/cpu_dma_latency held at 0)"
                            : std::string("idle machine (/dev/cpu_dma_latency: ") +
                                  std::strerror(errno) + ")";
#else
    description_ = "idle machine (no CPU wake-up latency to hold here)";
#endif
}

QuietMachine::~QuietMachine() {
    if (fd_ >= 0) close(fd_);
}
