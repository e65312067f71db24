// The stored model of an ABMP animation: motions made of layers, each layer
// 32 keyframes, plus the embedded pictures and sounds as their file bytes.
// The reader (AnimationBmpReader.h) fills it, the writer
// (AnimationBmpWriter.h) stores it, and the player (AnimationBmpLib.h)
// decodes the pictures and sounds and plays the motions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// Cell kinds of a key, as the player numbers them.
enum TABMPKind : uint8_t {
    akNothing = 0,
    akRectangle = 1,
    akImage = 2,
    akStretch = 3,
    akRotate = 4,
    akRedrawMarker = 5,
    akHitArea = 6,
};

// One keyframe; the fields in the order of the 57-byte record.
struct TABMPKey {
    static constexpr size_t kRecordSize = 57;

    int32_t time = 0;  // ms from the start of the motion
    uint8_t kind = akNothing;
    uint8_t blend = 0;
    uint8_t image = 0;
    uint8_t image2 = 0;
    std::array<int16_t, 4> src{};  // left, top, right, bottom; all 0 = the whole picture
    int32_t frame = 0;
    int32_t param = 0;
    std::array<int16_t, 4> dst{};  // x, y, right, bottom; kind 4: x, y, scale % x, scale % y
    int16_t layer = 0;             // drawing layer; hit areas: the hit number
    int16_t angle = 0;             // degrees
    uint32_t addColour = 0;        // 0x00RRGGBB
    uint32_t baseColour = 0xFFFFFF;
    uint8_t opacity = 255;
    uint8_t srcInterp = 0;
    std::array<uint8_t, 2> spare46{};  // kept for re-saving, not used by the player
    uint8_t dstInterp = 0;
    std::array<uint8_t, 2> spare49{};
    uint8_t colourInterp = 0;
    uint8_t action = 0;
    std::array<uint8_t, 4> args{};

    bool operator==(const TABMPKey&) const = default;

    // Key i of a reset layer: at i x 1000 ms, drawing nothing.
    static TABMPKey Reset(int index) {
        TABMPKey k;
        k.time = index * 1000;
        return k;
    }
    void Read(const uint8_t* p);
    void Write(uint8_t* p) const;
};

struct TABMPLayer {
    static constexpr int kKeys = 32;
    std::string name = "NoName";
    uint8_t groupMode = 0;  // 0 plain, 1 push, 2 pop
    std::array<TABMPKey, kKeys> keys;

    TABMPLayer() { Reset(); }
    void Reset() {
        for (int i = 0; i < kKeys; ++i) keys[i] = TABMPKey::Reset(i);
    }
};

struct TABMPMotion {
    // A fresh or reset motion holds two reset layers: layer 0 to carry a
    // group and layer 1 for the cell of a rectangle motion.
    static constexpr int kResetLayers = 2;
    std::string name = "NoName";
    std::vector<TABMPLayer> layers;

    void Reset() {
        name = "NoName";
        layers.assign(kResetLayers, TABMPLayer());
    }
};

// Picture formats of an image entry.
enum TABMPImageFormat : uint8_t {
    afBmp = 0,
    afJpeg = 1,
    afPng = 2,
    afPngAlt = 3,
    afMotionMovie = 4,
    afArgb = 5,
};

struct TABMPResource {
    std::string name;
    uint8_t format = 0;
    std::vector<uint8_t> bytes;
};

struct TABMPFile {
    int version = 11;  // 7, 10 or 11
    std::string dataName = "Data";
    int32_t width = 0;
    int32_t height = 0;
    int32_t totalTime = 0;  // version 11 only
    std::string memo;       // version 11 only; lines separated by CR LF
    std::vector<TABMPMotion> motions;
    std::vector<TABMPResource> images;  // formats: TABMPImageFormat
    std::vector<TABMPResource> sounds;  // formats: 0 WAV, 1 Ogg Vorbis
};

// The file extension the cache key of a picture or sound gets; "" when the
// format decodes to nothing.
const char* ImageFormatExtension(uint8_t format);
const char* SoundFormatExtension(uint8_t format);

}  // namespace zel
