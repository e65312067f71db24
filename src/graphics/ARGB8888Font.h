// Fonts and glyph drawing: the eight font slots that all text is drawn with.
//
// A slot holds either a system font (an installed outline font, rasterised
// into 8-bit coverage maps and drawn as up to 16 coloured, offset layers for
// shadows and outlines) or a bitmap font read from the game's ".of" sets
// (graphics/BitmapFont.h). Rendered system-font glyphs are shared between the
// slots through one cache of 256 entries.
//
// The outline rasteriser sits behind IGlyphRasterizer: the engine uses
// FreeType (graphics/FreeTypeRasterizer.h), the tests a fake with fixed
// bitmaps. Character codes are Shift-JIS: a one-byte code, or lead byte * 256
// + trail byte.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/FontSlots.h"

namespace zel {

class TARGB8888;
class TBitmapFont;
class TMemoryStream;

struct TTextSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TTextSize&) const = default;
};

// The stored 160-byte form of a decoration: 16 colours, 16 x offsets, 16 y
// offsets (signed 16-bit), 16 weight steps (signed bytes), 16 flag bytes.
constexpr size_t kDecorationBytes = 160;
std::array<uint8_t, kDecorationBytes> PackDecoration(const TFontDecoration& d);
TFontDecoration UnpackDecoration(const uint8_t* bytes);
// Layer 0 white, every other layer unused: plain text in the text colour.
TFontDecoration DefaultDecoration();

// What the platform rasteriser is asked for: one character of a face, drawn
// in white at (0, 0) into a width x height bitmap that the caller cleared.
struct TGlyphRequest {
    std::string face;      // Shift-JIS face name, without a leading "@"
    int32_t weight = 400;  // 0..1000
    int32_t cellWidth = 0;   // the full-width advance the font is scaled to
    int32_t cellHeight = 0;  // ascent + descent
    uint32_t code = 0;
};

class IGlyphRasterizer {
public:
    virtual ~IGlyphRasterizer() = default;
    // Draws the character without anti-aliasing (any non-zero byte is ink)
    // into bitmap (width x height bytes, rows top-down) and returns its
    // advance as the platform measures it. A character no installed face
    // has gives an advance of (0, 0) and no ink.
    virtual TTextSize Render(const TGlyphRequest& request, uint8_t* bitmap, int32_t width, int32_t height) = 0;
};

// A rendered glyph: a cellWidth x cellHeight coverage map and its advance.
struct TCachedGlyph {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> coverage;
    TTextSize advance;
};

// The 56-byte glyph cache key. It is built zeroed, padding included, so that
// two keys are equal exactly when their bytes are.
struct TGlyphKey {
    uint8_t face[32];  // length byte + up to 30 bytes of the face name, rest zero
    int32_t weight;    // weight step * 100
    int32_t supersampling;
    int32_t cellHeight;
    int32_t cellWidth;
    int32_t code;
    uint8_t style0, style1;
    uint8_t pad[2];

    static TGlyphKey Make(std::string_view face, int32_t weightStep, int32_t supersampling, int32_t cellWidth,
                          int32_t cellHeight, uint32_t code, uint8_t styleFlags);
    bool operator==(const TGlyphKey& o) const;
};
static_assert(sizeof(TGlyphKey) == 56);

struct TGlyphKeyHash {
    size_t operator()(const TGlyphKey& k) const;
};

// The 256 most recently rendered system-font glyphs, stored round robin.
//
// Behind the 256 slots sits a larger store of glyphs already rendered this
// run, so that a page with more distinct characters than the slots hold does
// not go back to the rasteriser on every redraw: a glyph leaving the slots
// stays there until that store passes its byte budget and is emptied.
class TSystemFontCache {
public:
    static constexpr int kSlots = 256;
    static constexpr size_t kOverflowBudget = size_t{16} << 20;

    // The glyph of that key in the 256 slots, or null. A glyph found in the
    // overflow store is put back into the slots (as a store would).
    std::shared_ptr<const TCachedGlyph> Find(const TGlyphKey& key);
    // Whether the 256 slots hold the key (no side effects).
    bool Holds(const TGlyphKey& key) const;
    // Stores into the slot after the last written one (its old entry leaves).
    void Store(const TGlyphKey& key, std::shared_ptr<const TCachedGlyph> glyph);
    void Clear();

private:
    struct TEntry {
        bool used = false;
        TGlyphKey key{};
        std::shared_ptr<const TCachedGlyph> glyph;
    };
    void Touch(int slot);
    // Into the slot after the last written one, without the overflow store.
    void Place(const TGlyphKey& key, const std::shared_ptr<const TCachedGlyph>& glyph);

    std::array<TEntry, kSlots> entries_{};
    std::unordered_map<TGlyphKey, int, TGlyphKeyHash> index_;
    std::array<int, 4> recent_{-1, -1, -1, -1};
    int last_ = -1;
    std::unordered_map<TGlyphKey, std::shared_ptr<const TCachedGlyph>, TGlyphKeyHash> overflow_;
    size_t overflowBytes_ = 0;
};

// Where a glyph is drawn and in what.
struct TGlyphTarget {
    TARGB8888* image = nullptr;
    int32_t x = 0, y = 0;
    int32_t cellWidth = 0, cellHeight = 0;
    uint32_t colour = 0xFFFFFFFF;
    bool vertical = false;
};

// Largest supersampled work bitmap a glyph is rendered into; a larger
// request lowers the factor until it fits (cell sizes come from scripts).
constexpr size_t kMaxGlyphWorkBytes = size_t{8} << 20;
constexpr int32_t kMaxGlyphCell = 2048;

class TSystemFont {
public:
    TSystemFont(std::string face, uint8_t styleFlags, bool centre, int32_t supersampling,
                const TFontDecoration& decoration);

    const std::string& Face() const { return face_; }
    uint8_t StyleFlags() const { return style_; }
    bool Centre() const { return centre_; }
    int32_t Supersampling() const { return supersampling_; }
    const TFontDecoration& Decoration() const { return decoration_; }

    TTextSize DrawGlyph(IGlyphRasterizer& raster, TSystemFontCache& cache, const TGlyphTarget& t, uint32_t code) const;
    // The glyph of one weight step from the cache, rendered on a miss; null
    // when the cell cannot be rendered at all.
    std::shared_ptr<const TCachedGlyph> Glyph(IGlyphRasterizer& raster, TSystemFontCache& cache, int32_t weightStep,
                                              int32_t cellWidth, int32_t cellHeight, uint32_t code) const;

private:
    std::string face_;
    uint8_t style_;
    bool centre_;
    int32_t supersampling_;
    TFontDecoration decoration_;
};

// Reduces a binarised (s * w) x (s * h) work bitmap to a w x h coverage map
// by s x s boxes: every non-zero byte counts as 255.
void ReduceGlyph(const uint8_t* work, int32_t s, int32_t w, int32_t h, uint8_t* out);

// One font slot: a system font or a bitmap font, never both.
class TARGB8888Font {
public:
    TARGB8888Font();
    ~TARGB8888Font();
    TARGB8888Font(TARGB8888Font&&) noexcept;
    TARGB8888Font& operator=(TARGB8888Font&&) noexcept;

    const std::string& Name() const { return name_; }
    bool IsBitmap() const { return bitmap_ != nullptr; }
    const TSystemFont* System() const { return system_.get(); }
    const TBitmapFont* Bitmap() const { return bitmap_.get(); }

    void SetSystemFont(const std::string& face, uint8_t styleFlags, bool centre, int32_t supersampling,
                       const TFontDecoration& decoration);
    // False (and the slot unchanged) when both streams are absent or neither
    // holds a valid glyph set.
    bool LoadBitmapFont(const std::string& name, TMemoryStream* horizontal, TMemoryStream* vertical);

    TTextSize DrawGlyph(IGlyphRasterizer& raster, TSystemFontCache& cache, const TGlyphTarget& t, uint32_t code) const;

private:
    std::string name_;
    std::unique_ptr<TSystemFont> system_;
    std::unique_ptr<TBitmapFont> bitmap_;
};

// The font table: slots 0..7 and the shared glyph cache.
class TFontTable final : public IFontSlots {
public:
    static constexpr int kSlots = 8;

    // InitFonts: every slot the system font "ＭＳ ゴシック" with the default
    // decoration, style 0, no centring, supersampling 2.
    explicit TFontTable(IGlyphRasterizer& raster);
    ~TFontTable() override;

    std::string SlotFontName(int slot) const override;
    bool SlotIsBitmapFont(int slot) const override;
    void LoadBitmapFont(int slot, const std::string& name, TMemoryStream* horizontal,
                        TMemoryStream* vertical) override;
    void SetSystemFont(int slot, const std::string& face, uint32_t styleFlags, bool centre, int supersampling,
                       const TFontDecoration& decoration) override;

    // Slots outside 0..7 read as slot 0.
    const TARGB8888Font& Slot(int slot) const;
    TSystemFontCache& Cache() { return cache_; }
    IGlyphRasterizer& Rasterizer() { return raster_; }

    // Draws a Shift-JIS text from (x, y); a character the slot's font lacks
    // is drawn with slot 0's. Returns (total advance, last advance height)
    // for horizontal text and (last advance width, total advance) for
    // vertical text; (0, 0) on an empty image or text.
    TTextSize DrawText(TARGB8888& image, int32_t x, int32_t y, std::string_view text, int32_t cellWidth,
                       int32_t cellHeight, uint32_t colour, int slot, bool vertical);

private:
    IGlyphRasterizer& raster_;
    std::array<TARGB8888Font, kSlots> slots_;
    TSystemFontCache cache_;
};

}  // namespace zel
