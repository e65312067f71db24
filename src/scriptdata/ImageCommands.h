// The image kinds ("img" 6, "simg" 18): their payload, the image object of
// the animation player, and the command words scripts drive them with.
//
// Conventions every object command family follows (the message window and
// button families build on these): arguments are evaluated unless a word
// takes them raw; an empty argument reads as 0 or the empty text; a query
// word ("?...") first clears the whole of ResultInt, ResultStr and ResultObj
// and writes its answers from element 0, while the "g..." words write element
// 0 (and what they name) without clearing; file arguments go through the
// search paths with the seen-file notice; a word no handler takes is reported
// by the interpreter as undefined for the object.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "anim/ImageLib.h"
#include "scriptdata/uZelObjectData.h"

namespace zel {

class ICommandContext;
class IGameFiles;
class TZelObjectManager;


// An image object as the payload of an object of an image kind.
class TImageObjectPayload : public IObjectPayload {
public:
    TImageObjectPayload(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound)
        : image(files, resources, sound) {}

    void Reset() override { image.Reset(); }
    std::string DescribeState() const override;
    bool SaveToStream(TMemoryStream& stream) const override {
        image.SaveState(stream);
        return true;
    }
    bool LoadFromStream(TMemoryStream& stream) override { return image.LoadState(stream); }
    void Update(uint32_t layerMask, int32_t elapsedMs) override { image.Update(layerMask, elapsedMs); }
    void Draw(TARGB8888CellDraw& cells, uint32_t layerMask, int32_t shiftX, int32_t shiftY) override {
        image.Draw(cells, layerMask, shiftX, shiftY);
    }
    void PointerMove(uint32_t layerMask, int32_t x, int32_t y) override { image.SetMouse(layerMask, x, y); }
    int32_t Layer() const override { return image.Layer(); }
    bool NavigationPoint(uint32_t layerMask, int32_t& x, int32_t& y) const override;

    TImageLib image;
    // Filter texts 0..15 for the animation's pictures, kept until the
    // filters exist; each at most kMaxFilterText bytes.
    static constexpr size_t kMaxFilterText = 255;
    std::array<std::string, 16> filters;
};

// The image words; true when the word is one of them. The message window and
// button families try these first.
bool ImageCommand(ICommandContext& c, TImageLib& image, std::array<std::string, 16>* filters,
                  TZelObjectManager* objects);

// Makes the payloads of the image kinds and registers their words with the
// manager's handlers.
void RegisterImageKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                        IAnimationSound* sound = nullptr);

}  // namespace zel
