#include "anim/AnimationBmpWriter.h"

#include <cstring>

#include "base/MemStream.h"
#include "storage/PackLib.h"

namespace zel {
namespace {

void WriteTag(TMemoryStream& s, const char* tag) {
    char buf[16] = {};
    std::strncpy(buf, tag, 15);
    s.Write(buf, 16);
}

bool Fail(std::string* err, const std::string& why) {
    if (err) *err = why;
    return false;
}

bool TextFits(const std::string& t) { return t.size() <= 0xFFFF; }

void WriteResources(TMemoryStream& s, const char* blockTag, const char* entryTag,
                    const std::vector<TABMPResource>& list) {
    WriteTag(s, blockTag);
    s.WriteU8(static_cast<uint8_t>(list.size()));
    for (const TABMPResource& r : list) {
        WriteTag(s, entryTag);
        WriteLenString(s, r.name);
        s.WriteU8(r.format);
        s.WriteU32(static_cast<uint32_t>(r.bytes.size()));
        s.Write(r.bytes.data(), r.bytes.size());
    }
}

}  // namespace

bool WriteABMP(const TABMPFile& f, int version, std::vector<uint8_t>& out, std::string* err) {
    if (version != 10 && version != 11) return Fail(err, "only versions 10 and 11 are written");
    if (f.motions.size() > 255) return Fail(err, "more than 255 motions");
    if (f.images.size() > 255) return Fail(err, "more than 255 pictures");
    if (f.sounds.size() > 255) return Fail(err, "more than 255 sounds");
    if (!TextFits(f.dataName) || !TextFits(f.memo)) return Fail(err, "a name or the memo is over 65535 bytes");
    for (const TABMPMotion& m : f.motions) {
        if (m.layers.size() > 255) return Fail(err, "motion \"" + m.name + "\" has more than 255 layers");
        if (!TextFits(m.name)) return Fail(err, "a motion name is over 65535 bytes");
        for (const TABMPLayer& l : m.layers)
            if (!TextFits(l.name)) return Fail(err, "a layer name is over 65535 bytes");
    }
    for (const auto* list : {&f.images, &f.sounds})
        for (const TABMPResource& r : *list) {
            if (!TextFits(r.name)) return Fail(err, "a picture or sound name is over 65535 bytes");
            if (r.bytes.size() > 0xFFFFFFFFu) return Fail(err, "a picture or sound is over 4 GiB");
        }

    TMemoryStream d;
    WriteLenString(d, f.dataName);
    d.WriteI32(f.width);
    d.WriteI32(f.height);
    if (version == 11) {
        d.WriteI32(f.totalTime);
        WriteLenString(d, f.memo);
    }
    d.WriteU8(static_cast<uint8_t>(f.motions.size()));
    uint8_t key[TABMPKey::kRecordSize];
    for (const TABMPMotion& m : f.motions) {
        WriteTag(d, "abmotion10");
        WriteLenString(d, m.name);
        d.WriteU8(static_cast<uint8_t>(m.layers.size()));
        for (const TABMPLayer& l : m.layers) {
            WriteTag(d, "ablayer12");
            WriteLenString(d, l.name);
            d.WriteU8(TABMPLayer::kKeys);
            d.WriteU8(l.groupMode);
            for (const TABMPKey& k : l.keys) {
                k.Write(key);
                d.Write(key, sizeof key);
            }
        }
    }
    const std::vector<uint8_t> packed = PackBytes(d.Bytes());
    if (packed.size() > 0xFFFFFFFFu) return Fail(err, "the motion data is over 4 GiB");

    TMemoryStream s;
    WriteTag(s, version == 11 ? "abmp11" : "abmp10");
    WriteTag(s, version == 11 ? "abdata11" : "abdata10");
    s.WriteU32(static_cast<uint32_t>(packed.size()));
    s.Write(packed.data(), packed.size());
    WriteResources(s, "abimage10", "abimgdat10", f.images);
    WriteResources(s, "absound10", "absnddat10", f.sounds);
    out = s.TakeBytes();
    return true;
}

}  // namespace zel
