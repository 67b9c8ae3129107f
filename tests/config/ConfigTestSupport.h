#pragma once
// Shared helpers of the configuration tests: a private working folder per case, whole-file
// reads and writes, a watch on the folder that counts how often the settings file is replaced,
// and running a piece of the store as an unprivileged user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#if defined(__linux__)
#include <sys/inotify.h>
#endif
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/ProgramState.h"

namespace configtest {

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

inline ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Names in `dir`, sorted, so a stray temporary file shows up in a comparison.
inline std::vector<std::string> ListFolder(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a forked child, so limits it sets stay there, and returns its exit code, or -1
// if it died.
inline int RunInChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// As RunInChild, as the user "nobody" when the tests run as root (where permission bits would
// not stop a write).
inline int RunUnprivileged(const std::function<int()>& body) {
    return RunInChild([&] {
        if (geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return 99;
        }
        return body();
    });
}

// Counts renames onto one name in a folder: each replacement of the settings file is one.
class ReplacementWatch {
public:
    // Linux only (inotify); elsewhere ok() is false and the cases that need it skip.
    ReplacementWatch(const std::string& dir, std::string name) : name_(std::move(name)) {
#if defined(__linux__)
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // The rename's "moved from" half sits between two "moved to" events of the same name,
        // so the kernel cannot fold them into one.
        if (fd_ >= 0) inotify_add_watch(fd_, dir.c_str(), IN_MOVED_FROM | IN_MOVED_TO);
#else
        (void)dir;
#endif
    }
    ~ReplacementWatch() {
        if (fd_ >= 0) close(fd_);
    }
    ReplacementWatch(const ReplacementWatch&) = delete;
    ReplacementWatch& operator=(const ReplacementWatch&) = delete;

    bool ok() const { return fd_ >= 0; }

    // Replacements seen since the last call.
    int Take() {
        int count = 0;
#if defined(__linux__)
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t length = read(fd_, buffer, sizeof buffer);
            if (length <= 0) break;
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0 && name_ == event->name) ++count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
#endif
        return count;
    }

private:
    int fd_ = -1;
    std::string name_;
};

// Every case starts in a fresh, empty folder of its own (readable by "nobody" too) with an
// empty store, and leaves the folder again at the end.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/mvconfig-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        gl_PortableConfig.clear();
        glPortableConfiguration.clear();
        umask(022);
    }
    void TearDown() override {
        if (chdir("/") != 0) return;
        std::error_code ignored;
        // Folders a case made read-only must be writable again to be removed.
        chmod(dir_.c_str(), 0755);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ignored)) {
            if (!entry.is_symlink() && entry.is_directory()) chmod(entry.path().c_str(), 0755);
        }
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string dir() const { return dir_; }
    std::string ini() const { return dir_ + "/MVConsole.ini"; }

private:
    std::string dir_;
};

}  // namespace configtest
