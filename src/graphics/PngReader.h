// PNG decoding with libpng into B, G, R, A pixels.
//
// Every colour type and depth is expanded to 8-bit RGBA: palette entries
// and grey samples to RGB, sub-byte samples to 8 bits, a transparency chunk
// (tRNS) to alpha, 16-bit samples stripped to their high byte; a picture
// without alpha gets 255. Interlaced files are de-interlaced. No gamma or
// colour-space correction is applied: the stored values are shown as they are.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

class TARGB8888;

// Decodes the PNG at data (signature first) into img, which is replaced only
// on success. Raises EImageFileError whose detail is libpng's message.
void DecodePng(const uint8_t* data, size_t size, TARGB8888& img);

// True when data starts with the 8-byte PNG signature.
bool IsPngSignature(const uint8_t* data, size_t size);

}  // namespace zel
