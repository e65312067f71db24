// Row-by-row JPEG decoding for motion-movie frames. The owner sets a header
// callback and a row callback per row format; Decode hands every decoded
// row over from top to bottom instead of building a picture.
//
// A greyscale file gives format 3: rows of width bytes holding the indices
// 0..235 of a 236-level one-pass quantiser with ordered dithering (levels
// spread evenly over 0..255; the movie decoder uses the indices directly as
// grey and alpha values). Any other file gives format 6: rows of 3 * width
// bytes, blue, green, red. Decoding is at full size with the fast integer
// IDCT and no block smoothing. The decompressor is kept between frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zel {

class TMemoryStream;
class TJpegDecompressor;

class TJpegLoader {
public:
    static constexpr int32_t kFormatGrey8 = 3;
    static constexpr int32_t kFormatBgr24 = 6;

    using THeaderCallback = std::function<void(int32_t width, int32_t height, int32_t format)>;
    using TRowCallback = std::function<void(const uint8_t* row, int32_t y)>;

    // Raises EImageFileError when libjpeg cannot create a decompressor.
    TJpegLoader();
    ~TJpegLoader();
    TJpegLoader(const TJpegLoader&) = delete;
    TJpegLoader& operator=(const TJpegLoader&) = delete;

    THeaderCallback onHeader;
    TRowCallback onRow8;   // format 3
    TRowCallback onRow24;  // format 6

    // Decodes the bytes from the stream's position to its end. False for an
    // absent or empty stream and for data libjpeg cannot decode (LastError
    // then says why); rows already handed over stay with the owner. An
    // exception raised by a callback ends the decode and passes through.
    bool Decode(TMemoryStream* stream);
    bool Decode(const uint8_t* data, size_t size);
    const std::string& LastError() const { return lastError_; }

private:
    std::unique_ptr<TJpegDecompressor> jpeg_;
    std::vector<uint8_t> row_;
    std::string lastError_;
};

}  // namespace zel
