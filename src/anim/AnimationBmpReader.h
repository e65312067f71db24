// Reader of ABMP animation files (".b"), versions 11, 10 and 7.
//
// A tag is 16 bytes of ASCII padded with NUL, compared up to its first NUL;
// whatever follows the NUL is ignored. Integers are little-endian; strings
// are a u16 byte count and the bytes unless said otherwise.
//
// Versions 11 and 10: tag "abmp11" / "abmp10", then three blocks.
//   Data   tag "abdata10" or "abdata11", u32 size S, S bytes of "1PC"
//          packed data holding: name; u32 canvas width, u32 height; only in
//          version 11 layout: u32 total time (ms) and the memo (one string of
//          CR LF separated lines); u8 motion count and the motions:
//            motion  tag "abmotion10", name, u8 layer count, the layers
//            layer   tag "ablayer10", "ablayer11" or "ablayer12", name, a
//                    count byte (ignored: a layer always has 32 keys), for
//                    "ablayer11"/"ablayer12" the group mode (u8), then 32
//                    keys of 57 bytes. "ablayer10" and "ablayer11" number
//                    the marker and hit kinds 4 and 5 (read as 5 and 6).
//   Image  tag "abimage10", u8 count, then per picture tag "abimgdat10",
//          name, u8 format (0 BMP, 1 JPEG, 2 or 3 PNG, 4 motion movie,
//          5 ARGB, above 5 nothing), u32 size, the file bytes.
//   Sound  tag "absound10", u8 count, then per sound tag "absnddat10", name,
//          u8 format (0 WAV, 1 Ogg Vorbis), u32 size, the file bytes.
//   A version 10 file gets group mode 1 on the first layer of every motion.
//
// Key record (57 bytes): i32 time, u8 kind, u8 blend, u8 image, u8 second
// image, 4 x i16 source rectangle, i32 frame, i32 second parameter, 4 x i16
// destination, i16 drawing layer, i16 angle, u32 added colour, u32 base
// colour, u8 opacity, u8 source interpolation, 2 spare bytes, u8
// destination interpolation, 2 spare bytes, u8 colour interpolation, u8
// action, 4 x u8 action arguments.
//
// Version 7: 8 bytes "ABMP7" padded with NUL, u8 motion count, a byte not
// used, u8 image format (0 BMP, 1 JPEG, 2 or 3 PNG), u8 sound count, u32 size
// M and M bytes of packed motion data, u32 picture size I (0 = none) and the
// picture (named "NoName"), then per sound a 32-byte name, u32 size Z and Z
// bytes of Ogg Vorbis. The motion data holds per motion a 32-byte name, u32
// layer count, and per layer a 32-byte name and 32 keys of 32 bytes: u32
// time, 4 x i16 source, 4 x i16 destination, i16 drawing layer, u32 colour
// word (opacity in the top byte), u8 type, u8 source, destination and colour
// interpolation, u8 action, u8 argument. The type gives kind and blend and
// routes the colour (see the reader). The first layer of every motion gets
// group mode 1. A 32-byte name is a length byte and up to 31 bytes.
//
// What the format leaves open, and how this reader takes it:
// - Which Data tag goes with which file tag: both Data tags are accepted in
//   both versions. Whether the total time and memo are present is read from
//   the Data tag first ("abdata11": present) and, when the data does not
//   parse that way, from the file tag; a misreading fails on the tags inside
//   the data, so only one reading ever parses.
// - Bytes after a tag's NUL, the layer count byte, the byte after the
//   version 7 motion count, and bytes after the last motion in the packed
//   data or after the last block of the file: any values are accepted.
// - Format bytes 2 and 3 both mean PNG.
// The writer (AnimationBmpWriter.h) writes "abmp11" with "abdata11" (or
// "abmp10" with "abdata10"), "ablayer12" layers, zero bytes after every NUL,
// a layer count byte of 32, PNG as format 2, and nothing after the last block.
//
// Limits: every count and size is checked against the bytes left, so a short
// or damaged block fails the whole file. Version 7 files of more than 255
// layers in a motion are refused (the player keeps state for 256 layers);
// 32-byte names with a length byte above 31 are cut to 31 bytes.
#pragma once

#include <string>

#include "anim/AnimationBmpModel.h"

namespace zel {

class TMemoryStream;

// Each reads a whole file at the stream's position into out. On failure the
// stream is back where it was, out is unchanged, and err (when given) says
// what was wrong.
bool ReadABMP10or11(TMemoryStream& s, TABMPFile& out, std::string* err = nullptr);
bool ReadABMP7(TMemoryStream& s, TABMPFile& out, std::string* err = nullptr);
// Versions 11 and 10, then 7.
bool ReadABMP(TMemoryStream& s, TABMPFile& out, std::string* err = nullptr);

// Kind and blend of a version 7 key type.
struct TABMP7KindBlend {
    uint8_t kind, blend;
};
TABMP7KindBlend ABMP7KindBlend(uint8_t type);

}  // namespace zel
