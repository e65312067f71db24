// The button kinds ("btn" 8 and the system script's "sbtn" 19): their
// payload, the button of the animation player, and the words that drive it.
// A button takes the message and image words first
// (scriptdata/MessageCommands.h), then its own: "bc" clicks it at its
// navigation point, "ck" and "lk" check and lock it, "?bc", "?ck" and "?lk"
// ask.
//
// TObjectButtons answers the interpreter's button questions from the
// buttons among a manager's objects: the button a pointer click hits, its
// name and its four user numbers and texts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "anim/ButtonLib.h"
#include "script/ZelScriptServices.h"
#include "scriptdata/uZelObjectData.h"

namespace zel {

class ICommandContext;
class TZelObjectManager;

class TButtonObjectPayload : public IObjectPayload {
public:
    TButtonObjectPayload(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                         const TMessageServices* services)
        : button(files, resources, sound, services) {}

    void Reset() override { button.Reset(); }
    std::string DescribeState() const override;
    bool SaveToStream(TMemoryStream& stream) const override {
        button.SaveState(stream);
        return true;
    }
    bool LoadFromStream(TMemoryStream& stream) override { return button.LoadState(stream); }
    void Update(uint32_t layerMask, int32_t elapsedMs) override { button.Update(layerMask, elapsedMs); }
    void Draw(TARGB8888CellDraw& cells, uint32_t layerMask, int32_t shiftX, int32_t shiftY) override {
        button.Draw(cells, layerMask, shiftX, shiftY);
    }
    void PointerMove(uint32_t layerMask, int32_t x, int32_t y) override { button.SetMouse(layerMask, x, y); }
    // A pointer click: true when it clicked the button.
    bool HitTest(uint32_t layerMask, int32_t x, int32_t y) override { return button.ClickAt(layerMask, x, y); }
    int32_t Layer() const override { return button.Layer(); }
    bool NavigationPoint(uint32_t layerMask, int32_t& x, int32_t& y) const override;

    TButtonLib button;
    std::array<std::string, 16> filters;
};

// The button words; true when the word is one of them (or a message or
// image word).
bool ButtonCommand(ICommandContext& c, TButtonLib& button, std::array<std::string, 16>* filters,
                   TZelObjectManager* objects);

// Makes the payloads of both button kinds and registers their words (the
// message kinds register them beside their own). services may be null and
// must outlive the manager's objects.
void RegisterButtonKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                         IAnimationSound* sound = nullptr, const TMessageServices* services = nullptr);

class TObjectButtons final : public IScriptButtons {
public:
    explicit TObjectButtons(TZelObjectManager& objects) : objects_(objects) {}
    bool HitButton(uint32_t layerMask, int32_t x, int32_t y, TButtonHit& hit) override;
    // System buttons with action words are not among the objects' kinds:
    // no click selects one.
    bool HitSystemButton(uint32_t, int32_t, int32_t, TButtonHit&) override { return false; }
    void SetSystemButtonChecked(const std::string&, bool) override {}
    void RefreshSystemButtons(const std::function<TLook(const TButtonHit&)>&) override {}

private:
    TZelObjectManager& objects_;
};

}  // namespace zel
