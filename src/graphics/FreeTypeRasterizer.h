// The outline-font rasteriser of the engine: FreeType over the fonts that
// fontconfig finds (the project's fontconfig file maps the Windows Japanese
// face names games ask for to the IPA fonts).
//
// A face is scaled as the Windows font mapper scales a font asked for by cell
// height: ascent + descent (the OS/2 Windows metrics where the font has them)
// fill the requested height, and a full-width glyph (one em) is the
// requested cell width. Glyphs are rendered without anti-aliasing, as the
// glyph cache binarises them anyway; a weight above what the face file has
// is made by emboldening the outline. A character the face lacks is drawn
// from the face fontconfig falls back to; the first such character of each
// face is told once on standard error.
#pragma once

#include <memory>
#include <string>

#include "graphics/ARGB8888Font.h"

namespace zel {

class TFreeTypeRasterizer final : public IGlyphRasterizer {
public:
    TFreeTypeRasterizer();
    ~TFreeTypeRasterizer() override;
    TFreeTypeRasterizer(const TFreeTypeRasterizer&) = delete;
    TFreeTypeRasterizer& operator=(const TFreeTypeRasterizer&) = delete;

    TTextSize Render(const TGlyphRequest& request, uint8_t* bitmap, int32_t width, int32_t height) override;

    // The family of the face the last Render drew with ("" when none).
    const std::string& LastFamily() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// The Unicode code point of a Shift-JIS character code (0 when it has none).
uint32_t SjisCodeToUnicode(uint32_t code);

}  // namespace zel
