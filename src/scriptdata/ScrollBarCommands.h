// The scroll bar kind ("bar" 9): its payload, the scroll bar of the
// animation player (a knob and a track), and the words that drive it: "l"
// loads the knob and the track, "p" places it, "v" and "mv" set the value
// and the maximum, "i", "e", "d", "in", "out", "dc", "sc", "ui" and "us" as
// for images, and the queries. A press on the track (the pointer's button
// pass) moves the value there.
#pragma once

#include <cstdint>
#include <string>

#include "anim/ScrollBarLib.h"
#include "scriptdata/uZelObjectData.h"

namespace zel {

class ICommandContext;
class TZelObjectManager;

class TScrollBarObjectPayload : public IObjectPayload {
public:
    TScrollBarObjectPayload(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound)
        : bar(files, resources, sound) {}

    void Reset() override { bar.Reset(); }
    std::string DescribeState() const override;
    bool SaveToStream(TMemoryStream& stream) const override {
        bar.SaveState(stream);
        return true;
    }
    bool LoadFromStream(TMemoryStream& stream) override { return bar.LoadState(stream); }
    void Update(uint32_t layerMask, int32_t elapsedMs) override { bar.Update(layerMask, elapsedMs); }
    void Draw(TARGB8888CellDraw& cells, uint32_t layerMask, int32_t shiftX, int32_t shiftY) override {
        bar.Draw(cells, layerMask, shiftX, shiftY);
    }
    void PointerMove(uint32_t layerMask, int32_t x, int32_t y) override { bar.SetMouse(layerMask, 0, x, y); }
    void PointerButton(uint32_t layerMask, int32_t x, int32_t y) override { bar.ClickAt(layerMask, x, y); }
    void RememberResources() override { bar.RecordDeferred(); }
    void RestoreResources() override { bar.ApplyDeferred(); }
    int32_t Layer() const override { return bar.Layer(); }

    TImageScrollBar bar;
};

// The scroll bar words; true when the word is one of them.
bool ScrollBarCommand(ICommandContext& c, TImageScrollBar& bar, TZelObjectManager* objects);

void RegisterScrollBarKind(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                           IAnimationSound* sound = nullptr);

}  // namespace zel
