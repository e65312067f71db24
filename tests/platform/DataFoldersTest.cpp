// Where the writable files of a game go: its own folder when the player may
// write there, otherwise a folder of its name under the XDG data home.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/DataFolders.h"

using namespace zel;
namespace fs = std::filesystem;

TEST(DataFolders, ReadOnlyGamesWriteUnderTheDataHome) {
    const fs::path tmp = fs::temp_directory_path() / ("zel_datafolders_" + std::to_string(::getpid()));
    fs::remove_all(tmp);
    fs::create_directories(tmp / "games" / "my game");
    auto env = [&](std::string xdg, std::string home, bool writable) {
        TDataFolderEnvironment e;
        e.xdgDataHome = std::move(xdg);
        e.home = std::move(home);
        e.writable = [writable](const std::string&) { return writable; };
        return e;
    };
    const std::string game = (tmp / "games" / "my game").string();
    const struct {
        TDataFolderEnvironment env;
        std::string want;
    } cases[] = {
        {env((tmp / "xdg").string(), (tmp / "home").string(), true), game},  // writable: the game root
        {env((tmp / "xdg").string(), (tmp / "home").string(), false), (tmp / "xdg" / "zel" / "my game").string()},
        {env("", (tmp / "home").string(), false), (tmp / "home" / ".local" / "share" / "zel" / "my game").string()},
        {env("relative/xdg", (tmp / "home").string(), false),
         (tmp / "home" / ".local" / "share" / "zel" / "my game").string()},
        {env("", "", false), ""},  // nowhere to write
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WritableRootFor(game, c.env), c.want) << c.env.xdgDataHome << " | " << c.env.home;
        if (!c.want.empty()) {
            EXPECT_TRUE(fs::is_directory(c.want)) << c.want;
        }
    }
    // A trailing separator names the same game.
    EXPECT_EQ(WritableRootFor(game + "/", env((tmp / "xdg").string(), "", false)),
              (tmp / "xdg" / "zel" / "my game").string());
    // A data home that cannot be made (a file stands where a folder would go).
    fs::create_directories(tmp / "blocked");
    { FILE* f = std::fopen((tmp / "blocked" / "zel").c_str(), "w"); std::fclose(f); }
    EXPECT_EQ(WritableRootFor(game, env((tmp / "blocked").string(), "", false)), "");
    // The process's own check: this test's folder is writable.
    EXPECT_EQ(WritableRootFor(game, ProcessDataFolderEnvironment()), game);
    fs::remove_all(tmp);
}
