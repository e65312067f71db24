#include "graphics/FreeTypeRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "base/Sjis.h"
#include "platform/SystemFonts.h"

namespace zel {

uint32_t SjisCodeToUnicode(uint32_t code) {
    std::string s;
    if (code > 0xFF) s.push_back(static_cast<char>(code >> 8));
    s.push_back(static_cast<char>(code & 0xFF));
    const std::string u = SjisToUtf8(s);
    if (u.empty()) return 0;
    const auto* p = reinterpret_cast<const uint8_t*>(u.data());
    uint32_t cp = 0;
    size_t n = 0;
    if (p[0] < 0x80) return p[0];
    if ((p[0] & 0xE0) == 0xC0) cp = p[0] & 0x1F, n = 1;
    else if ((p[0] & 0xF0) == 0xE0) cp = p[0] & 0x0F, n = 2;
    else if ((p[0] & 0xF8) == 0xF0) cp = p[0] & 0x07, n = 3;
    else return 0;
    if (u.size() < n + 1) return 0;
    for (size_t i = 1; i <= n; ++i) cp = cp << 6 | (p[i] & 0x3F);
    return cp == 0xFFFD ? 0 : cp;
}

struct TFreeTypeRasterizer::TImpl {
    struct TFace {
        FT_Face face = nullptr;
        int32_t ascent = 0, descent = 0;  // font units
        bool bold = false;
    };

    FT_Library lib = nullptr;
    std::map<std::string, std::unique_ptr<TFace>> byFile;
    std::map<std::string, TFace*> byName;                     // face name + weight class
    std::map<std::pair<std::string, uint32_t>, TFace*> byChar;  // fallbacks
    std::set<std::string> told;
    std::string lastFamily;

    ~TImpl() {
        for (auto& [file, f] : byFile)
            if (f->face) FT_Done_Face(f->face);
        if (lib) FT_Done_FreeType(lib);
    }

    TFace* Open(const std::string& file) {
        auto it = byFile.find(file);
        if (it != byFile.end()) return it->second.get();
        auto f = std::make_unique<TFace>();
        if (FT_New_Face(lib, file.c_str(), 0, &f->face) != 0 || !FT_IS_SCALABLE(f->face)) {
            if (f->face) FT_Done_Face(f->face);
            f->face = nullptr;
        } else {
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f->face, FT_SFNT_OS2));
            if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
                f->ascent = os2->usWinAscent;
                f->descent = os2->usWinDescent;
            } else {
                f->ascent = f->face->ascender;
                f->descent = -f->face->descender;
            }
            if (f->ascent + f->descent <= 0) f->ascent = f->face->units_per_EM, f->descent = 0;
            f->bold = (f->face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        }
        TFace* out = f->face ? f.get() : nullptr;
        byFile.emplace(file, std::move(f));
        return out;
    }

    TFace* ForName(const std::string& name, int weight) {
        const std::string key = name + (weight >= 600 ? "\x01" : "\x00");
        auto it = byName.find(key);
        if (it != byName.end()) return it->second;
        TFace* f = nullptr;
        if (auto file = FontFileFor(name, weight, 0)) f = Open(*file);
        byName.emplace(key, f);
        return f;
    }

    TFace* ForChar(const std::string& name, int weight, uint32_t cp) {
        const auto key = std::make_pair(name, cp);
        auto it = byChar.find(key);
        if (it != byChar.end()) return it->second;
        TFace* f = nullptr;
        if (auto file = FontFileFor(name, weight, cp)) {
            f = Open(*file);
            if (f && FT_Get_Char_Index(f->face, cp) == 0) f = nullptr;
        }
        byChar.emplace(key, f);
        if (told.insert(name).second)
            std::fprintf(stderr, "zel: the font \"%s\" has no U+%04X; %s\n", SjisToUtf8(name).c_str(), cp,
                         f ? ("drawn with " + std::string(f->face->family_name)).c_str()
                           : "no installed font has it");
        return f;
    }
};

TFreeTypeRasterizer::TFreeTypeRasterizer() : impl_(std::make_unique<TImpl>()) {
    if (FT_Init_FreeType(&impl_->lib) != 0) impl_->lib = nullptr;
}

TFreeTypeRasterizer::~TFreeTypeRasterizer() = default;

const std::string& TFreeTypeRasterizer::LastFamily() const { return impl_->lastFamily; }

TTextSize TFreeTypeRasterizer::Render(const TGlyphRequest& req, uint8_t* bitmap, int32_t width, int32_t height) {
    impl_->lastFamily.clear();
    if (!impl_->lib || width <= 0 || height <= 0) return {};
    const uint32_t cp = SjisCodeToUnicode(req.code);
    if (cp < 0x20) return {};
    TImpl::TFace* f = impl_->ForName(req.face, req.weight);
    FT_UInt gi = f ? FT_Get_Char_Index(f->face, cp) : 0;
    if (gi == 0) {
        f = impl_->ForChar(req.face, req.weight, cp);
        gi = f ? FT_Get_Char_Index(f->face, cp) : 0;
    }
    if (!f || gi == 0) return {};
    FT_Face face = f->face;
    // Ascent + descent fill the cell height; one em is the cell width.
    const int64_t units = f->ascent + f->descent;
    FT_Size_RequestRec size{};
    size.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
    size.width = static_cast<FT_Long>(int64_t{req.cellWidth} * 64);
    size.height = static_cast<FT_Long>(int64_t{req.cellHeight} * 64 * face->units_per_EM / units);
    if (FT_Request_Size(face, &size) != 0) return {};
    if (FT_Load_Glyph(face, gi, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0) return {};
    FT_GlyphSlot slot = face->glyph;
    FT_Pos extra = 0;
    if (req.weight >= 600 && !f->bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // Synthetic bold: the outline widened by about a 24th of the em at 700.
        extra = std::max<FT_Pos>(64, int64_t{req.cellWidth} * 64 / 24 * (req.weight - 400) / 300);
        FT_Outline_EmboldenXY(&slot->outline, extra, 0);
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return {};
    impl_->lastFamily = face->family_name ? face->family_name : "";
    const int32_t baseline = static_cast<int32_t>((int64_t{f->ascent} * req.cellHeight + units / 2) / units);
    const FT_Bitmap& bm = slot->bitmap;
    const int32_t left = slot->bitmap_left, top = baseline - slot->bitmap_top;
    for (int32_t r = 0; r < static_cast<int32_t>(bm.rows); ++r) {
        const int32_t y = top + r;
        if (y < 0 || y >= height) continue;
        const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
        uint8_t* dst = bitmap + size_t(y) * size_t(width);
        for (int32_t c = 0; c < static_cast<int32_t>(bm.width); ++c) {
            const int32_t x = left + c;
            if (x < 0 || x >= width) continue;
            const bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (src[c >> 3] >> (7 - (c & 7))) & 1 : src[c] != 0;
            if (ink) dst[x] = 255;
        }
    }
    return {static_cast<int32_t>((slot->advance.x + extra + 32) >> 6), req.cellHeight};
}

}  // namespace zel
