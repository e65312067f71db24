// Writer of 32-bit bitmap files: a 14-byte file header, a 40-byte info
// header (BI_RGB, 32 bits per pixel, positive height) and the rows
// bottom-up, 4 bytes per pixel B, G, R, A, with the alpha bytes as they are.
// The reader (BmpReader.h) keeps those alpha bytes, so a picture survives a
// round trip unchanged.
#pragma once

namespace zel {

class TARGB8888;
class TMemoryStream;

// Writes img at the stream's position. False (nothing written) for an empty
// image or when the stream cannot take the bytes.
bool WriteBmp32(const TARGB8888& img, TMemoryStream& out);

}  // namespace zel
