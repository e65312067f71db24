// Helpers of the end-to-end tests: running a command, reading the headless
// runner's screenshots.
#pragma once

#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zel::e2e {

inline int Shell(const std::string& cmd) {
    const int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

inline uint32_t Be32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}

// An 8-bit RGB PNG (what the headless screenshots are) as 0xRRGGBB pixels.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

inline bool DecodeRgbPng(const std::string& png, Picture& out, std::string& why) {
    if (png.size() < 8 || png.compare(1, 3, "PNG") != 0) return why = "no PNG signature", false;
    std::string idat;
    int depth = 0, type = 0, interlace = 0;
    for (size_t at = 8; at + 8 <= png.size();) {
        const uint32_t len = Be32(png, at);
        const std::string kind = png.substr(at + 4, 4);
        if (at + 12 + len > png.size()) return why = "cut chunk", false;
        if (kind == "IHDR") {
            out.width = int(Be32(png, at + 8));
            out.height = int(Be32(png, at + 12));
            depth = uint8_t(png[at + 16]);
            type = uint8_t(png[at + 17]);
            interlace = uint8_t(png[at + 20]);
        } else if (kind == "IDAT") {
            idat += png.substr(at + 8, len);
        }
        at += 12 + len;
    }
    if (depth != 8 || type != 2 || interlace != 0) return why = "not 8-bit RGB", false;
    const size_t stride = size_t(out.width) * 3;
    std::vector<uint8_t> raw((stride + 1) * size_t(out.height));
    uLongf rawLen = raw.size();
    if (uncompress(raw.data(), &rawLen, reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
        rawLen != raw.size())
        return why = "bad image data", false;
    std::vector<uint8_t> prev(stride, 0), cur(stride);
    out.pixels.assign(size_t(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* line = raw.data() + size_t(y) * (stride + 1);
        const int filter = line[0];
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 3 ? cur[i - 3] : 0, b = prev[i], c = i >= 3 ? prev[i - 3] : 0;
            int pred = 0;
            switch (filter) {
                case 0: pred = 0; break;
                case 1: pred = a; break;
                case 2: pred = b; break;
                case 3: pred = (a + b) / 2; break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                    break;
                }
                default: return why = "bad filter", false;
            }
            cur[i] = uint8_t(line[1 + i] + pred);
        }
        for (int x = 0; x < out.width; ++x)
            out.pixels[size_t(y) * out.width + x] =
                uint32_t(cur[3 * x]) << 16 | uint32_t(cur[3 * x + 1]) << 8 | cur[3 * x + 2];
        prev.swap(cur);
    }
    return true;
}

inline bool Near(uint32_t a, uint32_t b, int tol) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)) > tol) return false;
    return true;
}

// The left channel of the 16-bit stereo WAV file that --audio-out writes.
inline std::vector<int16_t> WavLeftChannel(const std::string& wav) {
    std::vector<int16_t> left;
    for (size_t at = 12; at + 8 <= wav.size();) {
        uint32_t n = 0;
        std::memcpy(&n, wav.data() + at + 4, 4);
        if (wav.compare(at, 4, "data") == 0) {
            left.resize(std::min<size_t>(n, wav.size() - at - 8) / 4);
            for (size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], wav.data() + at + 8 + 4 * i, 2);
            break;
        }
        at += 8 + n;
    }
    return left;
}

}  // namespace zel::e2e
