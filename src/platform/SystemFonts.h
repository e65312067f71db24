// The installed outline fonts, through fontconfig. Face names are Shift-JIS
// as games write them; the project's fontconfig file maps the Windows
// Japanese face names to the IPA fonts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel {

struct TFontFamily {
    std::string name;  // Shift-JIS
    bool fixedPitch = false;
};

// Loads the project's face-name mapping (once; later calls do nothing).
// configFile empty: the file installed beside the sources.
void InitSystemFonts(const std::string& configFile = {});
// Families that can show Japanese text, without vertical-writing faces
// ("@" names) and the bitmap families "terminal", "system", "fixedsys" and "small fonts".
std::vector<TFontFamily> JapaneseFontFamilies();
// The font file that the face name resolves to, or nullopt.
std::optional<std::string> FontFileFor(const std::string& sjisFace);
// The font file for a face at a weight (0..1000 as in the settings, 400
// regular, 700 bold) that has the Unicode character cp, or nullopt; cp 0
// asks for the face alone. Japanese faces are preferred.
std::optional<std::string> FontFileFor(const std::string& sjisFace, int weight, uint32_t cp);

}  // namespace zel
