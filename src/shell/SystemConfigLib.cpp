#include "shell/SystemConfigLib.h"

#include <algorithm>
#include <cstdio>

#include "base/AtomicFile.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "graphics/FontSlots.h"
#include "platform/SystemFonts.h"
#include "storage/GameFiles.h"

namespace zel {

TSystemData& ActiveSettings() {
    static TSystemData rec;
    return rec;
}

TSystemData& DefaultSettings() {
    static TSystemData rec;
    return rec;
}

TMessageTable& Messages() {
    static TMessageTable table;
    return table;
}

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Name part of a "name=value" line, or nullopt when the line is no entry.
std::optional<std::string_view> LineKey(std::string_view line) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

std::string Indexed(const char* fmt, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, i);
    return buf;
}

}  // namespace

std::optional<int64_t> ParseSettingInt(std::string_view v) {
    v = Trim(v);
    if (v.empty()) return std::nullopt;
    bool neg = false;
    if (v.front() == '-' || v.front() == '+') {
        neg = v.front() == '-';
        v.remove_prefix(1);
    }
    uint64_t acc = 0;
    int base = 10;
    if (!v.empty() && v.front() == '$') {
        base = 16;
        v.remove_prefix(1);
    } else if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    if (v.empty()) return std::nullopt;
    for (char c : v) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        if (acc > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return std::nullopt;
        acc = acc * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    if (base == 10 && acc > static_cast<uint64_t>(INT64_MAX) + (neg ? 1u : 0u)) return std::nullopt;
    const int64_t val = static_cast<int64_t>(acc);
    return neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(val)) : val;
}

TSettingsText::TSettingsText(std::string_view text) : lines_(SplitLines(text)) {}

int TSettingsText::Find(std::string_view key) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto k = LineKey(lines_[i]);
        if (k && EqualsNoCase(*k, key)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> TSettingsText::Value(std::string_view key) const {
    const int i = Find(key);
    if (i < 0) return std::nullopt;
    const std::string& line = lines_[static_cast<size_t>(i)];
    return std::string(line.substr(line.find('=') + 1));
}

std::optional<int64_t> TSettingsText::Int(std::string_view key) const {
    const auto v = Value(key);
    return v ? ParseSettingInt(*v) : std::nullopt;
}

std::optional<bool> TSettingsText::Bool(std::string_view key) const {
    const auto v = Value(key);
    if (!v) return std::nullopt;
    const std::string_view t = Trim(*v);
    if (EqualsNoCase(t, "TRUE")) return true;
    if (EqualsNoCase(t, "FALSE")) return false;
    return std::nullopt;
}

void TSettingsText::Set(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    const int i = Find(key);
    if (i >= 0) lines_[static_cast<size_t>(i)] = std::move(line);
    else lines_.push_back(std::move(line));
}

void TSettingsText::Remove(std::string_view key) {
    for (size_t i = lines_.size(); i-- > 0;) {
        const auto k = LineKey(lines_[i]);
        if (k && EqualsNoCase(*k, key)) lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(i));
    }
}

std::string TSettingsText::Text() const {
    std::string out;
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

namespace {

void ReadInt(const TSettingsText& t, std::string_view key, int32_t& field, int32_t def) {
    const auto v = t.Int(key);
    field = v ? static_cast<int32_t>(*v) : def;
}

void ReadBool(const TSettingsText& t, std::string_view key, bool& field, bool def) {
    field = t.Bool(key).value_or(def);
}

std::string ReadStr(const TSettingsText& t, std::string_view key) { return t.Value(key).value_or(std::string()); }

}  // namespace

void LoadSystemSettings(TSystemData& r, std::string_view text) {
    const TSettingsText t(text);
    ReadInt(t, "ScreenWidth", r.ScreenWidth, 800);
    ReadInt(t, "ScreenHeight", r.ScreenHeight, 600);
    // A screen size of 0 or below cannot be shown: fall back to the default.
    if (r.ScreenWidth <= 0 || r.ScreenWidth > 16384) r.ScreenWidth = 800;
    if (r.ScreenHeight <= 0 || r.ScreenHeight > 16384) r.ScreenHeight = 600;
    r.GameTitle = ReadStr(t, "GameTitle");
    r.FormCaption = ReadStr(t, "FormCaption");
    {
        const auto v = t.Int("CodeKey");
        r.CodeKey = static_cast<int32_t>((v ? *v : 46203) & 0xFFFFFF);
    }
    ReadInt(t, "MinimizeSystemStop", r.MinimizeSystemStop, 0);
    r.FormCloseEventLabel = ReadStr(t, "FormCloseEventLabel");
    ReadInt(t, "ThumWidth", r.ThumWidth, 128);
    ReadInt(t, "ThumHeight", r.ThumHeight, 96);
    for (int i = 0; i < 16; ++i) {
        // "path,name" with blanks dropped and "//" ending the text.
        const std::string v = ReadStr(t, Indexed("DLLObject[%d]", i));
        std::string fields[2];
        int f = 0;
        for (size_t k = 0; k < v.size(); k = NextCharPos(v, k)) {
            const size_t n = CharLen(v, k);
            const char c = v[k];
            if (n == 1 && (c == ' ' || c == '\t')) continue;
            if (n == 1 && c == '/' && k + 1 < v.size() && v[k + 1] == '/') break;
            if (n == 1 && c == ',') {
                if (++f > 1) break;
                continue;
            }
            fields[f].append(v, k, n);
        }
        r.DLLObjectPath[static_cast<size_t>(i)] = fields[0];
        r.DLLObjectName[static_cast<size_t>(i)] = fields[1];
    }
    ReadInt(t, "QuickSaveCount", r.QuickSaveCount, 8);
    ReadBool(t, "ConfigStartupSkip", r.ConfigStartupSkip, false);
    ReadBool(t, "ConfigSoundTab", r.ConfigSoundTab, true);
    ReadBool(t, "ConfigGamePadTab", r.ConfigGamePadTab, true);
    ReadBool(t, "ConfigSpecTab", r.ConfigSpecTab, true);
    ReadBool(t, "ConfigOptionTab", r.ConfigOptionTab, true);
    ReadBool(t, "ConfigMovie", r.ConfigMovie, true);
    ReadBool(t, "ConfigCRC", r.ConfigCRC, true);
    ReadBool(t, "ConfigSurfaceMemory", r.ConfigSurfaceMemory, true);
    ReadBool(t, "ConfigForceWindowMode", r.ConfigForceWindowMode, false);
    ReadInt(t, "MulBGMVolume", r.MulBGMVolume, 256);
    ReadInt(t, "MulVOICEVolume", r.MulVOICEVolume, 256);
    ReadInt(t, "MulSEVolume", r.MulSEVolume, 256);
}

void LoadUserSettings(TSystemData& r, std::string_view text) {
    const TSettingsText t(text);
    ReadInt(t, "FullScreen", r.FullScreen, 0);
    ReadInt(t, "ColorMode", r.ColorMode, 1);
    ReadInt(t, "FPSLimit", r.FPSLimit, 40);
    ReadInt(t, "Interlace", r.Interlace, 0);
    ReadInt(t, "StreamLength", r.StreamLength, 131072);
    ReadInt(t, "CacheSize", r.CacheSize, 0);
    ReadInt(t, "UseGamePad", r.UseGamePad, 0);
    ReadInt(t, "MovieDecoder", r.MovieDecoder, 1);
    ReadInt(t, "CRCCheck", r.CRCCheck, 1);
    ReadInt(t, "SurfaceMemory", r.SurfaceMemory, 0);
    ReadInt(t, "TaskTrayMode", r.TaskTrayMode, 0);
    ReadInt(t, "ForceDirectSoundMode", r.ForceDirectSoundMode, 0);
    for (int i = 0; i < 8; ++i) {
        auto& f = r.Font[static_cast<size_t>(i)];
        ReadInt(t, Indexed("Font[%d].AA", i), f.AA, 1);
        ReadInt(t, Indexed("Font[%d].Style", i), f.Style, 0);
        ReadInt(t, Indexed("Font[%d].StyleColor", i), f.StyleColor, 0);
        f.Name = ReadStr(t, Indexed("Font[%d].Name", i));
        if (EqualsNoCase(f.Name, "none")) f.Name.clear();
    }
    ReadInt(t, "BGMVolume", r.BGMVolume, 255);
    ReadInt(t, "VOICEVolume", r.VOICEVolume, 255);
    ReadInt(t, "SEVolume", r.SEVolume, 255);
    ReadInt(t, "BGMMute", r.BGMMute, 0);
    ReadInt(t, "VOICEMute", r.VOICEMute, 0);
    ReadInt(t, "SEMute", r.SEMute, 0);
    ReadInt(t, "MessageSpeed", r.MessageSpeed, 20);
    ReadInt(t, "MessageAlpha", r.MessageAlpha, 255);
    ReadInt(t, "AutoPlayWaitTime", r.AutoPlayWaitTime, 100);
    ReadInt(t, "AutoPlayClickTime", r.AutoPlayClickTime, 3000);
    for (int i = 0; i < 32; ++i) {
        ReadInt(t, Indexed("ActorVolume[%d]", i), r.ActorVolume[static_cast<size_t>(i)], 255);
        ReadInt(t, Indexed("ActorMute[%d]", i), r.ActorMute[static_cast<size_t>(i)], 0);
    }
}

void LoadUserSettingsFile(TSystemData& rec, const std::string& hostPath) {
    std::string text;
    if (ReadWholeFile(hostPath, text)) LoadUserSettings(rec, text);
}

bool SaveUserSettingsFile(const TSystemData& r, const std::string& hostPath) {
    std::string old;
    const bool had = ReadWholeFile(hostPath, old);
    TSettingsText t(had ? old : std::string());
    auto setInt = [&](std::string_view key, int64_t v) { t.Set(key, std::to_string(v)); };
    setInt("FullScreen", r.FullScreen);
    setInt("SurfaceMemory", r.SurfaceMemory);
    setInt("ColorMode", r.ColorMode);
    setInt("UseGamePad", r.UseGamePad);
    setInt("FPSLimit", r.FPSLimit);
    setInt("StreamLength", r.StreamLength);
    setInt("Interlace", r.Interlace);
    setInt("CacheSize", r.CacheSize);
    setInt("MovieDecoder", r.MovieDecoder);
    setInt("CRCCheck", r.CRCCheck);
    setInt("TaskTrayMode", r.TaskTrayMode);
    setInt("ForceDirectSoundMode", r.ForceDirectSoundMode);
    for (int i = 0; i < 8; ++i) {
        const auto& f = r.Font[static_cast<size_t>(i)];
        t.Set(Indexed("Font[%d].Name", i), f.Name.empty() ? std::string("none") : f.Name);
        setInt(Indexed("Font[%d].Style", i), f.Style);
        setInt(Indexed("Font[%d].AA", i), f.AA);
        char buf[16];
        std::snprintf(buf, sizeof buf, "$%06X", static_cast<unsigned>(f.StyleColor) & 0xFFFFFFu);
        t.Set(Indexed("Font[%d].StyleColor", i), buf);
    }
    setInt("BGMVolume", r.BGMVolume);
    setInt("VOICEVolume", r.VOICEVolume);
    setInt("SEVolume", r.SEVolume);
    setInt("BGMMute", r.BGMMute);
    setInt("VOICEMute", r.VOICEMute);
    setInt("SEMute", r.SEMute);
    setInt("MessageSpeed", r.MessageSpeed);
    setInt("MessageAlpha", r.MessageAlpha);
    setInt("AutoPlayWaitTime", r.AutoPlayWaitTime);
    setInt("AutoPlayClickTime", r.AutoPlayClickTime);
    for (int i = 0; i < 32; ++i) {
        const std::string vk = Indexed("ActorVolume[%d]", i), mk = Indexed("ActorMute[%d]", i);
        if (r.ActorVolume[static_cast<size_t>(i)] == 255) t.Remove(vk);
        else setInt(vk, r.ActorVolume[static_cast<size_t>(i)]);
        if (r.ActorMute[static_cast<size_t>(i)] == 0) t.Remove(mk);
        else setInt(mk, r.ActorMute[static_cast<size_t>(i)]);
    }
    const std::string text = t.Text();
    // A file that already holds these settings is left alone (start-up and
    // shutdown save them every run; each write costs a flush to the disk).
    if (had && text == old) return true;
    if (had) AtomicWriteFile(hostPath + ".bak", old);  // errors ignored: the main file is what matters
    return AtomicWriteFile(hostPath, text);
}

void LoadActorTable(TSystemData& r, std::string_view text) {
    const TSettingsText t(text);
    for (int i = 0; i < 32; ++i)
        r.ActorList[static_cast<size_t>(i)] = SplitFields(",", ReadStr(t, Indexed("act[%d]", i)), true, 0, true);
}

void LoadFontTable(TSystemData& r, std::string_view text, const std::vector<TFontFamily>& installed) {
    const TSettingsText t(text);
    for (int i = 0; i < 8; ++i) {
        auto& names = r.FontNames[static_cast<size_t>(i)];
        auto& kinds = r.FontKinds[static_cast<size_t>(i)];
        names.clear();
        kinds.clear();
        for (int j = 0; j < 32; ++j) {
            char key[48];
            std::snprintf(key, sizeof key, "font[%d].list[%d]", i, j);
            std::string v = ReadStr(t, key);
            // The file-name part: the text after the last backslash.
            size_t cut = 0;
            for (size_t k = 0; k < v.size(); k = NextCharPos(v, k))
                if (CharLen(v, k) == 1 && v[k] == '\\') cut = k + 1;
            v = v.substr(cut);
            const bool all = EqualsNoCase(v, "system"), fix = EqualsNoCase(v, "system_fix"),
                       pro = EqualsNoCase(v, "system_pro");
            if (all || fix || pro) {
                for (const TFontFamily& f : installed)
                    if (all || (fix && f.fixedPitch) || (pro && !f.fixedPitch)) {
                        names.push_back(f.name);
                        kinds.emplace_back("0");
                    }
            } else if (!v.empty()) {
                names.push_back(v);
                kinds.emplace_back("1");
            }
        }
    }
}

void ApplyFontSettings(TSystemData& r, IFontSlots& slots, IGameFiles& files) {
    const std::string defaultFace = Sj("ＭＳ ゴシック");
    for (int i = 0; i < 8; ++i) {
        auto& slot = r.Font[static_cast<size_t>(i)];
        const auto& names = r.FontNames[static_cast<size_t>(i)];
        const auto& kinds = r.FontKinds[static_cast<size_t>(i)];
        std::string name(Trim(slot.Name));
        slot.Name = name;
        if (names.empty()) {
            name = defaultFace;
        } else if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return EqualsNoCase(n, name); })) {
            name = (!kinds.empty() && kinds[0] == "1") ? names[0] : defaultFace;
        }
        if (!EqualsNoCase(name, slots.SlotFontName(i))) {
            auto h = files.OpenGameFile("system\\font\\" + name + ".of");
            auto v = files.OpenGameFile("system\\font\\@" + name + ".of");
            if (h || v) {
                slots.LoadBitmapFont(i, name, h.get(), v.get());
                continue;
            }
        } else if (slots.SlotIsBitmapFont(i)) {
            continue;
        }
        const int aa = slot.AA == 0 ? 1 : slot.AA == 1 ? 2 : slot.AA == 2 ? 4 : 2;
        const int32_t weight = (slot.Style & 1) ? 3 : 0;
        const uint32_t styleRgb = static_cast<uint32_t>(slot.StyleColor) & 0xFFFFFFu;
        TFontDecoration d;
        d.layers[15] = {0xFFFFFFFFu, 0, 0, 0, weight};
        if (slot.Style & 2) d.layers[0] = {styleRgb | 0x66000000u, 2, 2, 1, weight};
        const uint32_t outline = styleRgb | 0xFF000000u;
        if (slot.Style & 4) {
            const int off[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
            for (int k = 0; k < 4; ++k) d.layers[static_cast<size_t>(2 + k)] = {outline, off[k][0], off[k][1], 1, weight};
        }
        if (slot.Style & 8) {
            const int off[4][2] = {{-2, 0}, {2, 0}, {0, 2}, {0, -2}};
            const int diag[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
            for (int k = 0; k < 4; ++k) {
                d.layers[static_cast<size_t>(2 + k)] = {outline, off[k][0], off[k][1], 1, weight};
                d.layers[static_cast<size_t>(6 + k)] = {outline, diag[k][0], diag[k][1], 1, weight};
            }
        }
        slots.SetSystemFont(i, name, 0, false, aa, d);
    }
}

void TMessageTable::Load(std::string_view text) {
    lines_.clear();
    for (const auto& line : SplitLines(text)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        lines_.emplace_back(std::string(Trim(std::string_view(line).substr(0, eq))), line.substr(eq + 1));
    }
}

std::string TMessageTable::Text(std::string_view key) const {
    for (const auto& [k, v] : lines_)
        if (EqualsNoCase(k, key)) return v;
    return {};
}

}  // namespace zel
