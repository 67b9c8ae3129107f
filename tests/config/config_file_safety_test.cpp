// How the settings file survives writes that fail, links, permissions and odd targets.
#include "ConfigTestSupport.h"

#include <csignal>
#include <sys/resource.h>
#if defined(__linux__)
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#endif

#include "config/FileReplace.h"
#include "config/PortableConfig.h"
#include "config/Settings.h"

using configtest::ConfigTest;
using configtest::InodeOf;
using configtest::ListFolder;
using configtest::ModeOf;
using configtest::ReadWholeFile;
using configtest::RunInChild;
using configtest::RunUnprivileged;
using configtest::WriteWholeFile;

using Names = std::vector<std::string>;
using ConfigFileReplace = ConfigTest;
using ConfigFileLinks = ConfigTest;
using ConfigFileNotWritable = ConfigTest;

TEST_F(ConfigFileReplace, SwapsInANewFileKeepingItsModeAndLeavesNothingElse) {
    WriteWholeFile(ini(), "A=1\n");
    ASSERT_EQ(chmod(ini().c_str(), 0640), 0);
    const ino_t before = InodeOf(ini());
    ConfigPortableApplication();
    PortableSaveConfigKey("B", "2");
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\nB=2\n");
    EXPECT_NE(InodeOf(ini()), before);
    EXPECT_EQ(ModeOf(ini()), 0640u);
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

TEST_F(ConfigFileReplace, ANewFileGetsTheUsualModeForTheUmask) {
    umask(027);
    ConfigPortableApplication();
    PortableReadConfigKey("ENABLED", "1");
    EXPECT_EQ(ModeOf(ini()), 0640u);
}

TEST_F(ConfigFileReplace, RootReplacingAnotherUsersFileGivesItBack) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to own a file for someone else";
    WriteWholeFile(ini(), "A=1\n");
    ASSERT_EQ(chown(ini().c_str(), 65534, 65534), 0);
    ConfigPortableApplication();
    PortableSaveConfigKey("A", "2");
    struct stat st {};
    ASSERT_EQ(stat(ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(ReadWholeFile(ini()), "A=2\n");
}

TEST_F(ConfigFileReplace, AFailedWriteKeepsTheOldFileAndRemovesTheTemporary) {
    WriteWholeFile(ini(), "A=1\n");
    const std::string big(4096, 'x');
    // A file size limit makes every write past 64 bytes fail, as a full disk would.
    const int result = RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 11;
        ConfigPortableApplication();
        PortableSaveConfigKey("B", big);
        if (PortableReadConfigKey("B", "") != big) return 12;
        if (ReplaceFileContents(glPortableConfiguration, "B=" + big + "\n")) return 13;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\n");
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

TEST_F(ConfigFileLinks, ALinkKeepsPointingAtItsTargetWhichIsReplaced) {
    ASSERT_EQ(mkdir("sub", 0755), 0);
    WriteWholeFile("sub/real.ini", "A=1\n");
    ASSERT_EQ(symlink((dir() + "/sub/middle").c_str(), "MVConsole.ini"), 0);
    ASSERT_EQ(symlink("real.ini", "sub/middle"), 0);  // relative to the link's own folder
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadConfigKey("A", "x"), "1");
    PortableSaveConfigKey("B", "2");

    EXPECT_EQ(ReadWholeFile("sub/real.ini"), "A=1\nB=2\n");
    EXPECT_EQ(std::filesystem::read_symlink("MVConsole.ini"), dir() + "/sub/middle");
    EXPECT_EQ(std::filesystem::read_symlink("sub/middle"), "real.ini");
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini", "sub"}));
    EXPECT_EQ(ListFolder(dir() + "/sub"), (Names{"middle", "real.ini"}));
}

TEST_F(ConfigFileLinks, ADanglingLinkCreatesItsTarget) {
    ASSERT_EQ(symlink("target.ini", "MVConsole.ini"), 0);
    ConfigPortableApplication();
    PortableReadConfigKey("ENABLED", "1");
    EXPECT_TRUE(std::filesystem::is_symlink("MVConsole.ini"));
    EXPECT_EQ(ReadWholeFile("target.ini"), "ENABLED=1\n");
}

TEST_F(ConfigFileLinks, ALinkLoopWritesNothing) {
    ASSERT_EQ(symlink("b", "MVConsole.ini"), 0);
    ASSERT_EQ(symlink("MVConsole.ini", "b"), 0);
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadConfigKey("ENABLED", "1"), "1");
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini", "b"}));
    EXPECT_EQ(std::filesystem::read_symlink("MVConsole.ini"), "b");
}

TEST_F(ConfigFileNotWritable, AReadOnlyFileStaysAsItIsWhileReadsSeeTheChange) {
    WriteWholeFile(ini(), "A=1\n");
    ASSERT_EQ(chmod(ini().c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir().c_str(), 0777), 0);  // the folder would allow replacing it
    const ino_t before = InodeOf(ini());
    const int result = RunUnprivileged([] {
        ConfigPortableApplication();
        PortableSaveConfigKey("A", "2");
        PortableSaveConfigKey("NEW", 5);
        if (PortableReadConfigKey("A", "x") != "2") return 1;
        if (PortableReadConfigKey("NEW", "x") != "5") return 2;
        if (PortableReadConfigKey("MISSING", "d") != "d") return 3;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\n");
    EXPECT_EQ(InodeOf(ini()), before);
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

TEST_F(ConfigFileNotWritable, AWritableFileInAReadOnlyFolderIsWrittenInPlace) {
    WriteWholeFile(ini(), "A=1\nB=2\n");
    ASSERT_EQ(chmod(ini().c_str(), 0666), 0);
    ASSERT_EQ(chmod(dir().c_str(), 0555), 0);
    const ino_t before = InodeOf(ini());
    const int result = RunUnprivileged([] {
        ConfigPortableApplication();
        PortableSaveConfigKey("A", "10");
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadWholeFile(ini()), "A=10\nB=2\n");
    EXPECT_EQ(InodeOf(ini()), before);
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

TEST_F(ConfigFileNotWritable, AReadOnlyFolderWithoutAFileKeepsSettingsInMemory) {
    ASSERT_EQ(chmod(dir().c_str(), 0555), 0);
    const int result = RunUnprivileged([] {
        ConfigPortableApplication();
        if (PortableReadConfigKey("ENABLED", "1") != "1") return 1;
        PortableSaveConfigKey("ENABLED", "0");
        if (PortableReadConfigKey("ENABLED", "1") != "0") return 2;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ListFolder(dir()), Names{});
}

TEST_F(ConfigFileNotWritable, APlaceNoOneCanWriteKeepsSettingsInMemory) {
#if !defined(__linux__)
    GTEST_SKIP() << "needs Linux's /proc";
#endif
    ASSERT_EQ(chdir("/proc"), 0);
    ConfigPortableApplication();
    EXPECT_EQ(glPortableConfiguration, "/proc/MVConsole.ini");
    EXPECT_EQ(PortableReadConfigKey("VOICE_EFFECT", "8"), "8");
    PortableSaveConfigKey("VOICE_EFFECT", 5);
    EXPECT_EQ(PortableReadConfigKey("VOICE_EFFECT", "8"), "5");
    EXPECT_FALSE(std::filesystem::exists("/proc/MVConsole.ini"));
}

TEST_F(ConfigFileNotWritable, AFolderInTheFilesPlaceStaysAFolder) {
    ASSERT_EQ(mkdir(ini().c_str(), 0755), 0);
    ConfigPortableApplication();
    PortableSaveConfigKey("A", "1");
    EXPECT_TRUE(std::filesystem::is_directory(ini()));
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
    EXPECT_EQ(ListFolder(ini()), Names{});
}

TEST_F(ConfigFileNotWritable, ADeviceInTheFilesPlaceIsWrittenNotReplaced) {
    // A node of the null device of our own, so nothing outside this folder is at stake.
    if (mknod(ini().c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "mknod not permitted";
    ConfigPortableApplication();
    PortableSaveConfigKey("A", "1");
    struct stat st {};
    ASSERT_EQ(lstat(ini().c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 3));
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

using ConfigFileUnreadable = ConfigTest;
using ConfigFileFullDisk = ConfigTest;

TEST_F(ConfigFileUnreadable, IsNeverWrittenOverInThatRun) {
    const std::string saved = "ENABLED=1\nVOICE_EFFECT=14\nMANUAL_PITCH=250\n";
    WriteWholeFile(ini(), saved);
    ASSERT_EQ(chmod(ini().c_str(), 0200), 0);  // written by its owner, readable by no one
    const int result = RunUnprivileged([] {
        ConfigPortableApplication();
        if (PortableReadProblem().find("Permission denied") == std::string::npos) return 1;
        LoadConfiguration();  // the defaults, in memory only
        if (SS_VavorOzodediEffect != 8) return 2;
        SS_VavorOzodediEffect = 4;
        SaveCurrentConfiguration();
        PortableSaveConfigKey("DEVICE_CAPTURE_IDX", 1);
        if (PortableReadConfigKey("DEVICE_CAPTURE_IDX", "-1") != "1") return 3;
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadWholeFile(ini()), saved);
    EXPECT_EQ(ModeOf(ini()), 0200u);
    EXPECT_EQ(ListFolder(dir()), (Names{"MVConsole.ini"}));
}

TEST_F(ConfigFileUnreadable, SomethingThatIsNoFileOrFarTooLargeIsNeitherReadNorWritten) {
    ASSERT_EQ(mkfifo(ini().c_str(), 0644), 0);  // opening it for reading would wait for good
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadProblem(), "it is not a regular file");
    PortableSaveConfigKey("A", "1");
    struct stat st {};
    ASSERT_EQ(lstat(ini().c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(unlink(ini().c_str()), 0);

    const std::string huge = "A=" + std::string(2 << 20, 'x') + "\n";
    WriteWholeFile(ini(), huge);
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadProblem(), "it is larger than 1 MiB");
    EXPECT_TRUE(gl_PortableConfig.empty());
    PortableSaveConfigKey("A", "1");
    EXPECT_EQ(ReadWholeFile(ini()).size(), huge.size());
}

namespace {

// Runs `body` in a child, inside a fresh small tmpfs (in a mount namespace of its own, so
// nothing leaks out); 77 when this machine does not allow it.
int RunOnSmallTmpfs(const std::string& options, const std::function<int()>& body) {
#if !defined(__linux__)
    (void)options;
    (void)body;
    return 77;
#else
    if (mkdir("small", 0755) != 0 && errno != EEXIST) return 78;
    return RunInChild([&] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", "small", "tmpfs", 0, options.c_str()) != 0 || chdir("small") != 0) {
            return 77;
        }
        struct statfs where {};
        // Never fill anything but the small file system just made.
        if (statfs(".", &where) != 0 || where.f_type != TMPFS_MAGIC ||
            where.f_blocks * where.f_bsize > (1 << 20)) {
            return 79;
        }
        return body();
    });
#endif
}

// Uses up what is left of the folder's file system (a small tmpfs): inodes, then blocks.
void Exhaust(bool inodes, bool space) {
    for (int i = 0; inodes && i < 1000; ++i) {
        const int fd = open(("fill" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0600);
        if (fd < 0) break;
        close(fd);
    }
    const int fd = open("fill0", O_CREAT | O_WRONLY | O_APPEND, 0600);
    const std::string block(4096, 'f');
    for (int i = 0; space && fd >= 0 && i < 1000; ++i) {
        if (write(fd, block.data(), block.size()) <= 0) break;
    }
    if (fd >= 0) close(fd);
}

}  // namespace

TEST_F(ConfigFileFullDisk, AFileThatCannotBeWrittenWholeIsLeftAsItWas) {
    const std::string before = "ENABLED=1\nVOICE_EFFECT=14\nMANUAL_PITCH=250\n" +
                               std::string(3000, '#') + "\n";  // a long ignored line
    const std::string longer = "NOTE=" + std::string(20000, 'n');
    struct Case {
        bool inodes;
        bool space;
        bool written;
    };
    for (const Case& c : {Case{true, false, true}, Case{false, true, false},
                          Case{true, true, false}}) {
        const int result = RunOnSmallTmpfs("size=64k,nr_inodes=64", [&] {
            WriteWholeFile("MVConsole.ini", before);
            Exhaust(c.inodes, c.space);
            ConfigPortableApplication();
            PortableSaveConfigKey("NOTE", longer.substr(5));
            const std::string now = ReadWholeFile("MVConsole.ini");
            const std::string whole = "ENABLED=1\nVOICE_EFFECT=14\nMANUAL_PITCH=250\n" + longer + "\n";
            if (c.written ? now != whole : now != before) return 1;
            for (const auto& entry : std::filesystem::directory_iterator(".")) {
                if (entry.path().filename().string().rfind(".MVConsole", 0) == 0) return 2;
            }
            return 0;
        });
        if (result == 77) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
        ASSERT_NE(result, 79) << "not on the small file system";
        EXPECT_EQ(result, 0) << "inodes " << c.inodes << " space " << c.space;
    }
}
