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
    // Saving what the file already holds writes nothing: the backup still
    // holds the settings before the last change.
    ASSERT_TRUE(SaveUserSettingsFile(back, path));
    std::string again, bakAgain;
    ASSERT_TRUE(ReadWholeFile(path, again));
    ASSERT_TRUE(ReadWholeFile(path + ".bak", bakAgain));
    EXPECT_EQ(again, text);
    EXPECT_EQ(bakAgain, bak);
    fs::remove_all(dir);
}

TEST(MessageTable, KeysIgnoreCaseAndMissingKeysAreEmpty) {
    TMessageTable m;
    m.Load("EXIT_Text=Quit?\r\nOK=Fine\r\nnot an entry\r\n");
    EXPECT_EQ(m.Text("exit_text"), "Quit?");
    EXPECT_EQ(m.Text("OK"), "Fine");
    EXPECT_EQ(m.Text("RESET_Text"), "");
}

#include <map>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/FontSlots.h"
#include "platform/SystemFonts.h"
#include "storage/GameFiles.h"

namespace {

struct MapFiles : IGameFiles {
    std::map<std::string, std::string> files;
    bool GameFileExists(std::string_view p) override { return files.count(std::string(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        auto it = files.find(std::string(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
};

struct FakeSlots : IFontSlots {
    std::string names[8];
    bool bitmap[8] = {};
    TFontDecoration deco[8];
    int aa[8] = {};
    std::string SlotFontName(int s) const override { return names[s]; }
    bool SlotIsBitmapFont(int s) const override { return bitmap[s]; }
    void LoadBitmapFont(int s, const std::string& n, TMemoryStream*, TMemoryStream*) override {
        names[s] = n;
        bitmap[s] = true;
    }
    void SetSystemFont(int s, const std::string& face, uint32_t, bool, int ss, const TFontDecoration& d) override {
        names[s] = face;
        bitmap[s] = false;
        deco[s] = d;
        aa[s] = ss;
    }
};

}  // namespace

TEST(FontSettings, TablesAndSlotResolution) {
    TSystemData r;
    LoadActorTable(r, "act[0]=alice, al // comment\r\nact[31]=bob\r\n");
    EXPECT_EQ(r.ActorList[0], (std::vector<std::string>{"alice", "al"}));
    EXPECT_EQ(r.ActorList[31], (std::vector<std::string>{"bob"}));
    const std::vector<TFontFamily> installed{{"FixedFace", true}, {"PropFace", false}};
    LoadFontTable(r,
                  "font[0].list[0]=system\\font\\Round\r\n"
                  "font[1].list[0]=system_fix\r\n"
                  "font[2].list[0]=system_pro\r\n"
                  "font[3].list[0]=system\r\n",
                  installed);
    EXPECT_EQ(r.FontNames[0], (std::vector<std::string>{"Round"}));
    EXPECT_EQ(r.FontKinds[0], (std::vector<std::string>{"1"}));
    EXPECT_EQ(r.FontNames[1], (std::vector<std::string>{"FixedFace"}));
    EXPECT_EQ(r.FontNames[2], (std::vector<std::string>{"PropFace"}));
    EXPECT_EQ(r.FontNames[3].size(), 2u);

    MapFiles files;
    files.files["system\\font\\Round.of"] = "OF";
    FakeSlots slots;
    r.Font[0].Name = " Unknown ";  // not in a list whose first entry is a font file: that file
    r.Font[1].Name = "Nope";        // not in a list of installed fonts: the default face
    r.Font[1].Style = 2 | 4 | 8;    // shadow and thick outline (bit 3 overrides bit 2's layers)
    r.Font[1].StyleColor = 0x123456;
    r.Font[1].AA = 2;
    ApplyFontSettings(r, slots, files);
    EXPECT_EQ(r.Font[0].Name, "Unknown");
    EXPECT_TRUE(slots.bitmap[0]);
    EXPECT_EQ(slots.names[0], "Round");
    EXPECT_EQ(slots.names[1], Sj("ＭＳ ゴシック"));
    EXPECT_EQ(slots.aa[1], 4);
    const auto& d = slots.deco[1];
    EXPECT_EQ(d.layers[15].colour, 0xFFFFFFFFu);
    EXPECT_EQ(d.layers[0].colour, 0x66123456u);
    EXPECT_EQ(d.layers[2].dx, -2);
    EXPECT_EQ(d.layers[9].dx, 1);
    EXPECT_EQ(d.layers[9].colour, 0xFF123456u);
    EXPECT_EQ(slots.names[7], Sj("ＭＳ ゴシック"));  // an empty list: the default face
}

TEST(SystemFonts, JapaneseFaceNamesResolveToInstalledFonts) {
    const auto file = FontFileFor(Sj("ＭＳ ゴシック"));
    ASSERT_TRUE(file.has_value());
    // Debian installs IPA Gothic as ipag.ttf and as the fonts-japanese-gothic.ttf alternative.
    EXPECT_TRUE(file->find("ipag") != std::string::npos || file->find("japanese-gothic") != std::string::npos)
        << *file;
    const auto mincho = FontFileFor(Sj("ＭＳ 明朝"));
    ASSERT_TRUE(mincho.has_value());
    EXPECT_TRUE(mincho->find("ipam") != std::string::npos || mincho->find("japanese-mincho") != std::string::npos)
        << *mincho;
    const auto families = JapaneseFontFamilies();
    EXPECT_FALSE(families.empty());
    for (const auto& f : families) EXPECT_NE(f.name.front(), '@');
}
