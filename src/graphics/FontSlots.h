// The eight font slots the message windows draw with, as the settings code
// sets them: a bitmap font from the game data, or an installed outline font
// with a decoration of up to 16 layers (shadow, outline, the face itself).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zel {

class TMemoryStream;

struct TFontLayer {
    uint32_t colour = 0;  // ARGB; 0 = layer unused
    int32_t dx = 0, dy = 0;
    uint32_t flags = 0;
    int32_t weightStep = 0;
};

struct TFontDecoration {
    std::array<TFontLayer, 16> layers{};
};

class IFontSlots {
public:
    virtual ~IFontSlots() = default;
    // The face or font-file name the slot holds now ("" when none).
    virtual std::string SlotFontName(int slot) const = 0;
    virtual bool SlotIsBitmapFont(int slot) const = 0;
    // A bitmap font from its horizontal and vertical ("@") files; either may be null.
    virtual void LoadBitmapFont(int slot, const std::string& name, TMemoryStream* horizontal,
                                TMemoryStream* vertical) = 0;
    virtual void SetSystemFont(int slot, const std::string& face, uint32_t styleFlags, bool centre,
                               int supersampling, const TFontDecoration& decoration) = 0;
};

}  // namespace zel
