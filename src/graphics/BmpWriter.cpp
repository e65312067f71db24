#include "graphics/BmpWriter.h"

#include <cstring>
#include <new>
#include <vector>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool WriteBmp32(const TARGB8888& img, TMemoryStream& out) {
    if (img.Empty()) return false;
    const uint64_t w = uint64_t(img.Width()), h = uint64_t(img.Height());
    const uint64_t pixelBytes = w * h * 4;
    const uint64_t total = 54 + pixelBytes;
    if (total > 0xFFFFFFFFu) return false;
    try {
        std::vector<uint8_t> bytes(static_cast<size_t>(total));
        uint8_t* p = bytes.data();
        p[0] = 'B';
        p[1] = 'M';
        Put32(p + 2, static_cast<uint32_t>(total));
        Put32(p + 10, 54);
        Put32(p + 14, 40);
        Put32(p + 18, static_cast<uint32_t>(w));
        Put32(p + 22, static_cast<uint32_t>(h));
        Put16(p + 26, 1);
        Put16(p + 28, 32);
        Put32(p + 30, 0);  // BI_RGB
        Put32(p + 34, static_cast<uint32_t>(pixelBytes));
        Put32(p + 38, 2835);  // 72 dpi
        Put32(p + 42, 2835);
        for (uint64_t y = 0; y < h; ++y)
            std::memcpy(p + 54 + y * w * 4, img.Row(static_cast<int32_t>(h - 1 - y)), static_cast<size_t>(w * 4));
        out.Write(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace zel
