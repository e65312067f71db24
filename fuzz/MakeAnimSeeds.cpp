// Writes the seeds of the animation target (zel_fuzz_make_anim_seeds
// fuzz/corpus): a version 11 and a version 10 file made by the writer with a
// picture, a sound and every key action, a version 7 file laid out by hand,
// and WAV files. The first byte of each seed chooses the reader.
#include <cstdio>

#include "SeedFiles.h"
#include "anim/AnimationBmpWriter.h"
#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "storage/PackLib.h"

using namespace zel;
using seeds::Put;
using seeds::U32;

namespace {

std::string Wav(int channels, uint32_t rate) {
    TMemoryStream s;
    s.WriteBytes("RIFF");
    s.WriteU32(44);
    s.WriteBytes("WAVEfmt ");
    s.WriteU32(16);
    s.WriteU16(1), s.WriteU16(static_cast<uint16_t>(channels)), s.WriteU32(rate);
    s.WriteU32(rate * channels * 2), s.WriteU16(static_cast<uint16_t>(channels * 2)), s.WriteU16(16);
    s.WriteBytes("fact");
    s.WriteU32(4);
    s.WriteU32(4);
    s.WriteBytes("data");
    s.WriteU32(16);
    for (int i = 0; i < 8; ++i) s.WriteI16(static_cast<int16_t>(i * 1000 - 4000));
    return s.ToString();
}

TABMPFile Model() {
    TARGB8888 pic;
    pic.NewImage(8, 8, 0xFF204080);
    TMemoryStream bmp;
    SaveBmp(pic, bmp);
    TABMPFile f;
    f.width = 64, f.height = 48, f.totalTime = 900, f.memo = "m";
    f.images.push_back({"pic", afBmp, bmp.TakeBytes()});
    const std::string wav = Wav(2, 44100);
    f.sounds.push_back({"snd", 0, std::vector<uint8_t>(wav.begin(), wav.end())});
    for (int m = 0; m < 2; ++m) {
        TABMPMotion mo;
        mo.name = m ? "b" : "a";
        for (int l = 0; l < 4; ++l) {
            TABMPLayer la;
            la.groupMode = static_cast<uint8_t>(l == 0 ? 1 : l == 3 ? 2 : 0);
            for (int k = 0; k < 32; ++k) {
                TABMPKey& key = la.keys[k];
                key.time = k * 100;
                key.kind = static_cast<uint8_t>(1 + (k + l) % 6);
                key.dst = {static_cast<int16_t>(k), 2, 30, 20};
                key.srcInterp = key.dstInterp = static_cast<uint8_t>(k % 8);
                key.colourInterp = 1;
                key.action = static_cast<uint8_t>(k % 14);
                key.args = {static_cast<uint8_t>(k % 3), 1, 1, 0};
            }
            mo.layers.push_back(la);
        }
        f.motions.push_back(mo);
    }
    return f;
}

std::string V7() {
    std::string data;
    std::string name(32, '\0');
    name[0] = 2, name[1] = 'm', name[2] = '7';
    data += name + U32(2);
    for (int l = 0; l < 2; ++l) {
        data += name;
        for (int k = 0; k < 32; ++k) {
            TMemoryStream key;
            key.WriteU32(static_cast<uint32_t>(k * 100));
            for (int j = 0; j < 8; ++j) key.WriteI16(static_cast<int16_t>(j * 4));
            key.WriteI16(1);
            key.WriteU32(0xFF112233);
            key.WriteU8(static_cast<uint8_t>(k % 21)), key.WriteU8(1), key.WriteU8(1), key.WriteU8(k & 1);
            key.WriteU8(k == 31 ? 1 : 0), key.WriteU8(0);
            data += key.ToString();
        }
    }
    const auto packed = PackBytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    TARGB8888 pic;
    pic.NewImage(4, 4, 0xFFFFFFFF);
    TMemoryStream bmp;
    SaveBmp(pic, bmp);
    return std::string("ABMP7\0\0\0", 8) + '\1' + '\0' + '\0' + '\0' + U32(uint32_t(packed.size())) +
           std::string(packed.begin(), packed.end()) + U32(uint32_t(bmp.Size())) + bmp.ToString();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zel_fuzz_make_anim_seeds CORPUS_FOLDER\n");
        return 2;
    }
    seeds::OutputFolder() = argv[1];
    for (int version : {11, 10}) {
        std::vector<uint8_t> out;
        WriteABMP(Model(), version, out);
        Put("anim_reader", "v" + std::to_string(version) + ".b", std::string(1, '\0') + std::string(out.begin(), out.end()));
    }
    Put("anim_reader", "v7.b", std::string(1, '\0') + V7());
    Put("anim_reader", "stereo44.wav", "\1" + Wav(2, 44100));
    Put("anim_reader", "mono22.wav", "\1" + Wav(1, 22050));
    return 0;
}
