// The object host of an engine script: the bare named entries of every kind,
// plus the commands of the two kinds that only give scripts a handle on the
// script's screen: "eff" (kind 10, the compositor's transitions, background
// and redraw mode) and "cam" (kind 14, the scene camera). Every object of
// these kinds reaches the one screen of the script that owns the object.
#pragma once

#include "script/ZelBareObjects.h"

namespace zel {

class TScriptScreen;

class TScreenObjectHost final : public IScriptObjects {
public:
    TScreenObjectHost(IGameFiles* files, TScriptScreen& screen) : bare_(files), screen_(screen) {}

    bool OnCreateObject(const std::string& typeName, const std::string& varName,
                        const std::string& objectName) override {
        return bare_.OnCreateObject(typeName, varName, objectName);
    }
    bool OnFreeObject(const std::string& typeName, const std::string& varName,
                      const std::string& objectName) override {
        return bare_.OnFreeObject(typeName, varName, objectName);
    }
    void OnSaveObject(TMemoryStream& stream, const std::string& typeName, const std::string& objectName,
                      const std::string& varName) override {
        bare_.OnSaveObject(stream, typeName, objectName, varName);
    }
    bool OnLoadObject(TMemoryStream& stream, const std::string& typeName, const std::string& objectName,
                      const std::string& varName) override {
        return bare_.OnLoadObject(stream, typeName, objectName, varName);
    }
    bool FindObject(std::string_view name, TScriptObjectInfo& info) override { return bare_.FindObject(name, info); }
    bool ObjectCommand(TZelScript& script, std::string_view name, const TScriptCommand& command) override;
    bool Swap(std::string_view a, std::string_view b) override { return bare_.Swap(a, b); }
    void Clear() override { bare_.Clear(); }
    void SetNavigationWeights(int32_t along, int32_t across) override { bare_.SetNavigationWeights(along, across); }
    void SetScrollOffset(int32_t x, int32_t y) override { bare_.SetScrollOffset(x, y); }
    void UpdateAll(uint32_t layerMask, int32_t elapsedMs) override { bare_.UpdateAll(layerMask, elapsedMs); }
    int MessageWindowState() override { return bare_.MessageWindowState(); }
    std::string ResolvePath(std::string_view name, bool notify) override { return bare_.ResolvePath(name, notify); }
    void ClearPaths() override { bare_.ClearPaths(); }

private:
    bool EffectCommand(TZelScript& script, const TScriptCommand& command);
    bool CameraCommand(TZelScript& script, const TScriptCommand& command);

    TBareObjectHost bare_;
    TScriptScreen& screen_;
};

}  // namespace zel
