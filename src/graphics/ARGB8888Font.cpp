#include "graphics/ARGB8888Font.h"

#include <algorithm>
#include <cstring>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BitmapFont.h"

namespace zel {

namespace {

uint8_t Ch(uint32_t c, int shift) { return static_cast<uint8_t>(c >> shift); }

void Put16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The layer colour as the text colour tints it.
uint32_t LayerColour(const TFontLayer& l, uint32_t text) {
    const uint32_t a = Ch(l.colour, 24) * Ch(text, 24) / 255;
    if (l.flags & 1) return a << 24 | (l.colour & 0x00FFFFFFu);
    const uint32_t r = Ch(l.colour, 16) * Ch(text, 16) / 255, g = Ch(l.colour, 8) * Ch(text, 8) / 255,
                   b = Ch(l.colour, 0) * Ch(text, 0) / 255;
    return a << 24 | r << 16 | g << 8 | b;
}

void BlendCoverage(TARGB8888& img, const TCachedGlyph& g, int32_t x, int32_t y, uint32_t c) {
    const int32_t x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(g.width, int64_t{img.Width()} - x));
    const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(g.height, int64_t{img.Height()} - y));
    const uint32_t ca = Ch(c, 24);
    const uint32_t cRB = c & 0x00FF00FFu, cAG = c >> 8 & 0x00FF00FFu;
    const uint32_t rgb = uint32_t{Ch(c, 16)} * 255 >> 8 << 16 | uint32_t{Ch(c, 8)} * 255 >> 8 << 8 |
                         uint32_t{Ch(c, 0)} * 255 >> 8;
    for (int32_t gy = y0; gy < y1; ++gy) {
        const uint8_t* src = g.coverage.data() + size_t(gy) * size_t(g.width);
        uint32_t* dst = img.Row(y + gy) + x;
        // Without branches, so that the compiler can run it over vectors:
        // a zero coverage leaves the pixel as it is on both paths.
        for (int32_t gx = x0; gx < x1; ++gx) {
            const uint32_t v = src[gx];
            const uint32_t t = dst[gx];
            // t + floor((C - t) * w / 128) is (t * (128 - w) + C * w) >> 7,
            // never negative, so two channels go through each multiply.
            const uint32_t w = v >> 1;
            const uint32_t rb = ((t & 0x00FF00FFu) * (128 - w) + cRB * w) >> 7 & 0x00FF00FFu;
            const uint32_t ag = ((t >> 8 & 0x00FF00FFu) * (128 - w) + cAG * w) >> 7 & 0x00FF00FFu;
            const uint32_t fresh = v ? ((ca * v >> 8) << 24 | rgb) : t;
            dst[gx] = (t >> 24) ? (ag << 8 | rb) : fresh;
        }
    }
}

}  // namespace

std::array<uint8_t, kDecorationBytes> PackDecoration(const TFontDecoration& d) {
    std::array<uint8_t, kDecorationBytes> out{};
    for (size_t i = 0; i < 16; ++i) {
        const TFontLayer& l = d.layers[i];
        for (int b = 0; b < 4; ++b) out[i * 4 + size_t(b)] = static_cast<uint8_t>(l.colour >> (8 * b));
        Put16(&out[64 + i * 2], l.dx);
        Put16(&out[96 + i * 2], l.dy);
        out[128 + i] = static_cast<uint8_t>(l.weightStep);
        out[144 + i] = static_cast<uint8_t>(l.flags);
    }
    return out;
}

TFontDecoration UnpackDecoration(const uint8_t* p) {
    TFontDecoration d;
    for (size_t i = 0; i < 16; ++i) {
        TFontLayer& l = d.layers[i];
        l.colour = uint32_t{p[i * 4]} | uint32_t{p[i * 4 + 1]} << 8 | uint32_t{p[i * 4 + 2]} << 16 |
                   uint32_t{p[i * 4 + 3]} << 24;
        l.dx = static_cast<int16_t>(p[64 + i * 2] | p[65 + i * 2] << 8);
        l.dy = static_cast<int16_t>(p[96 + i * 2] | p[97 + i * 2] << 8);
        l.weightStep = static_cast<int8_t>(p[128 + i]);
        l.flags = p[144 + i];
    }
    return d;
}

TFontDecoration DefaultDecoration() {
    TFontDecoration d;
    d.layers[0].colour = 0xFFFFFFFFu;
    return d;
}

// ---- Glyph cache ----

TGlyphKey TGlyphKey::Make(std::string_view face, int32_t weightStep, int32_t supersampling, int32_t cellWidth,
                          int32_t cellHeight, uint32_t code, uint8_t styleFlags) {
    TGlyphKey k;
    std::memset(&k, 0, sizeof k);
    const size_t n = std::min<size_t>(face.size(), 30);
    k.face[0] = static_cast<uint8_t>(n);
    std::memcpy(k.face + 1, face.data(), n);
    k.weight = static_cast<int32_t>(std::clamp<int64_t>(int64_t{weightStep} * 100, INT32_MIN, INT32_MAX));
    k.supersampling = supersampling;
    k.cellHeight = cellHeight;
    k.cellWidth = cellWidth;
    k.code = static_cast<int32_t>(code);
    k.style0 = styleFlags & 1;
    k.style1 = (styleFlags >> 1) & 1;
    return k;
}

bool TGlyphKey::operator==(const TGlyphKey& o) const { return std::memcmp(this, &o, sizeof *this) == 0; }

size_t TGlyphKeyHash::operator()(const TGlyphKey& k) const {
    // Seven 64-bit words of the key (padding is zero), multiplied and mixed.
    uint64_t words[sizeof k / 8];
    std::memcpy(words, &k, sizeof words);
    uint64_t h = 0x243F6A8885A308D3ull;
    for (uint64_t w : words) {
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return static_cast<size_t>(h);
}

void TSystemFontCache::Touch(int slot) {
    if (recent_[0] == slot) return;
    auto it = std::find(recent_.begin(), recent_.end(), slot);
    if (it == recent_.end()) it = recent_.end() - 1;
    std::move_backward(recent_.begin(), it, it + 1);
    recent_[0] = slot;
}

bool TSystemFontCache::Holds(const TGlyphKey& key) const { return index_.count(key) != 0; }

std::shared_ptr<const TCachedGlyph> TSystemFontCache::Find(const TGlyphKey& key) {
    // The most recently used slots first: text repeats the same few glyphs.
    for (int slot : recent_)
        if (slot >= 0 && entries_[size_t(slot)].used && entries_[size_t(slot)].key == key) {
            Touch(slot);
            return entries_[size_t(slot)].glyph;
        }
    if (auto it = index_.find(key); it != index_.end()) {
        Touch(it->second);
        return entries_[size_t(it->second)].glyph;
    }
    if (auto it = overflow_.find(key); it != overflow_.end()) {
        auto g = it->second;
        Place(key, g);
        return g;
    }
    return nullptr;
}

void TSystemFontCache::Store(const TGlyphKey& key, std::shared_ptr<const TCachedGlyph> glyph) {
    Place(key, glyph);
    if (overflow_.count(key)) return;
    const size_t bytes = glyph->coverage.size() + sizeof(TCachedGlyph) + sizeof(TGlyphKey);
    if (overflowBytes_ + bytes > kOverflowBudget) {
        overflow_.clear();
        overflowBytes_ = 0;
    }
    overflow_.emplace(key, std::move(glyph));
    overflowBytes_ += bytes;
}

void TSystemFontCache::Place(const TGlyphKey& key, const std::shared_ptr<const TCachedGlyph>& glyph) {
    last_ = (last_ + 1) % kSlots;
    TEntry& e = entries_[size_t(last_)];
    if (e.used) index_.erase(e.key);
    e.used = true;
    e.key = key;
    e.glyph = glyph;
    index_[key] = last_;
    Touch(last_);
}

void TSystemFontCache::Clear() {
    entries_ = {};
    index_.clear();
    recent_ = {-1, -1, -1, -1};
    last_ = -1;
    overflow_.clear();
    overflowBytes_ = 0;
}

// ---- System font ----

void ReduceGlyph(const uint8_t* work, int32_t s, int32_t w, int32_t h, uint8_t* out) {
    const size_t stride = size_t(s) * size_t(w);
    const uint32_t area = uint32_t(s) * uint32_t(s);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sum = 0;
            for (int32_t by = 0; by < s; ++by) {
                const uint8_t* row = work + (size_t(y) * size_t(s) + size_t(by)) * stride + size_t(x) * size_t(s);
                for (int32_t bx = 0; bx < s; ++bx) sum += row[bx] ? 255u : 0u;
            }
            uint32_t v;
            switch (s) {
                case 1: v = sum; break;
                case 2: v = sum >> 2; break;
                case 4: v = sum >> 4; break;
                default: v = sum / area; break;
            }
            out[size_t(y) * size_t(w) + size_t(x)] = static_cast<uint8_t>(v);
        }
}

TSystemFont::TSystemFont(std::string face, uint8_t styleFlags, bool centre, int32_t supersampling,
                         const TFontDecoration& decoration)
    : face_(std::move(face)), style_(styleFlags), centre_(centre), supersampling_(supersampling),
      decoration_(decoration) {
    if (!face_.empty() && face_[0] == '@') face_.erase(0, 1);
}

std::shared_ptr<const TCachedGlyph> TSystemFont::Glyph(IGlyphRasterizer& raster, TSystemFontCache& cache,
                                                       int32_t weightStep, int32_t cellWidth, int32_t cellHeight,
                                                       uint32_t code) const {
    if (cellWidth <= 0 || cellHeight <= 0 || cellWidth > kMaxGlyphCell || cellHeight > kMaxGlyphCell) return nullptr;
    int32_t s = std::clamp(supersampling_, 1, 16);
    while (s > 1 && size_t(s) * size_t(s) * size_t(cellWidth) * size_t(cellHeight) > kMaxGlyphWorkBytes) --s;
    const TGlyphKey key = TGlyphKey::Make(face_, weightStep, s, cellWidth, cellHeight, code, style_);
    if (auto g = cache.Find(key)) return g;
    const int32_t ww = s * cellWidth, wh = s * cellHeight;
    std::vector<uint8_t> work(size_t(ww) * size_t(wh), 0);
    TGlyphRequest req;
    req.face = face_;
    req.weight = static_cast<int32_t>(std::clamp<int64_t>(400 + int64_t{weightStep} * 100, 0, 1000));
    req.cellWidth = ww;
    req.cellHeight = wh;
    req.code = code;
    const TTextSize measured = raster.Render(req, work.data(), ww, wh);
    auto g = std::make_shared<TCachedGlyph>();
    g->width = cellWidth;
    g->height = cellHeight;
    g->advance = {measured.width / s, measured.height / s};
    g->coverage.resize(size_t(cellWidth) * size_t(cellHeight));
    ReduceGlyph(work.data(), s, cellWidth, cellHeight, g->coverage.data());
    cache.Store(key, g);
    return g;
}

TTextSize TSystemFont::DrawGlyph(IGlyphRasterizer& raster, TSystemFontCache& cache, const TGlyphTarget& t,
                                 uint32_t code) const {
    if (code == 32) return {t.cellWidth / 2, t.cellHeight};
    if (code == 0x8140) return {t.cellWidth, t.cellHeight};
    TTextSize advance;
    bool measured = false;
    const bool canDraw = t.image && !t.image->Empty();
    for (const TFontLayer& layer : decoration_.layers) {
        const uint32_t c = LayerColour(layer, t.colour);
        if ((c >> 24) == 0 || !canDraw) continue;
        auto g = Glyph(raster, cache, layer.weightStep, t.cellWidth, t.cellHeight, code);
        if (!g) continue;
        advance = g->advance;
        measured = true;
        int32_t px = t.x + layer.dx;
        const int32_t py = t.y + layer.dy;
        if (!t.vertical && centre_ && advance.width < t.cellWidth) px += (t.cellWidth - advance.width) / 2;
        BlendCoverage(*t.image, *g, px, py, c);
    }
    if (!measured) {
        // Nothing was drawn (transparent text, or no image): the character
        // still takes its place, so text fading in keeps its layout.
        int32_t step = 0;
        for (const TFontLayer& layer : decoration_.layers)
            if (layer.colour >> 24) {
                step = layer.weightStep;
                break;
            }
        if (auto g = Glyph(raster, cache, step, t.cellWidth, t.cellHeight, code)) advance = g->advance;
    }
    return advance;
}

// ---- Font slot ----

TARGB8888Font::TARGB8888Font() = default;
TARGB8888Font::~TARGB8888Font() = default;
TARGB8888Font::TARGB8888Font(TARGB8888Font&&) noexcept = default;
TARGB8888Font& TARGB8888Font::operator=(TARGB8888Font&&) noexcept = default;

void TARGB8888Font::SetSystemFont(const std::string& face, uint8_t styleFlags, bool centre, int32_t supersampling,
                                  const TFontDecoration& decoration) {
    system_ = std::make_unique<TSystemFont>(face, styleFlags, centre, supersampling, decoration);
    bitmap_.reset();
    name_ = system_->Face();
}

bool TARGB8888Font::LoadBitmapFont(const std::string& name, TMemoryStream* horizontal, TMemoryStream* vertical) {
    if (!horizontal && !vertical) return false;
    std::unique_ptr<TGlyphSet> sets[2];
    TMemoryStream* streams[2] = {horizontal, vertical};
    for (int i = 0; i < 2; ++i) {
        if (!streams[i]) continue;
        try {
            streams[i]->Rewind();
            sets[i] = TGlyphSet::Read(*streams[i]);
        } catch (const EZelError& e) {
            ReportError(Sj("フォントファイルを読み込めません：") + (i ? "@" : "") + name + ".of (" + e.what() + ")");
        }
    }
    if (!sets[0] && !sets[1]) return false;
    bitmap_ = std::make_unique<TBitmapFont>(std::move(sets[0]), std::move(sets[1]));
    system_.reset();
    name_ = name;
    return true;
}

TTextSize TARGB8888Font::DrawGlyph(IGlyphRasterizer& raster, TSystemFontCache& cache, const TGlyphTarget& t,
                                   uint32_t code) const {
    if (bitmap_) return bitmap_->DrawGlyph(t, code);
    if (system_) return system_->DrawGlyph(raster, cache, t, code);
    return {};
}

// ---- Font table ----

TFontTable::TFontTable(IGlyphRasterizer& raster) : raster_(raster) {
    for (auto& s : slots_) s.SetSystemFont(Sj("ＭＳ ゴシック"), 0, false, 2, DefaultDecoration());
}

TFontTable::~TFontTable() = default;

const TARGB8888Font& TFontTable::Slot(int slot) const {
    return slots_[size_t(slot >= 0 && slot < kSlots ? slot : 0)];
}

std::string TFontTable::SlotFontName(int slot) const { return Slot(slot).Name(); }

bool TFontTable::SlotIsBitmapFont(int slot) const { return Slot(slot).IsBitmap(); }

void TFontTable::LoadBitmapFont(int slot, const std::string& name, TMemoryStream* horizontal,
                                TMemoryStream* vertical) {
    if (slot < 0 || slot >= kSlots) return;
    TARGB8888Font& f = slots_[size_t(slot)];
    if (f.LoadBitmapFont(name, horizontal, vertical)) return;
    // Unreadable sets leave a system font of that name, keeping what the
    // slot's system font had.
    if (const TSystemFont* s = f.System())
        f.SetSystemFont(name, s->StyleFlags(), s->Centre(), s->Supersampling(), s->Decoration());
    else
        f.SetSystemFont(name, 0, false, 2, DefaultDecoration());
}

void TFontTable::SetSystemFont(int slot, const std::string& face, uint32_t styleFlags, bool centre, int supersampling,
                               const TFontDecoration& decoration) {
    if (slot < 0 || slot >= kSlots) return;
    slots_[size_t(slot)].SetSystemFont(face, static_cast<uint8_t>(styleFlags), centre, supersampling, decoration);
}

TTextSize TFontTable::DrawText(TARGB8888& image, int32_t x, int32_t y, std::string_view text, int32_t cellWidth,
                               int32_t cellHeight, uint32_t colour, int slot, bool vertical) {
    if (image.Empty() || text.empty()) return {};
    const TARGB8888Font& font = Slot(slot);
    const TARGB8888Font& fallback = Slot(0);
    int64_t ax = 0, ay = 0;
    TTextSize last;
    for (size_t i = 0; i < text.size();) {
        const uint8_t b = static_cast<uint8_t>(text[i]);
        uint32_t code = b;
        if (((b >= 0x80 && b <= 0x9F) || b >= 0xE0) && i + 1 < text.size()) {
            code = uint32_t{b} << 8 | static_cast<uint8_t>(text[i + 1]);
            i += 2;
        } else {
            ++i;
        }
        TGlyphTarget t;
        t.image = &image;
        t.x = static_cast<int32_t>(std::clamp<int64_t>(x + ax, INT32_MIN / 2, INT32_MAX / 2));
        t.y = static_cast<int32_t>(std::clamp<int64_t>(y + ay, INT32_MIN / 2, INT32_MAX / 2));
        t.cellWidth = cellWidth;
        t.cellHeight = cellHeight;
        t.colour = colour;
        t.vertical = vertical;
        TTextSize adv = font.DrawGlyph(raster_, cache_, t, code);
        if (adv == TTextSize{} && &font != &fallback) adv = fallback.DrawGlyph(raster_, cache_, t, code);
        last = adv;
        if (vertical) ay += adv.height;
        else ax += adv.width;
    }
    if (vertical) return {last.width, static_cast<int32_t>(std::clamp<int64_t>(ay, INT32_MIN, INT32_MAX))};
    return {static_cast<int32_t>(std::clamp<int64_t>(ax, INT32_MIN, INT32_MAX)), last.height};
}

}  // namespace zel
