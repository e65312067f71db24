// The text form of an ABMP animation that zelanim builds from and dumps to
// (the format is described in tools/zelanim/README.md). Texts are UTF-8 here
// and Shift-JIS in the model.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "anim/AnimationBmpModel.h"

namespace zel {

// Reads a file named in the description (relative to it); false with a
// reason when it cannot.
using TDescriptionFileReader = std::function<bool(const std::string& path, std::vector<uint8_t>& bytes,
                                                  std::string& err)>;

// False with "line N: ..." in err for a description that does not parse, a
// file that cannot be read or a picture that does not load.
bool ParseAnimationText(const std::string& text, const TDescriptionFileReader& readFile, TABMPFile& out,
                        std::string& err);

// The file name the dump gives picture or sound i ("image0.png", "sound1.ogg").
std::string DumpResourceName(const TABMPResource& r, size_t index, bool sound);

// The description of a model; keys equal to a reset key are left out and so
// are fields equal to the reset key's.
std::string PrintAnimationText(const TABMPFile& file);

}  // namespace zel
