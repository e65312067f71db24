#include "graphics/BitmapFont.h"

#include <algorithm>
#include <cstring>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

namespace {

uint8_t Ch(uint32_t c, int shift) { return static_cast<uint8_t>(c >> shift); }

// One glyph pixel after the text colour: the palette colour, plus the text
// RGB when the set is additive, multiplied per channel (>> 8).
uint32_t ShadePixel(uint32_t pal, uint32_t text, bool additive) {
    uint32_t c = pal;
    if (additive) {
        c = (pal & 0xFF000000u) | (AddColours(pal, text & 0x00FFFFFFu) & 0x00FFFFFFu);
    }
    const uint32_t mr = additive ? 255 : Ch(text, 16), mg = additive ? 255 : Ch(text, 8), mb = additive ? 255 : Ch(text, 0);
    const uint32_t ma = Ch(text, 24);
    const uint32_t a = (Ch(c, 24) * ma) >> 8, r = (Ch(c, 16) * mr) >> 8, g = (Ch(c, 8) * mg) >> 8,
                   b = (Ch(c, 0) * mb) >> 8;
    return a << 24 | r << 16 | g << 8 | b;
}

int32_t Mix(int32_t t, int32_t c, int32_t a) { return t + (((c - t) * (a >> 1)) >> 7); }

void BlendPixel(uint32_t& dst, uint32_t res) {
    if ((dst >> 24) == 0) {
        dst = res;
        return;
    }
    const int32_t a = static_cast<int32_t>(res >> 24);
    const uint32_t full = res | 0xFF000000u;
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8)
        out |= static_cast<uint32_t>(Mix(Ch(dst, sh), Ch(full, sh), a)) << sh;
    dst = out;
}

uint32_t Lerp7(uint32_t c0, uint32_t c1, int32_t w) {
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        const int32_t v = (Ch(c0, sh) * (128 - w) + Ch(c1, sh) * w) >> 7;
        out |= static_cast<uint32_t>(v) << sh;
    }
    return out;
}

}  // namespace

int32_t GlyphEntryIndex(uint32_t c) {
    if (c <= 255) return static_cast<int32_t>(c);
    if (c >= 0x8100 && c <= 0x9FFF) return static_cast<int32_t>(c - 0x8000);
    if (c >= 0xE000 && c <= 0xFFFF) return static_cast<int32_t>(c - 0xC000);
    return 0;
}

std::unique_ptr<TGlyphSet> TGlyphSet::Read(TMemoryStream& s) {
    if (s.Remaining() < kHeaderBytes)
        throw EFontFileError("font set: " + std::to_string(s.Remaining()) + " bytes, shorter than its header");
    auto g = std::make_unique<TGlyphSet>();
    s.Skip(64);
    for (auto& e : g->map) e = s.ReadU16();
    s.Read(g->widthScale.data(), g->widthScale.size());
    s.Read(g->heightScale.data(), g->heightScale.size());
    for (auto& p : g->palette) p = s.ReadU32();
    g->cellWidth = s.ReadU16();
    g->cellHeight = s.ReadU16();
    g->pageCount = s.ReadU8();
    g->pageWidth = s.ReadU16();
    g->pageHeight = s.ReadU16();
    g->additive = s.ReadU8() == 1;
    if (g->cellWidth == 0 || g->cellHeight == 0) throw EFontFileError("font set: a cell side is 0");
    if (g->pageWidth < 16 * g->cellWidth || g->pageHeight < 16 * g->cellHeight)
        throw EFontFileError("font set: 16 x 16 cells of " + std::to_string(g->cellWidth) + " x " +
                             std::to_string(g->cellHeight) + " do not fit a page of " + std::to_string(g->pageWidth) +
                             " x " + std::to_string(g->pageHeight));
    const uint64_t pageBytes = uint64_t(g->pageWidth) * uint64_t(g->pageHeight);
    if (uint64_t(g->pageCount) * pageBytes > s.Remaining())
        throw EFontFileError("font set: " + std::to_string(g->pageCount) + " pages need " +
                             std::to_string(uint64_t(g->pageCount) * pageBytes) + " bytes, " +
                             std::to_string(s.Remaining()) + " remain");
    g->pages.resize(static_cast<size_t>(uint64_t(g->pageCount) * pageBytes));
    if (!g->pages.empty()) s.Read(g->pages.data(), g->pages.size());
    return g;
}

std::string TGlyphSet::Write() const {
    TMemoryStream s;
    s.WriteBytes(std::string(64, '\0'));
    for (uint16_t e : map) s.WriteU16(e);
    s.Write(widthScale.data(), widthScale.size());
    s.Write(heightScale.data(), heightScale.size());
    for (uint32_t p : palette) s.WriteU32(p);
    s.WriteU16(static_cast<uint16_t>(cellWidth));
    s.WriteU16(static_cast<uint16_t>(cellHeight));
    s.WriteU8(static_cast<uint8_t>(pageCount));
    s.WriteU16(static_cast<uint16_t>(pageWidth));
    s.WriteU16(static_cast<uint16_t>(pageHeight));
    s.WriteU8(additive ? 1 : 0);
    if (!pages.empty()) s.Write(pages.data(), pages.size());
    return s.ToString();
}

TBitmapFont::TBitmapFont(std::unique_ptr<TGlyphSet> horizontal, std::unique_ptr<TGlyphSet> vertical)
    : horizontal_(std::move(horizontal)), vertical_(std::move(vertical)) {}

TBitmapFont::~TBitmapFont() = default;

TTextSize TBitmapFont::DrawGlyph(const TGlyphTarget& t, uint32_t code) const {
    const TGlyphSet* set = t.vertical ? vertical_.get() : horizontal_.get();
    if (!set) return {};
    const int32_t index = GlyphEntryIndex(code);
    const uint16_t entry = set->map[static_cast<size_t>(index)];
    if (entry == 0) return {};
    const TTextSize advance{static_cast<int32_t>(int64_t{t.cellWidth} * set->widthScale[static_cast<size_t>(index)] / 128),
                            static_cast<int32_t>(int64_t{t.cellHeight} * set->heightScale[static_cast<size_t>(index)] / 128)};
    const int32_t page = entry >> 8, row = (entry >> 4) & 15, col = entry & 15;
    if (code == 32 || code == 0x8140 || (t.colour >> 24) == 0 || page >= set->pageCount) return advance;
    if (!t.image || t.image->Empty() || t.cellWidth <= 0 || t.cellHeight <= 0) return advance;
    TARGB8888& img = *t.image;
    const uint8_t* base = set->pages.data() + size_t(page) * size_t(set->pageWidth) * size_t(set->pageHeight) +
                          size_t(row) * size_t(set->cellHeight) * size_t(set->pageWidth) + size_t(col) * size_t(set->cellWidth);
    const int32_t fw = set->cellWidth, fh = set->cellHeight;
    const int32_t x0 = std::max(0, -t.x), y0 = std::max(0, -t.y);
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(t.cellWidth, int64_t{img.Width()} - t.x));
    const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(t.cellHeight, int64_t{img.Height()} - t.y));
    const bool unscaled = t.cellWidth == fw && t.cellHeight == fh;
    for (int32_t gy = y0; gy < y1; ++gy) {
        uint32_t* dst = img.Row(t.y + gy) + t.x;
        if (unscaled) {
            const uint8_t* src = base + size_t(gy) * size_t(set->pageWidth);
            for (int32_t gx = x0; gx < x1; ++gx)
                BlendPixel(dst[gx], ShadePixel(set->palette[src[gx]], t.colour, set->additive));
            continue;
        }
        // Bilinear over palette colours: 10-bit source positions, 7-bit weights.
        const int64_t sy = int64_t{gy} * (int64_t{fh} << 10) / t.cellHeight;
        const int32_t iy = static_cast<int32_t>(sy >> 10), wy = static_cast<int32_t>((sy >> 3) & 127);
        const int32_t iy1 = std::min(iy + 1, fh - 1);
        const uint8_t* r0 = base + size_t(iy) * size_t(set->pageWidth);
        const uint8_t* r1 = base + size_t(iy1) * size_t(set->pageWidth);
        for (int32_t gx = x0; gx < x1; ++gx) {
            const int64_t sx = int64_t{gx} * (int64_t{fw} << 10) / t.cellWidth;
            const int32_t ix = static_cast<int32_t>(sx >> 10), wx = static_cast<int32_t>((sx >> 3) & 127);
            const int32_t ix1 = std::min(ix + 1, fw - 1);
            const uint32_t top = Lerp7(set->palette[r0[ix]], set->palette[r0[ix1]], wx);
            const uint32_t bottom = Lerp7(set->palette[r1[ix]], set->palette[r1[ix1]], wx);
            BlendPixel(dst[gx], ShadePixel(Lerp7(top, bottom, wy), t.colour, set->additive));
        }
    }
    return advance;
}

}  // namespace zel
