#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BitmapFont.h"
#include "shell/EngineFonts.h"
#include "platform/SystemFonts.h"
#include "shell/SystemConfigLib.h"
#include "storage/GameFiles.h"

namespace zel {
namespace {

struct MemFiles : IGameFiles {
    std::map<std::string, std::string> files;
    bool GameFileExists(std::string_view p) override { return files.count(std::string(p)) != 0; }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view p) override {
        auto it = files.find(std::string(p));
        return it == files.end() ? nullptr : std::make_unique<TMemoryStream>(it->second);
    }
};

// A glyph set with one 8 x 8 glyph for 'A', all palette colour 1.
std::string PixelSet() {
    TGlyphSet g;
    g.cellWidth = g.cellHeight = 8;
    g.pageCount = 1;
    g.pageWidth = g.pageHeight = 128;
    g.pages.assign(128 * 128, 1);
    g.palette[1] = 0xFF00FF00u;
    g.map['A'] = 1;
    g.widthScale['A'] = 128;
    g.heightScale['A'] = 128;
    return g.Write();
}

// The settings' font table fills the run's real slots: a bitmap font where
// the game has the file, the outline font with the configured outline.
TEST(EngineFonts, SettingsFillTheSlots) {
    TEngineFonts fonts;
    TSystemData r;
    const std::vector<TFontFamily> installed{{Sj("ＭＳ ゴシック"), true}};
    LoadFontTable(r, "font[0].list[0]=system\\font\\pix\r\nfont[1].list[0]=system\r\n", installed);
    r.Font[0].Name = "pix";
    r.Font[1].Name = Sj("ＭＳ ゴシック");
    r.Font[1].Style = 4;  // outline
    r.Font[1].StyleColor = 0x0000FF;
    r.Font[1].AA = 1;
    MemFiles files;
    files.files["system\\font\\pix.of"] = PixelSet();
    ApplyFontSettings(r, fonts.slots, files);
    ASSERT_TRUE(fonts.slots.SlotIsBitmapFont(0));
    EXPECT_EQ(fonts.slots.SlotFontName(0), "pix");
    ASSERT_FALSE(fonts.slots.SlotIsBitmapFont(1));

    TARGB8888 img;
    img.NewImage(64, 32, 0);
    EXPECT_EQ(fonts.slots.DrawText(img, 0, 0, "A", 8, 8, 0xFFFFFFFF, 0, false), (TTextSize{8, 8}));
    EXPECT_EQ(img.Pixel(3, 3), 0xFE00FE00u);
    // Slot 1: the face in white over a blue outline one pixel around it.
    const TTextSize size = fonts.slots.DrawText(img, 16, 0, Sj("口"), 24, 24, 0xFFFFFFFF, 1, false);
    EXPECT_EQ(size, (TTextSize{24, 24}));
    int blue = 0, white = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 16; x < 40; ++x) {
            const uint32_t c = img.Pixel(x, y);
            blue += (c >> 24) > 0x80 && (c & 0xFF) > 0xC0 && ((c >> 16) & 0xFF) < 0x40;
            white += (c >> 24) > 0x80 && (c & 0xFFFFFF) > 0xC0C0C0;
        }
    EXPECT_GT(blue, 20);
    EXPECT_GT(white, 20);
    // Applying again keeps the loaded bitmap font.
    files.files.clear();
    ApplyFontSettings(r, fonts.slots, files);
    EXPECT_TRUE(fonts.slots.SlotIsBitmapFont(0));
}

}  // namespace
}  // namespace zel
