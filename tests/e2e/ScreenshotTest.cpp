// zel --headless --screenshot: the presented frame as an opaque PNG, taken
// after the frame named; bad arguments and frames never reached are errors.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <span>

#include "base/AtomicFile.h"
#include "base/Sjis.h"
#include "storage/uFilePackWriter.h"

using namespace zel;
namespace fs = std::filesystem;

namespace {

int RunZelIn(const fs::path& cwd, const std::string& args, std::string* err) {
    const fs::path errFile = fs::temp_directory_path() / ("zel_shot_err_" + std::to_string(::getpid()));
    const std::string cmd = "cd '" + cwd.string() + "' && " + std::string(ZEL_BIN) + " " + args + " 2>" +
                            errFile.string() + " >/dev/null";
    const int raw = std::system(cmd.c_str());
    if (err) ReadWholeFile(errFile.string(), *err);
    fs::remove(errFile);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

fs::path MakeGame(const std::string& tag) {
    const fs::path root = fs::temp_directory_path() / ("zel_shot_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "GameData");
    TFilePackWriter w;
    std::string err;
    EXPECT_TRUE(w.Begin((root / "GameData" / "data0.pack").string(), &err)) << err;
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"system\\etc\\game.dat", "ScreenWidth=320\r\nScreenHeight=240\r\nConfigStartupSkip=TRUE\r\n"},
             {"system\\etc\\message.txt", "OK=OK\r\n"},
             {"startup.s", "@@reset\r\n@@top\r\n"}}) {
        const std::string sj = Sj(text);
        EXPECT_TRUE(w.Add(name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(sj.data()), sj.size()), &err));
    }
    EXPECT_TRUE(w.Finish(&err)) << err;
    return root;
}

TEST(Screenshot, WritesAnOpaquePngOfTheScreenSize) {
    const fs::path root = MakeGame("ok");
    const fs::path here = fs::temp_directory_path() / ("zel_shot_cwd_" + std::to_string(::getpid()));
    fs::create_directories(here);
    std::string err;
    // Relative names are taken from where zel was started, not the game root.
    const int status = RunZelIn(here, "--headless --frames 3 --screenshot 0:first.png --screenshot 3:last.png " +
                                          root.string(), &err);
    EXPECT_EQ(status, 0) << err;
    for (const char* name : {"first.png", "last.png"}) {
        // Signature, then the IHDR chunk: width, height, depth, colour type.
        std::string png;
        ASSERT_TRUE(ReadWholeFile((here / name).string(), png)) << name << ": " << err;
        ASSERT_GT(png.size(), 33u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(png.substr(12, 4), "IHDR");
        auto u32 = [&](size_t at) {
            return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                   uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
        };
        EXPECT_EQ(u32(16), 320u);
        EXPECT_EQ(u32(20), 240u);
        EXPECT_EQ(png[24], 8);
        EXPECT_EQ(png[25], 2) << "RGB without alpha: the frame is opaque";
    }
    fs::remove_all(here);
    fs::remove_all(root);
}

TEST(Screenshot, BadArgumentsAndMissedFrames) {
    const fs::path root = MakeGame("bad");
    std::string err;
    for (const char* arg : {"nocolon.png", "x:a.png", ":a.png", "1:", "-1:a.png", "9:a.png"}) {
        EXPECT_EQ(RunZelIn(root, "--headless --frames 3 --screenshot '" + std::string(arg) + "' " + root.string(), &err),
                  2)
            << arg;
        EXPECT_NE(err.find("--screenshot"), std::string::npos) << arg << ": " << err;
    }
    // A folder that cannot be written: the run finishes and reports it.
    EXPECT_EQ(RunZelIn(root, "--headless --frames 2 --screenshot 1:/nonexistent-dir/a.png " + root.string(), &err), 1);
    EXPECT_NE(err.find("cannot write the screenshot"), std::string::npos) << err;
    fs::remove_all(root);
}

}  // namespace
