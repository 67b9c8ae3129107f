// How the settings file survives writes that fail, links, permissions and odd targets.
#include "ConfigTestSupport.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/sysmacros.h>

#include "config/FileReplace.h"
#include "config/PortableConfig.h"

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
