#include "platform/SystemFonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

#include "base/Sjis.h"

namespace zel {

namespace {

bool g_initDone = false;

bool Excluded(const std::string& utf8) {
    if (!utf8.empty() && utf8[0] == '@') return true;
    for (const char* bad : {"terminal", "system", "fixedsys", "small fonts"})
        if (EqualsNoCase(utf8, bad)) return true;
    return false;
}

}  // namespace

void InitSystemFonts(const std::string& configFile) {
    if (g_initDone) return;
    g_initDone = true;
    if (!FcInit()) return;
    std::string file = configFile;
#ifdef ZEL_DATA_DIR
    if (file.empty()) file = std::string(ZEL_DATA_DIR) + "/fontconfig/zel-fonts.conf";
#endif
    if (file.empty()) return;
    FcConfig* cfg = FcConfigGetCurrent();
    FcConfigParseAndLoad(cfg, reinterpret_cast<const FcChar8*>(file.c_str()), FcFalse);
}

std::vector<TFontFamily> JapaneseFontFamilies() {
    InitSystemFonts();
    std::vector<TFontFamily> out;
    FcPattern* pat = FcPatternCreate();
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddLangSet(pat, FC_LANG, langs);
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_SPACING, nullptr);
    FcFontSet* fs = FcFontList(nullptr, pat, os);
    if (fs) {
        for (int i = 0; i < fs->nfont; ++i) {
            FcChar8* fam = nullptr;
            if (FcPatternGetString(fs->fonts[i], FC_FAMILY, 0, &fam) != FcResultMatch || !fam) continue;
            const std::string utf8(reinterpret_cast<const char*>(fam));
            if (Excluded(utf8)) continue;
            int spacing = FC_PROPORTIONAL;
            FcPatternGetInteger(fs->fonts[i], FC_SPACING, 0, &spacing);
            std::string sjis;
            if (!Utf8ToSjis(utf8, sjis)) continue;
            const bool fixed = spacing == FC_MONO || spacing == FC_DUAL;
            if (std::none_of(out.begin(), out.end(), [&](const TFontFamily& f) { return f.name == sjis; }))
                out.push_back({sjis, fixed});
        }
        FcFontSetDestroy(fs);
    }
    FcObjectSetDestroy(os);
    FcLangSetDestroy(langs);
    FcPatternDestroy(pat);
    std::sort(out.begin(), out.end(), [](const TFontFamily& a, const TFontFamily& b) { return a.name < b.name; });
    return out;
}

std::optional<std::string> FontFileFor(const std::string& sjisFace) {
    InitSystemFonts();
    const std::string utf8 = SjisToUtf8(sjisFace);
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(""));
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.c_str()));
    FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    std::optional<std::string> out;
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            out = std::string(reinterpret_cast<const char*>(file));
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return out;
}

std::optional<std::string> FontFileFor(const std::string& sjisFace, int weight, uint32_t cp) {
    InitSystemFonts();
    const std::string utf8 = SjisToUtf8(sjisFace);
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.c_str()));
    FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddInteger(pat, FC_WEIGHT, FcWeightFromOpenType(std::clamp(weight, 1, 1000)));
    FcCharSet* want = nullptr;
    if (cp) {
        want = FcCharSetCreate();
        FcCharSetAddChar(want, cp);
        FcPatternAddCharSet(pat, FC_CHARSET, want);
    }
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    std::optional<std::string> out;
    FcResult res = FcResultNoMatch;
    // The best matches in order; with a character, the first that has it.
    FcFontSet* fs = FcFontSort(nullptr, pat, FcFalse, nullptr, &res);
    for (int i = 0; fs && i < fs->nfont && !out; ++i) {
        FcPattern* f = fs->fonts[i];
        if (cp) {
            FcCharSet* cs = nullptr;
            if (FcPatternGetCharSet(f, FC_CHARSET, 0, &cs) != FcResultMatch || !cs || !FcCharSetHasChar(cs, cp))
                continue;
        }
        FcChar8* file = nullptr;
        if (FcPatternGetString(f, FC_FILE, 0, &file) == FcResultMatch && file)
            out = std::string(reinterpret_cast<const char*>(file));
    }
    if (fs) FcFontSetDestroy(fs);
    if (want) FcCharSetDestroy(want);
    FcPatternDestroy(pat);
    return out;
}

}  // namespace zel
