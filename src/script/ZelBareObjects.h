// The object host a script runs with until the object manager takes its place:
// every object an object variable creates becomes a bare named entry of its
// kind, so that declarations (the engine's own "sys", "snd" ... at every story
// start included) succeed and names resolve. A command sent to an object goes
// to the handler registered for its kind; without one it is reported as
// undefined for it.
//
// The search paths are the empty list: a name resolves when the game file
// lookup finds it as written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "script/ZelScriptServices.h"

namespace zel {

class IGameFiles;

// Type number of an object type word (ignoring case), 0 when it names no kind.
uint8_t ObjectTypeNumber(std::string_view typeWord);
// Type word of a type number; "none" for a number no kind uses.
std::string_view ObjectTypeWord(uint8_t typeNo);

class TBareObjectHost final : public IScriptObjects {
public:
    explicit TBareObjectHost(IGameFiles* files = nullptr) : files_(files) {}
    void SetGameFiles(IGameFiles* files) { files_ = files; }

    bool OnCreateObject(const std::string& typeName, const std::string& varName,
                        const std::string& objectName) override;
    bool OnFreeObject(const std::string& typeName, const std::string& varName,
                      const std::string& objectName) override;
    void OnSaveObject(TMemoryStream& stream, const std::string& typeName, const std::string& objectName,
                      const std::string& varName) override;
    bool OnLoadObject(TMemoryStream& stream, const std::string& typeName, const std::string& objectName,
                      const std::string& varName) override;

    bool FindObject(std::string_view name, TScriptObjectInfo& info) override;
    bool ObjectCommand(ICommandContext& context, std::string_view name) override;
    TObjectCommandRegistry& Handlers() override { return handlers_; }
    bool Swap(std::string_view a, std::string_view b) override;
    void Clear() override { objects_.clear(); }
    void SetNavigationWeights(int32_t, int32_t) override {}
    void SetScrollOffset(int32_t, int32_t) override {}
    void UpdateAll(uint32_t, int32_t) override {}
    int MessageWindowState() override { return 0; }
    std::string ResolvePath(std::string_view name, bool notify) override;
    void ClearPaths() override {}

    size_t Count() const { return objects_.size(); }

private:
    IGameFiles* files_;
    // Lower-cased name -> type number.
    std::unordered_map<std::string, uint8_t> objects_;
    TObjectCommandRegistry handlers_;
};

}  // namespace zel
