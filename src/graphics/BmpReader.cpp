#include "graphics/BmpReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"

namespace zel {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

[[noreturn]] void Fail(const char* why) { throw EImageFileError(Sj("Bitmapの読み込みに失敗"), why); }

enum class Coding { Rgb, Rle8, Rle4, Rle24, Bitfields };

// One channel of a bit-field pixel: (pixel & mask) >> shift, scaled to 0..255
// with rounding. A zero mask gives 0.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    // False for a mask whose bits are not contiguous.
    bool Set(uint32_t m) {
        mask = m;
        if (m == 0) {
            max = 0;
            return true;
        }
        shift = std::countr_zero(m);
        const uint64_t v = uint64_t{m} >> shift;
        if ((v & (v + 1)) != 0) return false;
        max = v;
        return true;
    }
    uint32_t Get(uint32_t px) const {
        if (max == 0) return 0;
        const uint64_t v = (px & mask) >> shift;
        return static_cast<uint32_t>((v * 255 + max / 2) / max);
    }
};

enum class AlphaSource { Fill, RawByte, Mask, Opaque };

struct Layout {
    int64_t width = 0, height = 0;
    bool topDown = false;
    unsigned bpp = 0;
    Coding coding = Coding::Rgb;
    Channel r, g, b, a;
    AlphaSource alpha = AlphaSource::Fill;
    std::vector<uint32_t> palette;  // 0x00RRGGBB | fill alpha
    size_t dataOffset = 0;
};

Layout ReadLayout(const uint8_t* p, size_t avail, uint8_t fillAlpha) {
    if (avail < 18 || p[0] != 'B' || p[1] != 'M') Fail("not a bitmap file");
    const uint32_t off = U32(p + 10);
    const uint32_t hs = U32(p + 14);
    const bool core = hs == 12;
    const bool windows = hs == 40 || hs == 52 || hs == 56 || hs == 108 || hs == 124;
    const bool os2v2 = !core && !windows && hs >= 16 && hs <= 64;
    if (!core && !windows && !os2v2) Fail("unknown header size");
    if (uint64_t{14} + hs > avail) Fail("file ends inside the header");
    const uint8_t* h = p + 14;

    Layout L;
    unsigned planes = 0;
    uint32_t comp = 0, clrUsed = 0;
    if (core) {
        L.width = U16(h + 4);
        L.height = U16(h + 6);
        planes = U16(h + 8);
        L.bpp = U16(h + 10);
    } else {
        L.width = static_cast<int32_t>(U32(h + 4));
        L.height = static_cast<int32_t>(U32(h + 8));
        planes = U16(h + 12);
        L.bpp = U16(h + 14);
        if (hs >= 20) comp = U32(h + 16);
        if (hs >= 36) clrUsed = U32(h + 32);
    }
    if (planes != 1) Fail("plane count is not 1");
    if (L.width <= 0) Fail("width is not positive");
    if (L.height == 0) Fail("height is zero");
    if (L.height < 0) {
        L.topDown = true;
        L.height = -L.height;
    }
    if (L.width > TARGB8888::kMaxSide || L.height > TARGB8888::kMaxSide ||
        L.width * L.height > kMaxImageFilePixels)
        Fail("picture too large");

    switch (comp) {
        case 0: L.coding = Coding::Rgb; break;
        case 1: L.coding = Coding::Rle8; break;
        case 2: L.coding = Coding::Rle4; break;
        case 3:
        case 6:
            if (os2v2) Fail("Huffman-coded bitmaps are not supported");
            L.coding = Coding::Bitfields;
            break;
        case 4:
            if (!os2v2) Fail("embedded JPEG bitmaps are not supported");
            L.coding = Coding::Rle24;
            break;
        default: Fail("unknown compression");
    }
    switch (L.coding) {
        case Coding::Rgb:
            if (L.bpp != 1 && L.bpp != 2 && L.bpp != 4 && L.bpp != 8 && L.bpp != 16 && L.bpp != 24 && L.bpp != 32)
                Fail("unsupported bits per pixel");
            break;
        case Coding::Rle8: if (L.bpp != 8) Fail("RLE8 needs 8 bits per pixel"); break;
        case Coding::Rle4: if (L.bpp != 4) Fail("RLE4 needs 4 bits per pixel"); break;
        case Coding::Rle24: if (L.bpp != 24) Fail("RLE24 needs 24 bits per pixel"); break;
        case Coding::Bitfields: if (L.bpp != 16 && L.bpp != 32) Fail("bit fields need 16 or 32 bits per pixel"); break;
    }
    const bool rle = L.coding == Coding::Rle8 || L.coding == Coding::Rle4 || L.coding == Coding::Rle24;
    if (rle && L.topDown) Fail("run-length coded rows cannot be top-down");

    uint64_t pos = uint64_t{14} + hs;
    if (L.coding == Coding::Bitfields) {
        uint32_t m[4] = {0, 0, 0, 0};
        if (hs >= 52) {
            for (int i = 0; i < 3; ++i) m[i] = U32(h + 40 + 4 * i);
            if (hs >= 56) m[3] = U32(h + 52);
        } else {
            const int n = comp == 6 ? 4 : 3;
            if (pos + 4u * n > avail) Fail("file ends inside the bit masks");
            for (int i = 0; i < n; ++i) m[i] = U32(p + pos + 4 * i);
            pos += 4u * n;
        }
        if (L.bpp == 16)
            for (uint32_t& v : m) v &= 0xFFFFu;
        if (!L.r.Set(m[0]) || !L.g.Set(m[1]) || !L.b.Set(m[2]) || !L.a.Set(m[3])) Fail("bit masks are not contiguous");
        if (L.bpp == 32)
            L.alpha = m[3] != 0 ? AlphaSource::Mask
                      : ((m[0] | m[1] | m[2]) & 0xFF000000u) == 0 ? AlphaSource::RawByte
                                                                   : AlphaSource::Opaque;
    } else if (L.bpp == 16) {
        L.r.Set(0x7C00);
        L.g.Set(0x03E0);
        L.b.Set(0x001F);
    } else if (L.bpp == 32) {
        L.alpha = AlphaSource::RawByte;
    }

    if (L.bpp <= 8) {
        const unsigned entry = core ? 3 : 4;
        const uint64_t maxEntries = uint64_t{1} << L.bpp;
        uint64_t count = (!core && clrUsed != 0) ? clrUsed : maxEntries;
        if (count > 256) Fail("palette size out of range");
        count = std::min(count, maxEntries);
        // OS/2 files may store fewer entries than the depth allows: the data
        // offset then says where the palette ends.
        if (off >= pos + entry && off < pos + count * entry) count = (off - pos) / entry;
        if (pos + count * entry > avail) Fail("file ends inside the palette");
        L.palette.resize(count);
        for (uint64_t i = 0; i < count; ++i) {
            const uint8_t* e = p + pos + i * entry;
            L.palette[i] = uint32_t{fillAlpha} << 24 | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
        }
        pos += count * entry;
    }
    // A data offset that points into the headers cannot be right: the rows
    // then follow the palette directly.
    const uint64_t headersEnd = uint64_t{14} + hs;
    L.dataOffset = static_cast<size_t>(off >= headersEnd ? uint64_t{off} : pos);
    if (L.dataOffset > avail) Fail("data offset beyond the end of the file");
    return L;
}

// Uncompressed rows: the last row's padding may be missing; every pixel must be there.
void RequireRows(size_t avail, const Layout& L) {
    const uint64_t stride = ((uint64_t(L.width) * L.bpp + 31) / 32) * 4;
    const uint64_t lastRow = (uint64_t(L.width) * L.bpp + 7) / 8;
    if (L.dataOffset + stride * uint64_t(L.height - 1) + lastRow > avail) Fail("file ends inside the pixel data");
}

// Run-length data may end a picture early (the rest stays background), so a
// few bytes can stand for any size. Past 1 Mpx the data must hold a byte per
// 1024 pixels, as every real picture does (one up to 2048 wide passes with
// nothing but line ends): a damaged header then fails at once instead of
// costing a picture of up to 256 MiB.
void RequireRunLengthData(size_t avail, const Layout& L) {
    constexpr uint64_t kFreePixels = uint64_t{1} << 20;
    constexpr uint64_t kPixelsPerByte = 1024;
    const uint64_t pixels = uint64_t(L.width) * uint64_t(L.height);
    if (pixels > kFreePixels && pixels / kPixelsPerByte > avail - L.dataOffset)
        Fail("run-length data too short for a picture this large");
}

size_t DecodeRows(const uint8_t* p, size_t avail, const Layout& L, TARGB8888& img, uint8_t fillAlpha) {
    const int64_t w = L.width, h = L.height;
    const uint64_t stride = ((uint64_t(w) * L.bpp + 31) / 32) * 4;  // Read checked that every row is there
    const uint32_t fill = uint32_t{fillAlpha} << 24;
    const size_t paletteSize = L.palette.size();
    for (int64_t r = 0; r < h; ++r) {
        const uint8_t* s = p + L.dataOffset + stride * uint64_t(r);
        uint32_t* d = img.Row(static_cast<int32_t>(L.topDown ? r : h - 1 - r));
        switch (L.bpp) {
            case 1:
            case 2:
            case 4:
            case 8: {
                const unsigned bits = L.bpp, perByte = 8 / bits, maskBits = (1u << bits) - 1;
                for (int64_t x = 0; x < w; ++x) {
                    const unsigned shift = 8 - bits * (1 + unsigned(x % perByte));
                    const unsigned idx = (s[x / perByte] >> shift) & maskBits;
                    if (idx >= paletteSize) Fail("palette index out of range");
                    d[x] = L.palette[idx];
                }
                break;
            }
            case 16:
                for (int64_t x = 0; x < w; ++x) {
                    const uint32_t px = U16(s + 2 * x);
                    d[x] = fill | L.r.Get(px) << 16 | L.g.Get(px) << 8 | L.b.Get(px);
                }
                break;
            case 24:
                for (int64_t x = 0; x < w; ++x, s += 3)
                    d[x] = fill | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0];
                break;
            case 32:
                if (L.coding == Coding::Rgb) {
                    std::memcpy(d, s, size_t(w) * 4);
                } else {
                    for (int64_t x = 0; x < w; ++x) {
                        const uint32_t px = U32(s + 4 * x);
                        const uint32_t a = L.alpha == AlphaSource::Mask      ? L.a.Get(px)
                                           : L.alpha == AlphaSource::RawByte ? px >> 24
                                                                             : 255u;
                        d[x] = a << 24 | L.r.Get(px) << 16 | L.g.Get(px) << 8 | L.b.Get(px);
                    }
                }
                break;
            default: Fail("unsupported bits per pixel");
        }
    }
    return static_cast<size_t>(std::min<uint64_t>(avail, L.dataOffset + stride * uint64_t(h)));
}

// Run-length coded rows (bottom-up). Pixels that a run carries past the end
// of a row are dropped; moves and runs past the last row are errors.
size_t DecodeRle(const uint8_t* p, size_t avail, const Layout& L, TARGB8888& img, uint8_t fillAlpha) {
    const int64_t w = L.width, h = L.height;
    const uint8_t* d = p + L.dataOffset;
    const size_t n = avail - L.dataOffset;
    const uint32_t black = uint32_t{fillAlpha} << 24;  // the picture starts out all this
    const size_t paletteSize = L.palette.size();
    int64_t x = 0, y = 0;
    size_t i = 0;
    auto colour = [&](unsigned idx) {
        if (idx >= paletteSize) Fail("palette index out of range");
        return L.palette[idx];
    };
    auto put = [&](uint32_t c) {
        if (x < w) img.Row(static_cast<int32_t>(h - 1 - y))[x] = c;
        ++x;
    };
    for (;;) {
        if (i + 2 > n) {
            if (y >= h) break;  // every row is there; the end marker is missing
            Fail("run-length data ends early");
        }
        const unsigned count = d[i], value = d[i + 1];
        i += 2;
        if (count > 0) {
            if (y >= h) Fail("run past the last row");
            switch (L.coding) {
                case Coding::Rle8: {
                    const uint32_t c = colour(value);
                    for (unsigned k = 0; k < count; ++k) put(c);
                    break;
                }
                case Coding::Rle4: {
                    const uint32_t c0 = colour(value >> 4), c1 = colour(value & 15);
                    for (unsigned k = 0; k < count; ++k) put(k & 1 ? c1 : c0);
                    break;
                }
                default: {
                    if (i + 2 > n) Fail("run-length data ends early");
                    const uint32_t c = black | uint32_t{d[i + 1]} << 16 | uint32_t{d[i]} << 8 | value;
                    i += 2;
                    for (unsigned k = 0; k < count; ++k) put(c);
                    break;
                }
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            if (++y > h) Fail("line end past the last row");
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // move
            if (i + 2 > n) Fail("run-length data ends early");
            x += d[i];
            y += d[i + 1];
            i += 2;
            if (x > w || y > h) Fail("move past the picture");
        } else {  // literal pixels
            const size_t bytes = L.coding == Coding::Rle8 ? value
                                 : L.coding == Coding::Rle4 ? (value + 1u) / 2
                                                            : 3u * value;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (i + bytes > n) Fail("run-length data ends early");
            if (y >= h) Fail("run past the last row");
            const uint8_t* s = d + i;
            for (unsigned k = 0; k < value; ++k) {
                switch (L.coding) {
                    case Coding::Rle8: put(colour(s[k])); break;
                    case Coding::Rle4: put(colour(k & 1 ? s[k / 2] & 15 : s[k / 2] >> 4)); break;
                    default:
                        put(black | uint32_t{s[3 * k + 2]} << 16 | uint32_t{s[3 * k + 1]} << 8 | s[3 * k]);
                        break;
                }
            }
            i = std::min(n, i + padded);
        }
    }
    return L.dataOffset + i;
}

}  // namespace

size_t TBmpReader::Read(const uint8_t* p, size_t avail, TARGB8888& img, uint8_t alphaWithoutAlphaData) {
    const Layout L = ReadLayout(p, avail, alphaWithoutAlphaData);
    const bool rle = L.coding == Coding::Rle8 || L.coding == Coding::Rle4 || L.coding == Coding::Rle24;
    // A short file is refused before the picture is allocated: a few hundred
    // bytes may declare tens of megapixels.
    if (rle) RequireRunLengthData(avail, L);
    else RequireRows(avail, L);
    TARGB8888 tmp;
    // Pixels a run-length picture never sets are black, with the alpha of a
    // picture without alpha data.
    tmp.NewImage(static_cast<int32_t>(L.width), static_cast<int32_t>(L.height),
                 rle ? uint32_t{alphaWithoutAlphaData} << 24 : 0u);
    const size_t used = rle ? DecodeRle(p, avail, L, tmp, alphaWithoutAlphaData)
                            : DecodeRows(p, avail, L, tmp, alphaWithoutAlphaData);
    tmp.UpdateTransparency();
    img = std::move(tmp);
    return used;
}

void TBmpReader::Read(TMemoryStream& stream, TARGB8888& img, uint8_t alphaWithoutAlphaData) {
    const size_t base = stream.Position();
    const size_t used = Read(stream.Data() + base, stream.Remaining(), img, alphaWithoutAlphaData);
    stream.Seek(base + used);
}

}  // namespace zel
