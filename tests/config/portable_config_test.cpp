#include "ConfigTestSupport.h"

#include <filesystem>

#include "config/PortableConfig.h"

using configtest::ConfigTest;
using configtest::ReadWholeFile;
using configtest::ReplacementWatch;
using configtest::WriteWholeFile;

namespace {

std::vector<std::pair<std::string, std::string>> Entries() {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const PortableItem& item : gl_PortableConfig) entries.emplace_back(item.key, item.value);
    return entries;
}

using Entry = std::pair<std::string, std::string>;

}  // namespace

using PortableLocation = ConfigTest;
using PortableParsing = ConfigTest;
using PortableKeys = ConfigTest;

TEST_F(PortableLocation, FileSitsInTheWorkingDirectoryWithOneSlash) {
    ConfigPortableApplication();
    EXPECT_EQ(glPortableConfiguration, dir() + "/MVConsole.ini");

    ASSERT_EQ(chdir("/"), 0);
    ConfigPortableApplication();
    EXPECT_EQ(glPortableConfiguration, "/MVConsole.ini");
}

TEST_F(PortableLocation, AVanishedWorkingDirectoryThrowsToTheCaller) {
    const std::string gone = dir() + "/gone";
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    EXPECT_THROW(ConfigPortableApplication(), std::filesystem::filesystem_error);
}

TEST_F(PortableLocation, OpeningReadsTheFileOnce) {
    WriteWholeFile(ini(), "A=1\n");
    ConfigPortableApplication();
    WriteWholeFile(ini(), "A=2\n");
    EXPECT_EQ(PortableReadConfigKey("A", "x"), "1");
}

TEST_F(PortableLocation, FirstReadWithoutAFileCreatesIt) {
    ConfigPortableApplication();
    EXPECT_TRUE(gl_PortableConfig.empty());
    EXPECT_EQ(PortableReadConfigKey("ENABLED", "1"), "1");
    EXPECT_EQ(ReadWholeFile(ini()), "ENABLED=1\n");
}

TEST_F(PortableParsing, SplitsAtTheLastEqualsSignAndTrimsNothing) {
    WriteWholeFile(ini(), "A=B=C\nKEY=\nKEY = 5\n==\nWIN=3\r\nLAST=no newline");
    ConfigPortableApplication();
    EXPECT_EQ(Entries(), (std::vector<Entry>{{"A=B", "C"},
                                            {"KEY", ""},
                                            {"KEY ", " 5"},
                                            {"=", ""},
                                            {"WIN", "3\r"},
                                            {"LAST", "no newline"}}));
}

TEST_F(PortableParsing, IgnoredLinesVanishAtTheNextWrite) {
    WriteWholeFile(ini(), "=5\nA=1\nno equals sign\n\n\r\n=\nB=2\n");
    ConfigPortableApplication();
    EXPECT_EQ(Entries(), (std::vector<Entry>{{"A", "1"}, {"B", "2"}}));
    EXPECT_EQ(ReadWholeFile(ini()), "=5\nA=1\nno equals sign\n\n\r\n=\nB=2\n");  // reading writes nothing
    Portable_SaveConfiguration();
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\nB=2\n");
}

TEST_F(PortableParsing, WindowsLineEndsKeepTheCarriageReturn) {
    WriteWholeFile(ini(), "A=1\r\nB=x\r\n");
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadConfigKey("A", "0"), "1\r");
    PortableSaveConfigKey("C", "2");
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\r\nB=x\r\nC=2\n");
}

TEST_F(PortableParsing, TextEndsAtItsFirstNulByte) {
    WriteWholeFile(ini(), std::string("A=1\0B=2\nC=3\n\0=4\nD\0=5\n", 22));
    ConfigPortableApplication();
    EXPECT_EQ(Entries(), (std::vector<Entry>{{"A", "1"}, {"C", "3"}}));
}

TEST_F(PortableParsing, AnOverlongLineArrivesInPiecesEachParsedAsALine) {
    // One read takes at most 102399 bytes: "A=" and 102397 x, then the rest of the line.
    const std::string first = "A=" + std::string(102397, 'x');
    WriteWholeFile(ini(), first + "C=5\n" + std::string(200000, 'y') + "\nB=1\n");
    ConfigPortableApplication();
    ASSERT_EQ(gl_PortableConfig.size(), 3u);
    EXPECT_EQ(gl_PortableConfig[0].key, "A");
    EXPECT_EQ(gl_PortableConfig[0].value, std::string(102397, 'x'));
    EXPECT_EQ(gl_PortableConfig[1].key, "C");
    EXPECT_EQ(gl_PortableConfig[1].value, "5");
    EXPECT_EQ(gl_PortableConfig[2].key, "B");
    Portable_SaveConfiguration();
    EXPECT_EQ(ReadWholeFile(ini()), first + "\nC=5\nB=1\n");
}

TEST_F(PortableParsing, AFileThatCannotBeReadLeavesTheListEmpty) {
    ASSERT_EQ(mkdir(ini().c_str(), 0755), 0);
    gl_PortableConfig.push_back({"stale", "entry"});
    ConfigPortableApplication();
    EXPECT_TRUE(gl_PortableConfig.empty());
    EXPECT_EQ(PortableReadConfigKey("ENABLED", "1"), "1");
}

TEST_F(PortableKeys, LookupMatchesWholeKeysOnlyAndFindsTheFirst) {
    ConfigPortableApplication();
    EXPECT_EQ(Portable_HasValue("A"), -1);
    gl_PortableConfig = {{"ENABLED", "1"}, {"K", "a"}, {"K", "b"}, {"k", "c"}};
    EXPECT_EQ(Portable_HasValue("ENABLED"), 0);
    EXPECT_EQ(Portable_HasValue("ENABLE"), -1);
    EXPECT_EQ(Portable_HasValue("ENABLED "), -1);
    EXPECT_EQ(Portable_HasValue("K"), 1);
    EXPECT_EQ(Portable_HasValue("k"), 3);
    EXPECT_EQ(Portable_HasValue(""), -1);
}

TEST_F(PortableKeys, DuplicateKeysReadTheFirstAndSaveReplacesOnlyIt) {
    WriteWholeFile(ini(), "K=1\nX=0\nK=2\n");
    ConfigPortableApplication();
    EXPECT_EQ(PortableReadConfigKey("K", "d"), "1");
    PortableSaveConfigKey("K", "9");
    EXPECT_EQ(ReadWholeFile(ini()), "K=9\nX=0\nK=2\n");
}

TEST_F(PortableKeys, SavesReplaceInPlaceAndAppendNewKeys) {
    WriteWholeFile(ini(), "A=1\nB=2\nC=3\n");
    ConfigPortableApplication();
    EXPECT_TRUE(PortableSaveConfigKey("B", "20"));
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\nB=20\nC=3\n");
    EXPECT_TRUE(PortableSaveConfigKey("D", ""));
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\nB=20\nC=3\nD=\n");
    EXPECT_EQ(PortableReadConfigKey("B", "x"), "20");
    EXPECT_EQ(PortableReadConfigKey("D", "x"), "");
}

TEST_F(PortableKeys, ReadingAMissingKeyAppendsItsDefaultAndWrites) {
    WriteWholeFile(ini(), "A=1\n");
    ConfigPortableApplication();
    ReplacementWatch watch(dir(), "MVConsole.ini");
    if (!watch.ok()) GTEST_SKIP() << "no way to watch the folder here";

    EXPECT_EQ(PortableReadConfigKey("A", "x"), "1");
    EXPECT_EQ(watch.Take(), 0);  // a present key is only read
    EXPECT_EQ(PortableReadConfigKey("B", "-1"), "-1");
    EXPECT_EQ(watch.Take(), 1);
    EXPECT_EQ(ReadWholeFile(ini()), "A=1\nB=-1\n");
    EXPECT_EQ(PortableReadConfigKey("B", "other default"), "-1");
    EXPECT_EQ(watch.Take(), 0);
}

TEST_F(PortableKeys, EverySaveRewritesTheFile) {
    ConfigPortableApplication();
    ReplacementWatch watch(dir(), "MVConsole.ini");
    if (!watch.ok()) GTEST_SKIP() << "no way to watch the folder here";
    PortableSaveConfigKey("A", "1");
    PortableSaveConfigKey("A", "1");
    PortableSaveConfigKey("B", 2);
    Portable_SaveConfiguration();
    EXPECT_EQ(watch.Take(), 4);
}

TEST_F(PortableKeys, IntOverloadWritesPlainDecimal) {
    ConfigPortableApplication();
    EXPECT_TRUE(PortableSaveConfigKey("NEG", -15));
    EXPECT_TRUE(PortableSaveConfigKey("ZERO", 0));
    EXPECT_TRUE(PortableSaveConfigKey("POS", 42));
    EXPECT_TRUE(PortableSaveConfigKey("MIN", INT_MIN));
    EXPECT_TRUE(PortableSaveConfigKey("MAX", INT_MAX));
    EXPECT_EQ(ReadWholeFile(ini()), "NEG=-15\nZERO=0\nPOS=42\nMIN=-2147483648\nMAX=2147483647\n");
}

TEST_F(PortableKeys, AnEmptyListWritesAnEmptyFile) {
    WriteWholeFile(ini(), "just text\n");
    ConfigPortableApplication();
    Portable_SaveConfiguration();
    EXPECT_TRUE(std::filesystem::exists(ini()));
    EXPECT_EQ(ReadWholeFile(ini()), "");
}
