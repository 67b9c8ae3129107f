#include "config/FileReplace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Linux follows at most 40 links in one path lookup; a longer chain is a loop.
constexpr int kMaxLinkHops = 40;

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links in the last component until it names something that is not a link
// (or does not exist yet), so that the replacement lands on the link's target.
std::string ResolveLinks(std::string path) {
    std::vector<char> buffer(PATH_MAX + 1);
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
        if (length <= 0) break;
        std::string target(buffer.data(), static_cast<size_t>(length));
        path = (target[0] == '/') ? target : DirectoryOf(path) + "/" + target;
    }
    return path;
}

bool WriteAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = write(fd, contents.data() + done, contents.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// Writes into a device or a pipe as it is.
bool WriteInPlace(const std::string& path, const std::string& contents) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, contents);
    return (close(fd) == 0) && written;
}

// Makes sure the disk has room for `length` bytes of the file before any is written. Linux
// reserves the room without changing the file's size; macOS likewise; elsewhere the file grows
// to the length at once (its old text then ends in zeros until it is overwritten).
bool ReserveRoom(int fd, off_t length) {
#if defined(__linux__)
    return fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0;
#elif defined(__APPLE__)
    fstore_t store{};
    store.fst_flags = F_ALLOCATEALL;
    store.fst_posmode = F_PEOFPOSMODE;
    store.fst_offset = 0;
    store.fst_length = length;
    return fcntl(fd, F_PREALLOCATE, &store) != -1;
#else
    const int error = posix_fallocate(fd, 0, length);
    if (error != 0) errno = error;
    return error == 0;
#endif
}

// Overwrites a regular file where it stands, only once the disk has room for the whole text: a
// file that cannot be written whole is never cut short.
bool OverwriteWhole(int fd, const struct stat& existing, const std::string& contents) {
    const off_t length = static_cast<off_t>(contents.size());
    if (length > existing.st_size && !ReserveRoom(fd, length)) {
        return false;  // no room (or no way to be sure of it): the old file stays
    }
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = pwrite(fd, contents.data() + done, contents.size() - done,
                                       static_cast<off_t>(done));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return ftruncate(fd, length) == 0 && fsync(fd) == 0;
}

// Creates the file where no temporary file could be made; a file that could not be written
// whole is removed again, since nothing was there before.
bool CreateWhole(const std::string& path, const std::string& contents) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, contents) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (!ok) unlink(path.c_str());
    return ok;
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Writing in place keeps a file's owner; so does root replacing a file that belongs to someone
// else. Anyone else can only create files of their own, so there is nothing to keep.
void KeepOwner(int fd, const struct stat& original) {
    if (geteuid() != 0) return;
    if (original.st_uid == geteuid() && original.st_gid == getegid()) return;
    const int changed = fchown(fd, original.st_uid, original.st_gid);
    (void)changed;  // a file system without owners keeps the new file as it is
}

}  // namespace

namespace {

// The replacement itself; on failure errno says why.
bool Replace(const std::string& path, const std::string& contents) {
    const std::string target = ResolveLinks(path);

    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    // Only a missing file may be created; a link loop or an unsearchable folder is left alone.
    if (!exists && errno != ENOENT) return false;
    if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(target, contents);

    // A file we may not write stays as it is, even where the folder would allow replacing it.
    int targetFd = -1;
    if (exists) {
        targetFd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (targetFd < 0) return false;
    }

    const std::string directory = DirectoryOf(target);
    std::string tempPath = directory + "/." + NameOf(target) + ".XXXXXX";
    std::vector<char> tempName(tempPath.begin(), tempPath.end());
    tempName.push_back('\0');
    const int tempFd = mkstemp(tempName.data());
    if (tempFd < 0) {
        // A folder we may not write, or out of inodes: in place, but never cut short.
        if (targetFd < 0) return CreateWhole(target, contents);
        const bool written = OverwriteWhole(targetFd, existing, contents);
        return (close(targetFd) == 0) && written;
    }
    if (targetFd >= 0) close(targetFd);
    tempPath.assign(tempName.data());

    bool ok = WriteAll(tempFd, contents);
    if (exists) {
        KeepOwner(tempFd, existing);
        fchmod(tempFd, existing.st_mode & 07777);
    } else {
        fchmod(tempFd, 0666 & ~CurrentUmask());
    }
    ok = (fsync(tempFd) == 0) && ok;
    ok = (close(tempFd) == 0) && ok;
    if (ok) ok = rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    // The folder is not flushed: after a power cut the rename may be undone, which brings back
    // the previous complete file, never a partial one.
    return true;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents,
                         std::string* reason) {
    errno = 0;
    if (Replace(path, contents)) return true;
    if (reason != nullptr) *reason = errno != 0 ? std::strerror(errno) : "the file could not be written";
    return false;
}
