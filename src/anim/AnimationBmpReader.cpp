#include "anim/AnimationBmpReader.h"

#include <cstring>
#include <span>

#include "base/MemStream.h"
#include "storage/PackLib.h"

namespace zel {
namespace {

int16_t I16At(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
uint32_t U32At(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
void PutI16(uint8_t* p, int16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

class EBadFile : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The text of a 16-byte tag up to its first NUL.
std::string ReadTag(TMemoryStream& s) {
    const std::string raw = s.ReadBytes(16);
    return raw.substr(0, raw.find('\0'));
}

void ExpectTag(TMemoryStream& s, std::initializer_list<const char*> tags, std::string* which = nullptr) {
    const std::string t = ReadTag(s);
    for (const char* want : tags) {
        if (t == want) {
            if (which) *which = t;
            return;
        }
    }
    throw EBadFile("expected the tag \"" + std::string(*tags.begin()) + "\", found \"" + t + "\"");
}

// A size field followed by that many bytes.
std::span<const uint8_t> ReadSized(TMemoryStream& s, const char* what) {
    const uint32_t n = s.ReadU32();
    if (n > s.Remaining()) throw EBadFile(std::string(what) + " runs past the end of the file");
    std::span<const uint8_t> out(s.Data() + s.Position(), n);
    s.Skip(n);
    return out;
}

std::vector<uint8_t> Unpack(std::span<const uint8_t> packed, const char* what) {
    std::vector<uint8_t> out;
    std::string why;
    if (!UnpackBytes(packed, out, &why)) throw EBadFile(std::string(what) + " does not unpack: " + why);
    return out;
}

void ReadKeys(TMemoryStream& s, TABMPLayer& layer, bool oldKinds) {
    s.RequireItems(TABMPLayer::kKeys, TABMPKey::kRecordSize);
    for (TABMPKey& k : layer.keys) {
        k.Read(s.Data() + s.Position());
        s.Skip(TABMPKey::kRecordSize);
        if (oldKinds && (k.kind == 4 || k.kind == 5)) k.kind = static_cast<uint8_t>(k.kind + 1);
    }
}

void ReadMotions(TMemoryStream& d, TABMPFile& f) {
    const uint8_t motions = d.ReadU8();
    for (int m = 0; m < motions; ++m) {
        TABMPMotion mo;
        ExpectTag(d, {"abmotion10"});
        mo.name = ReadLenString(d);
        const uint8_t layers = d.ReadU8();
        for (int l = 0; l < layers; ++l) {
            TABMPLayer la;
            std::string tag;
            ExpectTag(d, {"ablayer10", "ablayer11", "ablayer12"}, &tag);
            la.name = ReadLenString(d);
            d.ReadU8();  // key count: always 32
            la.groupMode = tag == "ablayer10" ? 0 : d.ReadU8();
            ReadKeys(d, la, tag != "ablayer12");
            mo.layers.push_back(std::move(la));
        }
        f.motions.push_back(std::move(mo));
    }
}

// The unpacked Data block, with or without the version 11 fields.
void ReadData(const std::vector<uint8_t>& bytes, bool v11Fields, TABMPFile& f) {
    TMemoryStream d(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    f.dataName = ReadLenString(d);
    f.width = d.ReadI32();
    f.height = d.ReadI32();
    f.totalTime = 0;
    f.memo.clear();
    if (v11Fields) {
        f.totalTime = d.ReadI32();
        f.memo = ReadLenString(d);
    }
    f.motions.clear();
    ReadMotions(d, f);
}

void ReadResources(TMemoryStream& s, const char* blockTag, const char* entryTag, std::vector<TABMPResource>& out) {
    ExpectTag(s, {blockTag});
    const uint8_t n = s.ReadU8();
    for (int i = 0; i < n; ++i) {
        TABMPResource r;
        ExpectTag(s, {entryTag});
        r.name = ReadLenString(s);
        r.format = s.ReadU8();
        const auto bytes = ReadSized(s, entryTag);
        r.bytes.assign(bytes.begin(), bytes.end());
        out.push_back(std::move(r));
    }
}

// A 32-byte name: a length byte and up to 31 bytes.
std::string ReadShortName(TMemoryStream& s) {
    const std::string raw = s.ReadBytes(32);
    const size_t n = std::min<size_t>(static_cast<uint8_t>(raw[0]), 31);
    return raw.substr(1, n);
}

bool IsColourType(uint8_t t) { return t == 5 || t == 6 || t == 8 || (t >= 14 && t <= 17); }

void ReadMotions7(const std::vector<uint8_t>& bytes, int motions, TABMPFile& f) {
    TMemoryStream d(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    for (int m = 0; m < motions; ++m) {
        TABMPMotion mo;
        mo.name = ReadShortName(d);
        const uint32_t layers = d.ReadU32();
        if (layers > 255) throw EBadFile("a motion of more than 255 layers");
        d.RequireItems(layers, 1056);
        for (uint32_t l = 0; l < layers; ++l) {
            TABMPLayer la;
            la.name = ReadShortName(d);
            la.groupMode = l == 0 ? 1 : 0;
            const uint8_t* raw = d.Data() + d.Position();
            d.Skip(32 * 32);
            for (int i = 0; i < 32; ++i) {
                const uint8_t* r = raw + 32 * i;
                const uint8_t* prev = raw + 32 * (i > 0 ? i - 1 : 0);
                TABMPKey& k = la.keys[i];
                k = TABMPKey();
                k.time = static_cast<int32_t>(U32At(r));
                for (int j = 0; j < 4; ++j) k.src[j] = I16At(r + 4 + 2 * j);
                for (int j = 0; j < 4; ++j) k.dst[j] = I16At(r + 12 + 2 * j);
                k.layer = I16At(r + 20);
                const uint32_t colour = U32At(r + 22);
                const uint8_t type = r[26];
                k.srcInterp = r[27];
                k.dstInterp = r[28];
                k.colourInterp = r[29];
                k.action = r[30];
                k.args[0] = r[31];
                k.opacity = static_cast<uint8_t>(colour >> 24);
                const TABMP7KindBlend kb = ABMP7KindBlend(type);
                k.kind = kb.kind;
                k.blend = kb.blend;
                // A colour fading from a key that routes no colour stays unrouted.
                const uint8_t route = (prev[29] != 0 && !IsColourType(prev[26])) ? prev[26] : type;
                k.addColour = route == 5 ? colour & 0xFFFFFF : 0;
                k.baseColour = IsColourType(route) && route != 5 ? colour & 0xFFFFFF : 0xFFFFFF;
            }
            mo.layers.push_back(std::move(la));
        }
        f.motions.push_back(std::move(mo));
    }
}

bool Fail(TMemoryStream& s, size_t start, std::string* err, const std::string& why) {
    s.Seek(start);
    if (err) *err = why;
    return false;
}

}  // namespace

void TABMPKey::Read(const uint8_t* p) {
    time = static_cast<int32_t>(U32At(p));
    kind = p[4];
    blend = p[5];
    image = p[6];
    image2 = p[7];
    for (int j = 0; j < 4; ++j) src[j] = I16At(p + 8 + 2 * j);
    frame = static_cast<int32_t>(U32At(p + 16));
    param = static_cast<int32_t>(U32At(p + 20));
    for (int j = 0; j < 4; ++j) dst[j] = I16At(p + 24 + 2 * j);
    layer = I16At(p + 32);
    angle = I16At(p + 34);
    addColour = U32At(p + 36);
    baseColour = U32At(p + 40);
    opacity = p[44];
    srcInterp = p[45];
    spare46 = {p[46], p[47]};
    dstInterp = p[48];
    spare49 = {p[49], p[50]};
    colourInterp = p[51];
    action = p[52];
    args = {p[53], p[54], p[55], p[56]};
}

void TABMPKey::Write(uint8_t* p) const {
    PutU32(p, static_cast<uint32_t>(time));
    p[4] = kind;
    p[5] = blend;
    p[6] = image;
    p[7] = image2;
    for (int j = 0; j < 4; ++j) PutI16(p + 8 + 2 * j, src[j]);
    PutU32(p + 16, static_cast<uint32_t>(frame));
    PutU32(p + 20, static_cast<uint32_t>(param));
    for (int j = 0; j < 4; ++j) PutI16(p + 24 + 2 * j, dst[j]);
    PutI16(p + 32, layer);
    PutI16(p + 34, angle);
    PutU32(p + 36, addColour);
    PutU32(p + 40, baseColour);
    p[44] = opacity;
    p[45] = srcInterp;
    p[46] = spare46[0], p[47] = spare46[1];
    p[48] = dstInterp;
    p[49] = spare49[0], p[50] = spare49[1];
    p[51] = colourInterp;
    p[52] = action;
    for (int j = 0; j < 4; ++j) p[53 + j] = args[j];
}

const char* ImageFormatExtension(uint8_t format) {
    switch (format) {
        case afBmp: return ".bmp";
        case afJpeg: return ".jpg";
        case afPng:
        case afPngAlt: return ".png";
        case afMotionMovie: return ".m";
        case afArgb: return ".argb";
        default: return "";
    }
}

const char* SoundFormatExtension(uint8_t format) { return format == 0 ? ".wav" : format == 1 ? ".ogg" : ""; }

TABMP7KindBlend ABMP7KindBlend(uint8_t type) {
    switch (type) {
        case 0: case 20: return {0, 0};
        case 2: return {2, 1};
        case 3: return {2, 2};
        case 4: return {2, 3};
        case 8: case 14: return {1, 0};
        case 15: return {1, 1};
        case 16: return {1, 2};
        case 17: return {1, 3};
        case 9: case 13: return {3, 0};
        case 10: return {3, 1};
        case 11: return {3, 2};
        case 12: return {3, 3};
        case 18: return {5, 0};
        case 19: return {6, 0};
        default: return {2, 0};
    }
}

bool ReadABMP10or11(TMemoryStream& s, TABMPFile& out, std::string* err) {
    const size_t start = s.Position();
    TABMPFile f;
    try {
        std::string fileTag, dataTag;
        ExpectTag(s, {"abmp11", "abmp10"}, &fileTag);
        f.version = fileTag == "abmp11" ? 11 : 10;
        ExpectTag(s, {"abdata11", "abdata10"}, &dataTag);
        const std::vector<uint8_t> data = Unpack(ReadSized(s, "the Data block"), "the Data block");
        const bool first = dataTag == "abdata11";
        try {
            ReadData(data, first, f);
        } catch (const EStreamError&) {
            if (first == (f.version == 11)) throw;
            ReadData(data, !first, f);
        }
        ReadResources(s, "abimage10", "abimgdat10", f.images);
        ReadResources(s, "absound10", "absnddat10", f.sounds);
    } catch (const EStreamError& e) {
        return Fail(s, start, err, e.what());
    }
    if (f.version == 10)
        for (TABMPMotion& m : f.motions)
            if (!m.layers.empty()) m.layers[0].groupMode = 1;
    out = std::move(f);
    return true;
}

bool ReadABMP7(TMemoryStream& s, TABMPFile& out, std::string* err) {
    const size_t start = s.Position();
    TABMPFile f;
    f.version = 7;
    try {
        const std::string magic = s.ReadBytes(8);
        if (magic.substr(0, magic.find('\0')) != "ABMP7") throw EBadFile("not an ABMP animation");
        const uint8_t motions = s.ReadU8();
        s.ReadU8();
        const uint8_t imageFormat = s.ReadU8();
        const uint8_t sounds = s.ReadU8();
        ReadMotions7(Unpack(ReadSized(s, "the motion data"), "the motion data"), motions, f);
        const auto picture = ReadSized(s, "the picture");
        if (!picture.empty()) {
            TABMPResource r;
            r.name = "NoName";
            r.format = imageFormat <= afPngAlt ? imageFormat : 0xFF;
            r.bytes.assign(picture.begin(), picture.end());
            f.images.push_back(std::move(r));
        }
        for (int i = 0; i < sounds; ++i) {
            TABMPResource r;
            r.name = ReadShortName(s);
            r.format = 1;
            const auto bytes = ReadSized(s, "a sound");
            r.bytes.assign(bytes.begin(), bytes.end());
            f.sounds.push_back(std::move(r));
        }
    } catch (const EStreamError& e) {
        return Fail(s, start, err, e.what());
    }
    out = std::move(f);
    return true;
}

bool ReadABMP(TMemoryStream& s, TABMPFile& out, std::string* err) {
    std::string e1, e7;
    if (ReadABMP10or11(s, out, &e1)) return true;
    if (ReadABMP7(s, out, &e7)) return true;
    if (err) *err = e1.find("expected the tag \"abmp11\"") == 0 ? e7 : e1;
    return false;
}

}  // namespace zel
