// Writer of ABMP animation files in the version 11 (or 10) layout described
// in AnimationBmpReader.h: "abmp11" with "abdata11" ("abmp10" with
// "abdata10"), "ablayer12" layers with their group mode, a key count byte of
// 32, zero bytes after every tag's NUL and nothing after the Sound block.
// Pictures and sounds are stored as the bytes and formats the model holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "anim/AnimationBmpModel.h"

namespace zel {

// False (with a reason in err) when the model does not fit the format: more
// than 255 motions, layers in a motion, pictures or sounds, or a text over
// 65535 bytes (the model is not cut to fit).
bool WriteABMP(const TABMPFile& file, int version, std::vector<uint8_t>& out, std::string* err = nullptr);

}  // namespace zel
