// Helpers of the animation tests: models built in code, pictures as BMP
// bytes, the cells an animation hands to the cell drawer, and a sound
// channel that records what it is asked to play.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "anim/AnimationBmpLib.h"
#include "anim/AnimationBmpWriter.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ImageFiles.h"

namespace zeltest {

using namespace zel;

inline std::vector<uint8_t> BmpBytes(int w, int h, uint32_t colour) {
    TARGB8888 img;
    img.NewImage(w, h, colour);
    TMemoryStream s;
    EXPECT_TRUE(SaveBmp(img, s));
    return s.TakeBytes();
}

// A file of one motion whose layers are given; picture 0 is a 16 x 8 BMP.
inline TABMPFile OneMotion(std::vector<TABMPLayer> layers) {
    TABMPFile f;
    f.dataName = "Data";
    f.width = 64;
    f.height = 48;
    TABMPMotion m;
    m.name = "main";
    m.layers = std::move(layers);
    f.motions.push_back(std::move(m));
    f.images.push_back({"pic", afBmp, BmpBytes(16, 8, 0xFF336699)});
    return f;
}

// A layer whose keys sit at the given times (later keys keep their spacing
// of 1000 ms after the last given one).
inline TABMPLayer LayerAt(std::initializer_list<int32_t> times, uint8_t kind = akNothing) {
    TABMPLayer l;
    l.name = "layer";
    int i = 0;
    int32_t last = 0;
    for (int32_t t : times) l.keys[i++].time = last = t;
    for (; i < TABMPLayer::kKeys; ++i) l.keys[i].time = last += 1000;
    for (auto& k : l.keys) k.kind = kind;
    return l;
}

inline std::vector<uint8_t> Written(const TABMPFile& f, int version = 11) {
    std::vector<uint8_t> out;
    std::string err;
    EXPECT_TRUE(WriteABMP(f, version, out, &err)) << err;
    return out;
}

inline TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) { return TMemoryStream(bytes); }

inline bool Load(TAnimationBmp& a, const TABMPFile& f, const std::string& name = "test.b") {
    TMemoryStream s(Written(f));
    const bool ok = a.LoadFromStream(s, name);
    EXPECT_TRUE(ok) << a.LastError();
    return ok;
}

// Every cell the drawer kept in the last frame, once each, in drawing order.
inline std::vector<TDrawCell> RenderedCells(TARGB8888CellDraw& d) {
    d.Render(0xFF000000u, false, 0xFFFF);
    std::map<uint32_t, TDrawCell> byOrder;
    for (int b = 0; b < d.BandCount(); ++b)
        for (const TDrawCell& c : d.BandCells(b))
            if (static_cast<int32_t>(c.sortKey) >= 0) byOrder[c.SortOrder()] = c;  // not the background
    std::vector<TDrawCell> out;
    for (auto& [k, c] : byOrder) out.push_back(c);
    return out;
}

class TRecordingSound : public IAnimationSound {
public:
    struct TPlay {
        std::string name;
        size_t bytes;
        int32_t volume;
        bool loop;
    };
    std::vector<TPlay> plays;
    int stops = 0;
    int32_t level = 0;
    void PlayEffect(const std::string& name, const std::vector<uint8_t>& pcm, int32_t volume, bool loop) override {
        plays.push_back({name, pcm.size(), volume, loop});
    }
    void StopEffect() override { ++stops; }
    int32_t VoiceLevel() override { return level; }
};

}  // namespace zeltest
