// Whole-picture JPEG decoding and encoding with libjpeg(-turbo).
//
// Decoding is done at full size without block smoothing, with the accurate
// integer IDCT and the library's default (fancy) upsampling. Colour output
// is written straight as B, G, R, 255 into the image rows. Grey output uses
// the library's one-pass quantiser with 236 evenly spaced levels and
// Floyd-Steinberg dithering; each pixel takes the grey value of its level,
// (j * 255 + 117) / 235 for level j.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel {

class TARGB8888;

enum class TJpegOutput : uint8_t {
    Auto,        // grey levels for a greyscale file, colour for any other
    Colour,      // colour whatever the file holds
    GreyLevels,  // grey levels whatever the file holds (alpha masks)
};

// Decodes a whole JPEG into img, which is replaced only on success. Raises
// EImageFileError whose detail is the library's message.
void DecodeJpeg(const uint8_t* data, size_t size, TJpegOutput output, TARGB8888& img);

// The grey value of level j (0..235) of the 236-level quantiser.
constexpr uint8_t JpegGreyLevel(unsigned j) { return static_cast<uint8_t>((j * 255 + 117) / 235); }

// Appends a baseline colour JPEG of img's pixels (alpha dropped) to out:
// quality 0..100 (clamped), accurate integer DCT, no smoothing. False (out
// unchanged, err set when given) for an empty image or a library failure.
bool EncodeJpeg(const TARGB8888& img, int quality, std::vector<uint8_t>& out, std::string* err = nullptr);

}  // namespace zel
