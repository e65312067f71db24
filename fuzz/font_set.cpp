// Bitmap-font glyph sets (".of") on arbitrary bytes: the set is read as the
// horizontal and the vertical set of a slot, then every kind of character is
// drawn unscaled and resampled, half off the picture.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888Font.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BitmapFont.h"

namespace {

// No outline font: every character the set lacks takes no space.
struct NoRaster : zel::IGlyphRasterizer {
    zel::TTextSize Render(const zel::TGlyphRequest&, uint8_t*, int32_t, int32_t) override { return {}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    NoRaster raster;
    TFontTable fonts(raster);
    TMemoryStream h(bytes), v(bytes);
    fonts.LoadBitmapFont(1, "fuzz", &h, &v);
    if (!fonts.SlotIsBitmapFont(1)) return 0;
    TARGB8888 img;
    img.NewImage(48, 40, 0xFF102030u);
    const std::string text = std::string("A \x82\xA0\x81\x40\xE0\x40\x9F\xFC\xFF") + "\x82";
    for (bool vertical : {false, true})
        for (int cell : {1, 8, 16, 33}) {
            fonts.DrawText(img, -5, -3, text, cell, cell, 0xFFFFFFFF, 1, vertical);
            fonts.DrawText(img, 30, 20, text, cell, cell + 3, 0x80FF00FFu, 1, vertical);
        }
    return 0;
}
