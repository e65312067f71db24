// Bitmap fonts: pre-rendered palette glyphs from the game's ".of" glyph sets,
// one set for horizontal text and one for vertical text.
//
// A glyph set file, all integers little-endian:
//   0      64     not used (written as zeros)
//   64     32768  glyph map: 16384 u16 entries, page * 256 + row * 16 + column,
//                 0 = no glyph
//   32832  16384  advance-width scale per entry (advance = cell width * scale div 128)
//   49216  16384  advance-height scale per entry
//   65600  1024   palette: 256 ARGB colours indexed by the glyph pixel bytes
//   66624  2      cell width      66626  2  cell height
//   66628  1      page count      66629  2  page width in bytes
//   66631  2      page height in rows
//   66633  1      additive flag: 1 = the text colour's RGB is added to the palette colour
//   66634  ...    pages, one byte per pixel, each a 16 x 16 grid of cells
// A set is refused (EFontFileError) when the stream is shorter than the
// header and its pages, a cell side is 0, or 16 cells do not fit a page
// across and down. Bytes after the last page are ignored.
//
// The entry of a character code c: c for c <= 255, c - 0x8000 for
// 0x8100..0x9FFF, c - 0xC000 for 0xE000..0xFFFF, entry 0 for any other code.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "graphics/ARGB8888Font.h"

namespace zel {

class TMemoryStream;

class EFontFileError : public EZelError {
public:
    explicit EFontFileError(const std::string& msg) : EZelError(msg) {}
};

struct TGlyphSet {
    static constexpr size_t kHeaderBytes = 66634;
    static constexpr int kEntries = 16384;

    std::array<uint16_t, kEntries> map{};
    std::array<uint8_t, kEntries> widthScale{};
    std::array<uint8_t, kEntries> heightScale{};
    std::array<uint32_t, 256> palette{};
    int32_t cellWidth = 0, cellHeight = 0;
    int32_t pageCount = 0, pageWidth = 0, pageHeight = 0;
    bool additive = false;
    std::vector<uint8_t> pages;

    // Reads a set from the stream's current position.
    static std::unique_ptr<TGlyphSet> Read(TMemoryStream& s);
    // The stored form (tests and tools).
    std::string Write() const;
};

int32_t GlyphEntryIndex(uint32_t code);

class TBitmapFont {
public:
    TBitmapFont(std::unique_ptr<TGlyphSet> horizontal, std::unique_ptr<TGlyphSet> vertical);
    ~TBitmapFont();

    const TGlyphSet* Horizontal() const { return horizontal_.get(); }
    const TGlyphSet* Vertical() const { return vertical_.get(); }

    // (0, 0) when the set has no glyph for the code.
    TTextSize DrawGlyph(const TGlyphTarget& t, uint32_t code) const;

private:
    std::unique_ptr<TGlyphSet> horizontal_, vertical_;
};

}  // namespace zel
