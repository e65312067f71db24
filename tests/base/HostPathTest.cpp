#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/HostPath.h"

using namespace zel;
namespace fs = std::filesystem;

TEST(HostPath, ComponentsRefuseEscapes) {
    struct Case { const char* path; bool ok; size_t count; } cases[] = {
        {"System\\etc\\Game.dat", true, 3},
        {"a//b", true, 2},
        {"a\\\\b", true, 2},
        {"..\\x", false, 0},
        {"a\\..\\..\\x", false, 0},
        {"/etc/passwd", false, 0},
        {"\\abs", false, 0},
        {"C:\\x", false, 0},
        {"\x95\x5C\\file", true, 2},  // 表 ends in 0x5C but is no separator
        {".\\a", true, 1},
    };
    for (auto c : cases) {
        const auto parts = THostPaths::Components(c.path);
        EXPECT_EQ(parts.has_value(), c.ok) << c.path;
        if (parts) {
            EXPECT_EQ(parts->size(), c.count) << c.path;
        }
    }
}

TEST(HostPath, MatchesComponentsWithoutRegardToCase) {
    const fs::path root = fs::temp_directory_path() / ("zelhp" + std::to_string(::getpid()));
    fs::create_directories(root / "GameData" / "System");
    fs::create_directories(root / "\xE8\xA1\xA8");  // 表 in UTF-8
    std::ofstream(root / "GameData" / "System" / "Config.TXT") << "x";
    std::ofstream(root / "\xE8\xA1\xA8" / "a.txt") << "y";
    THostPaths hp(root.string());
    const auto f = hp.Find("gamedata\\SYSTEM\\config.txt");
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, (root / "GameData" / "System" / "Config.TXT").string());
    EXPECT_TRUE(hp.FileExists("GameData/System/CONFIG.txt"));
    EXPECT_FALSE(hp.FileExists("GameData\\System"));  // a folder is no file
    EXPECT_TRUE(hp.FileExists("\x95\x5C\\A.TXT"));       // Shift-JIS name converted for the disk
    EXPECT_FALSE(hp.Find("GameData\\..\\..\\etc\\passwd"));
    // Writing keeps the disk spelling of what exists and adds the rest.
    EXPECT_EQ(*hp.ForWriting("gamedata\\system\\new.txt"), (root / "GameData" / "System" / "new.txt").string());
    // A file created after the folder was listed is still found.
    std::ofstream(root / "GameData" / "System" / "Late.dat") << "z";
    EXPECT_TRUE(hp.FileExists("gamedata\\system\\late.DAT"));
    fs::remove_all(root);
}
