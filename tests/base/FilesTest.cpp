#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"

using namespace zel;
namespace fs = std::filesystem;

namespace {
std::string TempDir() {
    std::string t = (fs::temp_directory_path() / "zeltestXXXXXX").string();
    char* d = mkdtemp(t.data());
    return d ? std::string(d) : std::string();
}
}  // namespace

TEST(AtomicFile, ReplacesWholeFileAndLeavesNoTemp) {
    const std::string dir = TempDir();
    const std::string path = dir + "/config.txt";
    ASSERT_TRUE(AtomicWriteFile(path, "old"));
    ASSERT_TRUE(AtomicWriteFile(path, "new contents"));
    std::string got;
    ASSERT_TRUE(ReadWholeFile(path, got));
    EXPECT_EQ(got, "new contents");
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir)) { (void)e; ++files; }
    EXPECT_EQ(files, 1u);
    fs::remove_all(dir);
}

TEST(AtomicFile, FailedWriteKeepsTheOldFile) {
    const std::string dir = TempDir();
    // The target is a non-empty directory: the rename must fail and nothing may be lost.
    const std::string path = dir + "/save";
    fs::create_directory(path);
    std::string err;
    EXPECT_FALSE(AtomicWriteFile(path, "x", &err));
    EXPECT_FALSE(err.empty());
    EXPECT_TRUE(fs::is_directory(path));
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir)) { (void)e; ++files; }
    EXPECT_EQ(files, 1u);  // no temporary left behind
    EXPECT_FALSE(AtomicWriteFile(dir + "/missing/sub.txt", "x"));
    fs::remove_all(dir);
}

TEST(ErrorLog, FileHoldsTheLinesSinceTheLastReset) {
    const std::string dir = TempDir();
    SetErrorLogFolder(dir);
    ClearErrors();
    SetErrorFlag(false);
    ReportError("first");
    EXPECT_TRUE(ErrorFlag());
    LogLine("[位置]:x");
    std::string got;
    ASSERT_TRUE(ReadWholeFile(dir + "/ERRORLOG.txt", got));
    EXPECT_EQ(got, "[ERROR]:first\r\n[位置]:x\r\n");
    ClearErrors();
    ReportError("second");  // the first line after a reset truncates the file
    ASSERT_TRUE(ReadWholeFile(dir + "/ERRORLOG.txt", got));
    EXPECT_EQ(got, "[ERROR]:second\r\n");
    ASSERT_EQ(ErrorLines().size(), 1u);
    SetErrorLogFolder("");
    ClearErrors();
    SetErrorFlag(false);
    fs::remove_all(dir);
}
