// The message window kind ("msg" 7): its payload, the message window of the
// animation player, and the command words scripts drive it with. A window
// takes the image words first (scriptdata/ImageCommands.h), then its own:
// text words that append text or codes ("t", "o", "n", "oc", "orb" ...), the
// page words ("cc" clear, "mc" click), the speaker and voice words, the
// log hand-off, the text area and layout words, and the queries.
//
// The text-replacement kind ("rep" 15) gets the two words through which
// message text lines reach a window: "et" sets the reader's text-line prefix
// (so a line "Hello" becomes, with the prefix "\t,", the command "\t,Hello"
// to the scoped window) and "nt" its empty-line text.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "anim/MessageLib.h"
#include "scriptdata/uZelObjectData.h"

namespace zel {

class ICommandContext;
class TObjectCommandRegistry;
class TZelObjectManager;

class TMessageObjectPayload : public IObjectPayload {
public:
    TMessageObjectPayload(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound,
                          const TMessageServices* services)
        : window(files, resources, sound, services) {}

    void Reset() override { window.Reset(); }
    std::string DescribeState() const override;
    bool SaveToStream(TMemoryStream& stream) const override {
        window.SaveState(stream);
        return true;
    }
    bool LoadFromStream(TMemoryStream& stream) override { return window.LoadState(stream); }
    void Update(uint32_t layerMask, int32_t elapsedMs) override { window.Update(layerMask, elapsedMs); }
    void Draw(TARGB8888CellDraw& cells, uint32_t layerMask, int32_t shiftX, int32_t shiftY) override {
        window.Draw(cells, layerMask, shiftX, shiftY);
    }
    void PointerMove(uint32_t layerMask, int32_t x, int32_t y) override { window.SetMouse(layerMask, x, y); }
    // The click of a message wait comes as a hit test: the window takes it
    // and selects nothing.
    bool HitTest(uint32_t layerMask, int32_t, int32_t) override {
        window.Click(layerMask);
        return false;
    }
    int32_t Layer() const override { return window.Layer(); }
    int MessageState() const override { return window.State(); }

    TMessageLib window;
    std::array<std::string, 16> filters;
};

// The message words; true when the word is one of them (or an image word).
bool MessageCommand(ICommandContext& c, TMessageLib& window, std::array<std::string, 16>* filters,
                    TZelObjectManager* objects);

// Makes the payloads of the message kind and registers its words, and those
// of the button kinds (scriptdata/ButtonCommands.h). services
// (fonts, voice, log, configured times) may be null and must outlive the
// manager's objects.
void RegisterMessageKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                          IAnimationSound* sound = nullptr, const TMessageServices* services = nullptr);

// The text-line words of the "rep" kind, on the reader of the script that
// runs them.
struct TTextLineHooks {
    std::function<void(ICommandContext&, const std::string&)> setPrefix, setEmptyLine;
};
void RegisterTextLineWords(TObjectCommandRegistry& registry, TTextLineHooks hooks);

}  // namespace zel
