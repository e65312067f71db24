#include "anim/AnimationBmpText.h"

#include <charconv>
#include <cstdio>
#include <sstream>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"

namespace zel {
namespace {

const char* const kKindNames[] = {"none", "rect", "image", "stretch", "rotate", "marker", "hit"};

class EDescription : public EZelError {
public:
    using EZelError::EZelError;
};

// Splits a line into words; "..." quotes a word (\" and \\ inside).
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                w += line[i++];
            }
            if (i >= line.size()) throw EDescription("a quoted text does not end");
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w += line[i++];
        }
        out.push_back(std::move(w));
    }
    return out;
}

int64_t Int(std::string_view t, int64_t lo, int64_t hi, int base = 10) {
    int64_t v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v, base);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size())
        throw EDescription("\"" + std::string(t) + "\" is not a number");
    if (v < lo || v > hi)
        throw EDescription(std::to_string(v) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    return v;
}

template <typename T, size_t N>
void Ints(const std::string& t, std::array<T, N>& out, int64_t lo, int64_t hi) {
    size_t start = 0;
    for (size_t i = 0; i < N; ++i) {
        const size_t comma = t.find(',', start);
        if ((comma == std::string::npos) != (i == N - 1)) throw EDescription("\"" + t + "\" needs " + std::to_string(N) + " numbers");
        out[i] = static_cast<T>(Int(std::string_view(t).substr(start, comma - start), lo, hi));
        start = comma + 1;
    }
}

std::string Sjis(const std::string& utf8) {
    std::string out;
    if (!Utf8ToSjis(utf8, out)) throw EDescription("\"" + utf8 + "\" has a character Shift-JIS cannot hold");
    return out;
}

std::string Ext(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? "" : AsciiLower(std::string_view(path).substr(dot));
}

void SetKeyField(TABMPKey& k, const std::string& name, const std::string& v) {
    if (name == "time") k.time = static_cast<int32_t>(Int(v, INT32_MIN, INT32_MAX));
    else if (name == "kind") {
        for (uint8_t i = 0; i < 7; ++i)
            if (v == kKindNames[i]) return void(k.kind = i);
        k.kind = static_cast<uint8_t>(Int(v, 0, 255));
    } else if (name == "blend") k.blend = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "image") k.image = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "image2") k.image2 = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "src") Ints(v, k.src, -32768, 32767);
    else if (name == "frame") k.frame = static_cast<int32_t>(Int(v, INT32_MIN, INT32_MAX));
    else if (name == "param") k.param = static_cast<int32_t>(Int(v, INT32_MIN, INT32_MAX));
    else if (name == "dst") Ints(v, k.dst, -32768, 32767);
    else if (name == "layer") k.layer = static_cast<int16_t>(Int(v, -32768, 32767));
    else if (name == "angle") k.angle = static_cast<int16_t>(Int(v, -32768, 32767));
    else if (name == "add") k.addColour = static_cast<uint32_t>(Int(v, 0, 0xFFFFFFFF, 16));
    else if (name == "base") k.baseColour = static_cast<uint32_t>(Int(v, 0, 0xFFFFFFFF, 16));
    else if (name == "opacity") k.opacity = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "isrc") k.srcInterp = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "idst") k.dstInterp = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "icolour") k.colourInterp = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "action") k.action = static_cast<uint8_t>(Int(v, 0, 255));
    else if (name == "args") Ints(v, k.args, 0, 255);
    else if (name == "spare") {
        std::array<uint8_t, 4> s{};
        Ints(v, s, 0, 255);
        k.spare46 = {s[0], s[1]};
        k.spare49 = {s[2], s[3]};
    } else throw EDescription("a key has no field \"" + name + "\"");
}

void ParseLine(const std::vector<std::string>& w, const TDescriptionFileReader& readFile, TABMPFile& f) {
    const std::string& cmd = w[0];
    auto need = [&](size_t n) {
        if (w.size() < n) throw EDescription("\"" + cmd + "\" needs " + std::to_string(n - 1) + " values");
    };
    auto layer = [&]() -> TABMPLayer& {
        if (f.motions.empty() || f.motions.back().layers.empty()) throw EDescription("a key before any layer");
        return f.motions.back().layers.back();
    };
    if (cmd == "name") {
        need(2);
        f.dataName = Sjis(w[1]);
    } else if (cmd == "canvas") {
        need(3);
        f.width = static_cast<int32_t>(Int(w[1], INT32_MIN, INT32_MAX));
        f.height = static_cast<int32_t>(Int(w[2], INT32_MIN, INT32_MAX));
    } else if (cmd == "total") {
        need(2);
        f.totalTime = static_cast<int32_t>(Int(w[1], INT32_MIN, INT32_MAX));
    } else if (cmd == "memo") {
        need(2);
        if (!f.memo.empty()) f.memo += "\r\n";
        f.memo += Sjis(w[1]);
    } else if (cmd == "image" || cmd == "sound") {
        need(3);
        const bool sound = cmd == "sound";
        TABMPResource r;
        r.name = Sjis(w[1]);
        const std::string ext = Ext(w[2]);
        int format = sound ? (ext == ".wav" ? 0 : ext == ".ogg" ? 1 : -1)
                           : (ext == ".bmp" ? 0 : ext == ".jpg" || ext == ".jpeg" ? 1 : ext == ".png" ? 2
                              : ext == ".m" ? 4 : ext == ".argb" ? 5 : -1);
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i].rfind("format=", 0) != 0) throw EDescription("unknown option \"" + w[i] + "\"");
            format = static_cast<int>(Int(std::string_view(w[i]).substr(7), 0, 255));
        }
        if (format < 0) throw EDescription("\"" + w[2] + "\": say its format=N");
        r.format = static_cast<uint8_t>(format);
        std::string why;
        if (!readFile(w[2], r.bytes, why)) throw EDescription(w[2] + ": " + why);
        if (!sound && *ImageFormatExtension(r.format) && r.format != afMotionMovie) {
            TARGB8888 img;
            TMemoryStream s(r.bytes);
            bool ok = false;
            try {
                ok = LoadFromStream(img, &s, std::string("x") + ImageFormatExtension(r.format)) && !img.Empty();
            } catch (const EZelError&) {
            }
            if (!ok) throw EDescription(w[2] + ": the picture does not load");
        }
        (sound ? f.sounds : f.images).push_back(std::move(r));
        if (f.images.size() > 255 || f.sounds.size() > 255) throw EDescription("more than 255 pictures or sounds");
    } else if (cmd == "motion") {
        need(2);
        TABMPMotion m;
        m.name = Sjis(w[1]);
        f.motions.push_back(std::move(m));
        if (f.motions.size() > 255) throw EDescription("more than 255 motions");
    } else if (cmd == "layer") {
        need(2);
        if (f.motions.empty()) throw EDescription("a layer before any motion");
        TABMPLayer l;
        l.name = Sjis(w[1]);
        for (size_t i = 2; i < w.size(); ++i) {
            if (w[i].rfind("group=", 0) != 0) throw EDescription("unknown option \"" + w[i] + "\"");
            l.groupMode = static_cast<uint8_t>(Int(std::string_view(w[i]).substr(6), 0, 255));
        }
        f.motions.back().layers.push_back(std::move(l));
        if (f.motions.back().layers.size() > 255) throw EDescription("more than 255 layers in a motion");
    } else if (cmd == "key") {
        need(2);
        TABMPLayer& l = layer();
        TABMPKey& k = l.keys[static_cast<size_t>(Int(w[1], 0, 31))];
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t eq = w[i].find('=');
            if (eq == std::string::npos) throw EDescription("\"" + w[i] + "\" is not field=value");
            SetKeyField(k, w[i].substr(0, eq), w[i].substr(eq + 1));
        }
    } else {
        throw EDescription("unknown line \"" + cmd + "\"");
    }
}

std::string Quote(const std::string& sjis) {
    std::string out = "\"";
    for (char c : SjisToUtf8(sjis)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

template <typename T, size_t N>
std::string List(const std::array<T, N>& a) {
    std::string out;
    for (size_t i = 0; i < N; ++i) {
        if (i) out += ',';
        out += std::to_string(a[i]);
    }
    return out;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", v);
    return buf;
}

}  // namespace

bool ParseAnimationText(const std::string& text, const TDescriptionFileReader& readFile, TABMPFile& out,
                        std::string& err) {
    TABMPFile f;
    f.version = 11;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    try {
        while (std::getline(in, line)) {
            ++number;
            const auto w = Words(line);
            if (!w.empty()) ParseLine(w, readFile, f);
        }
        number = 0;
        for (const TABMPMotion& m : f.motions)
            for (const TABMPLayer& l : m.layers)
                for (int i = 1; i < TABMPLayer::kKeys; ++i)
                    if (l.keys[i].time < l.keys[i - 1].time)
                        throw EDescription("in motion " + Quote(m.name) + ", layer " + Quote(l.name) + ", key " +
                                           std::to_string(i) + " comes before key " + std::to_string(i - 1));
    } catch (const EZelError& e) {
        err = (number ? "line " + std::to_string(number) + ": " : "") + e.what();
        return false;
    }
    out = std::move(f);
    return true;
}

std::string DumpResourceName(const TABMPResource& r, size_t index, bool sound) {
    const char* ext = sound ? SoundFormatExtension(r.format) : ImageFormatExtension(r.format);
    return std::string(sound ? "sound" : "image") + std::to_string(index) + (*ext ? ext : ".bin");
}

std::string PrintAnimationText(const TABMPFile& f) {
    std::string o = "# ABMP animation (version " + std::to_string(f.version) + ")\n";
    o += "name " + Quote(f.dataName) + "\n";
    o += "canvas " + std::to_string(f.width) + " " + std::to_string(f.height) + "\n";
    if (f.totalTime) o += "total " + std::to_string(f.totalTime) + "\n";
    if (!f.memo.empty()) {
        size_t start = 0;
        while (true) {
            const size_t end = f.memo.find("\r\n", start);
            o += "memo " + Quote(f.memo.substr(start, end - start)) + "\n";
            if (end == std::string::npos) break;
            start = end + 2;
        }
    }
    for (int s = 0; s < 2; ++s) {
        const auto& list = s ? f.sounds : f.images;
        for (size_t i = 0; i < list.size(); ++i) {
            const TABMPResource& r = list[i];
            o += std::string(s ? "sound " : "image ") + Quote(r.name) + " " + DumpResourceName(r, i, s);
            const bool usual = s ? r.format <= 1 : (r.format <= 2 || r.format == 4 || r.format == 5);
            if (!usual) o += " format=" + std::to_string(r.format);
            o += "\n";
        }
    }
    for (const TABMPMotion& m : f.motions) {
        o += "\nmotion " + Quote(m.name) + "\n";
        for (const TABMPLayer& l : m.layers) {
            o += "layer " + Quote(l.name);
            if (l.groupMode) o += " group=" + std::to_string(l.groupMode);
            o += "\n";
            for (int i = 0; i < TABMPLayer::kKeys; ++i) {
                const TABMPKey& k = l.keys[i];
                const TABMPKey r = TABMPKey::Reset(i);
                if (k == r) continue;
                std::string line = "key " + std::to_string(i);
                auto field = [&](bool differs, const std::string& text) {
                    if (differs) line += " " + text;
                };
                field(k.time != r.time, "time=" + std::to_string(k.time));
                field(k.kind != r.kind, "kind=" + (k.kind < 7 ? std::string(kKindNames[k.kind]) : std::to_string(k.kind)));
                field(k.blend != r.blend, "blend=" + std::to_string(k.blend));
                field(k.image != r.image, "image=" + std::to_string(k.image));
                field(k.image2 != r.image2, "image2=" + std::to_string(k.image2));
                field(k.src != r.src, "src=" + List(k.src));
                field(k.frame != r.frame, "frame=" + std::to_string(k.frame));
                field(k.param != r.param, "param=" + std::to_string(k.param));
                field(k.dst != r.dst, "dst=" + List(k.dst));
                field(k.layer != r.layer, "layer=" + std::to_string(k.layer));
                field(k.angle != r.angle, "angle=" + std::to_string(k.angle));
                field(k.addColour != r.addColour, "add=" + Hex(k.addColour));
                field(k.baseColour != r.baseColour, "base=" + Hex(k.baseColour));
                field(k.opacity != r.opacity, "opacity=" + std::to_string(k.opacity));
                field(k.srcInterp != r.srcInterp, "isrc=" + std::to_string(k.srcInterp));
                field(k.dstInterp != r.dstInterp, "idst=" + std::to_string(k.dstInterp));
                field(k.colourInterp != r.colourInterp, "icolour=" + std::to_string(k.colourInterp));
                field(k.action != r.action, "action=" + std::to_string(k.action));
                field(k.args != r.args, "args=" + List(k.args));
                const std::array<uint8_t, 4> spare{k.spare46[0], k.spare46[1], k.spare49[0], k.spare49[1]};
                field(spare != std::array<uint8_t, 4>{}, "spare=" + List(spare));
                o += line + "\n";
            }
        }
    }
    return o;
}

}  // namespace zel
