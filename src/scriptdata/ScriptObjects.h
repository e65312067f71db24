// The object host as the interpreter sees it: the registry of named script
// objects with their command handlers, the per-frame passes over them and the
// search paths. TZelObjectManager (uZelObjectManager.h) is the engine's one
// implementation; the interface keeps the interpreter's tests free to inject
// another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ObjectCommands.h"
#include "scriptdata/ZelValueStore.h"

namespace zel {

class TARGB8888CellDraw;

struct TScriptObjectInfo {
    uint8_t TypeNo = 0;    // the kind's type number (1..35)
    std::string TypeWord;  // "img", "msg" ..., or the extension class's word
};

// As IObjectCallbacks it builds and frees the objects of object variables.
class IScriptObjects : public IObjectCallbacks {
public:
    // Looks a registered object up by name, ignoring case.
    virtual bool FindObject(std::string_view name, TScriptObjectInfo& info) = 0;
    // Offers the context's command to the handler registered for the
    // object's kind; true when it took the command word.
    virtual bool ObjectCommand(ICommandContext& context, std::string_view name) = 0;
    // The command handlers of the kinds, by type number.
    virtual TObjectCommandRegistry& Handlers() = 0;
    // Exchanges the payloads of two objects of the same kind.
    virtual bool Swap(std::string_view a, std::string_view b) = 0;
    // Unregisters and frees every object.
    virtual void Clear() = 0;
    // A story restart: frees every object but those named in keep (the
    // objects the system store owns, which live on with it).
    virtual void ClearExcept(const std::vector<std::string>& keep) = 0;
    virtual void SetNavigationWeights(int32_t along, int32_t across) = 0;
    virtual void SetScrollOffset(int32_t x, int32_t y) = 0;
    // The frame's update of every visual object (draw classes 1-11).
    virtual void UpdateAll(uint32_t layerMask, int32_t elapsedMs) = 0;
    // Submits every visual object (draw classes 1-11) as cells. fixedPass:
    // the pass that also draws the objects fixed to the screen.
    virtual void DrawAll(TARGB8888CellDraw& cells, uint32_t layerMask, bool fixedPass) = 0;
    // What the message windows report, for the message wait: 1 while any
    // window still shows text appearing, else 2 while any has a finished page
    // waiting, else 0.
    virtual int MessageWindowState() = 0;
    // A game file name through the search paths; empty when nothing exists.
    // notify: count a found name in the seen-file log.
    virtual std::string ResolvePath(std::string_view name, bool notify) = 0;
    virtual void ClearPaths() = 0;
};

}  // namespace zel
