// PNG writing with libpng: screenshots and any picture the engine exports.
// Pixels are 32-bit words 0xAARRGGBB (bytes B, G, R, A), rows top-down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// Appends the PNG to out. opaque writes RGB (alpha dropped, so the picture
// shows fully opaque); otherwise RGBA. False (out unchanged, err set when
// given) for an empty picture, a pitch shorter than a row or a libpng failure.
bool EncodePng(const uint32_t* pixels, int width, int height, ptrdiff_t pitchBytes, bool opaque,
               std::vector<uint8_t>& out, std::string* err = nullptr);

// EncodePng into a host file, written atomically (the old file survives a failure).
bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height, ptrdiff_t pitchBytes,
                  bool opaque, std::string* err = nullptr);

}  // namespace zel
