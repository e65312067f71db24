// Picture files: loading by the file name's extension (".bmp", ".jpg",
// ".png" and the engine's own ".argb"), and saving as BMP or JPEG.
//
// ".argb" combines a colour picture with a separate alpha mask so that
// photographic art keeps JPEG compression. Layout (little-endian):
//   0   16  magic "ARGBSaveData1" padded with NUL bytes; compared without
//           regard to case up to the first NUL
//   16  1   kind 0..4
//   17  4   size of part A (signed; 0 or below = empty part)
//   21  4   size of part B (signed; 0 or below = empty part)
//   25      part A, then part B; both must lie inside the file
// Kinds:
//   0  A = BMP;  alpha = the BMP's own alpha bytes (0 for a BMP below 32 bits)
//   1  A = PNG;  alpha = its alpha channel, 255 without one
//   2  A = colour JPEG, B = JPEG mask decoded as 236 grey levels
//   3  A = colour JPEG, B = PNG mask (its colour counts, its alpha does not)
//   4  A = PNG (its alpha ignored), B = JPEG mask as for kind 2
// For kinds 2-4 the alpha of each pixel is the green byte of the mask pixel;
// the mask must have the colour picture's size.
#pragma once

#include <string>

namespace zel {

class IDialogHost;
class TARGB8888;
class TMemoryStream;

// Loads by the lower-cased extension of name (from its last '.'). False
// only when stream is null. Another extension loads nothing and succeeds
// with an empty image. A file that cannot be decoded leaves the image empty
// and raises EImageFileError with the text name + "の読み込みに失敗しました"
// (its Detail() says why) - except an undecodable ".jpg", which shows
// "規格外のJPEGを読み込みました。読み込みを中断します。" through the image
// message host and is not an error. An ".argb" file with a wrong magic or a
// kind above 4 gives an empty image without an error. The transparency flag
// is recomputed afterwards.
//   BMP   decoded from the stream's position; below 32 bits alpha is 255
//   JPEG  decoded from position 0 (see JpegCodec.h for the settings)
//   PNG   from the stream's position; 4 leading bytes that are not the
//         start of the PNG signature are skipped
//   ARGB  from position 0
// messages: the dialog host that tells the player about an undecodable JPEG
// (the load then ends with an empty picture); without one the message goes to
// standard error, so nothing ever waits for a player who is not there.
bool LoadFromStream(TARGB8888& img, TMemoryStream* stream, const std::string& name, IDialogHost* messages = nullptr);
bool LoadBmp(TARGB8888& img, TMemoryStream* stream);
bool LoadJpg(TARGB8888& img, TMemoryStream* stream);
bool LoadPng(TARGB8888& img, TMemoryStream* stream);
bool LoadArgb(TARGB8888& img, TMemoryStream* stream);

// A 32-bit BMP of the current pixels, written at the stream's position.
// False for an empty image or a failed write; never raises.
bool SaveBmp(const TARGB8888& img, TMemoryStream& stream);
// A baseline colour JPEG of the current pixels (alpha dropped) with quality
// 0..100, written at the stream's position. False for an empty image or a
// failed encode; never raises.
bool SaveJpeg(const TARGB8888& img, TMemoryStream& stream, int quality);

}  // namespace zel
