// Reader of Windows and OS/2 bitmap files (".bmp").
//
// Layout (all integers little-endian), relative to the first byte "B":
//   0   2  "BM"
//   2   4  file size (not trusted, not used)
//   6   4  reserved
//   10  4  offset of the pixel data
//   14  4  header size, which names the header version:
//          12        OS/2 1.x core header: u16 width, u16 height, u16 planes,
//                    u16 bits per pixel; palette entries are 3 bytes (B, G, R)
//          40/52/56  Windows info header: i32 width, i32 height (negative =
//                    rows stored top-down), u16 planes, u16 bits, u32
//                    compression, u32 image size, 2 x i32 density, u32
//                    colours used, u32 important colours; 52 adds the R, G, B
//                    masks, 56 also the alpha mask
//          108/124   Windows v4/v5 headers: the 56-byte part plus colour-space
//                    data that we do not need
//          16..64    OS/2 2.x header: the Windows fields as far as its size
//                    reaches (compression 3 is Huffman, 4 is 24-bit RLE)
//   then the bit masks (3 or 4 u32, only after a 40-byte header with
//   compression 3 or 6), the palette (4-byte B, G, R, 0 entries) and, at the
//   data offset, the rows: bottom-up unless the height is negative, each
//   padded to a multiple of 4 bytes.
// Pixels: 1, 2, 4 and 8 bits index the palette; 16 bits are 5-5-5 or the
// bit masks; 24 bits are B, G, R; 32 bits are B, G, R and an alpha byte, or
// the bit masks. RLE8, RLE4 and OS/2 RLE24 are run-length coded bottom-up.
//
// Only 32-bit files carry alpha: their alpha byte (or the alpha mask) is
// kept as stored. Every other depth gets the caller's alpha value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

class TARGB8888;
class TMemoryStream;

class TBmpReader {
public:
    // Decodes the bitmap that starts at the stream's position into img
    // (replacing it only on success) and leaves the position after the
    // bytes it used. Raises EImageFileError with the text
    // "Bitmapの読み込みに失敗" on anything it cannot decode.
    static void Read(TMemoryStream& stream, TARGB8888& img, uint8_t alphaWithoutAlphaData);
    // The same over a byte range; returns the number of bytes used.
    static size_t Read(const uint8_t* data, size_t size, TARGB8888& img, uint8_t alphaWithoutAlphaData);
};

}  // namespace zel
