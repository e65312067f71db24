#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "base/AtomicFile.h"
#include "shell/SystemConfigLib.h"

using namespace zel;
namespace fs = std::filesystem;

TEST(SettingsText, IntegersBooleansAndDefaults) {
    struct Case { const char* v; std::optional<int64_t> want; } ints[] = {
        {"12", 12}, {"-7", -7}, {"$00ff80", 0x00FF80}, {"$FF00FF00", 0xFF00FF00ll}, {"1x", std::nullopt},
        {"", std::nullopt}, {"$", std::nullopt}, {" 42 ", 42}, {"99999999999999999999", std::nullopt},
    };
    for (auto c : ints) EXPECT_EQ(ParseSettingInt(c.v), c.want) << c.v;
    TSystemData r;
    LoadUserSettings(r, "fpslimit=60\r\nInterlace=abc\r\nFont[2].StyleColor=$00ff80\r\nFont[0].Name=none\r\n");
    EXPECT_EQ(r.FPSLimit, 60);     // names ignore case
    EXPECT_EQ(r.Interlace, 0);     // a value that does not parse takes the default
    EXPECT_EQ(r.Font[2].StyleColor, 0x00FF80);
    EXPECT_EQ(r.Font[0].Name, "");
    LoadSystemSettings(r, "ConfigStartupSkip=true\r\nConfigSoundTab=maybe\r\nCodeKey=$7FFFFFFF\r\nScreenWidth=0\r\n");
    EXPECT_TRUE(r.ConfigStartupSkip);
    EXPECT_TRUE(r.ConfigSoundTab);
    EXPECT_EQ(r.CodeKey, 0xFFFFFF);
    EXPECT_EQ(r.ScreenWidth, 800);  // a screen width of 0 cannot be shown
    EXPECT_EQ(r.ThumWidth, 128);
}

TEST(SettingsFile, RoundTripKeepsUnknownLinesAndWritesABackup) {
    const fs::path dir = fs::temp_directory_path() / ("zelcfg" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "config.txt").string();
    ASSERT_TRUE(AtomicWriteFile(path, "; my note\r\nFPSLimit=30\r\nCustomKey=1\r\nActorVolume[3]=100\r\n"));
    TSystemData r;
    LoadUserSettingsFile(r, path);
    EXPECT_EQ(r.FPSLimit, 30);
    EXPECT_EQ(r.ActorVolume[3], 100);
    r.ActorVolume[3] = 255;  // 255 is not written back
    r.ActorVolume[5] = 10;
    r.Font[1].StyleColor = 0x00ff80;
    ASSERT_TRUE(SaveUserSettingsFile(r, path));
    std::string text, bak;
    ASSERT_TRUE(ReadWholeFile(path, text));
    ASSERT_TRUE(ReadWholeFile(path + ".bak", bak));
    EXPECT_EQ(bak, "; my note\r\nFPSLimit=30\r\nCustomKey=1\r\nActorVolume[3]=100\r\n");
    EXPECT_NE(text.find("; my note\r\n"), std::string::npos);
    EXPECT_NE(text.find("CustomKey=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("Font[1].StyleColor=$00FF80\r\n"), std::string::npos);
    EXPECT_NE(text.find("Font[0].Name=none\r\n"), std::string::npos);
    EXPECT_EQ(text.find("ActorVolume[3]"), std::string::npos);
    EXPECT_NE(text.find("ActorVolume[5]=10\r\n"), std::string::npos);
    TSystemData back;
    LoadUserSettingsFile(back, path);
    EXPECT_EQ(back.Font[1].StyleColor, 0x00FF80);
    EXPECT_EQ(back.ActorVolume[5], 10);
    fs::remove_all(dir);
}

TEST(MessageTable, KeysIgnoreCaseAndMissingKeysAreEmpty) {
    TMessageTable m;
    m.Load("EXIT_Text=Quit?\r\nOK=Fine\r\nnot an entry\r\n");
    EXPECT_EQ(m.Text("exit_text"), "Quit?");
    EXPECT_EQ(m.Text("OK"), "Fine");
    EXPECT_EQ(m.Text("RESET_Text"), "");
}
