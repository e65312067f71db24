// TZelObjectManager: the registry of one script's objects. Object variables
// create and free the objects through it (as their store's IObjectCallbacks);
// the interpreter sends scoped commands through it to the handler registered
// for each object's type number; every frame it updates and draws the visual
// objects, and it answers the pointer, the message wait and keyboard or pad
// navigation.
//
// The list owns its objects and keeps them in creation order, which is the
// order of every pass. No two objects have names equal without regard to
// ASCII case (Shift-JIS aware). A 16-entry cache of object pointers, keyed by
// the case-folded name, sits before the hashed list scan of Find; every Remove
// and Clear empties it, so it never yields a removed object.
//
// Frees are deferred while a pass or an object command runs: an object that
// goes then (a handler that runs script lines can free its own object or
// clear the story) leaves the list and the lookups at once but is destroyed
// only when the outermost pass or command returns, so that the object whose
// code is running and the pass's walk over the list stay valid.
//
// Payloads are plugged in by their subsystems: SetPayloadFactory gives the
// payload of each new object of a type number (uZelObjectData.h describes
// IObjectPayload); RegisterExtensionClass adds the word of an extension class
// (kind 34). A command that reaches a payload kind without its payload, and
// without a handler, is answered with a message that says so.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ScriptObjects.h"
#include "scriptdata/uZelObjectData.h"
#include "scriptdata/uZelPath.h"

namespace zel {

class IGameFiles;
class TSound;

// The channel sets behind the sound kinds, for Swap.
class IObjectChannels {
public:
    virtual ~IObjectChannels() = default;
    // Channels of a sound kind (4: stream channels, 5: effect channels).
    virtual int32_t ChannelCount(uint8_t typeNo) const = 0;
    // Exchanges the contents of two channels of the kind (both in the set).
    virtual void SwapChannels(uint8_t typeNo, int32_t a, int32_t b) = 0;
};

// The engine's sound as IObjectChannels (16 stream channels, swapped under
// the mixer's lock, and 15 effect channels).
std::unique_ptr<IObjectChannels> SoundObjectChannels(TSound& sound);

struct TPoint {
    int32_t X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

class TZelObjectManager final : public IScriptObjects {
public:
    using TPayloadFactory = std::function<std::unique_ptr<IObjectPayload>(uint8_t typeNo, std::string_view name)>;
    using TExtensionFactory = std::function<std::unique_ptr<IObjectPayload>(std::string_view name)>;

    static constexpr int32_t kDefaultAlong = 1, kDefaultAcross = 10;

    explicit TZelObjectManager(IGameFiles* files = nullptr);
    ~TZelObjectManager() override;
    TZelObjectManager(const TZelObjectManager&) = delete;
    TZelObjectManager& operator=(const TZelObjectManager&) = delete;

    // ---- plugging in ----
    void SetGameFiles(IGameFiles* files);
    // The payload of every object of the type number made from now on.
    void SetPayloadFactory(uint8_t typeNo, TPayloadFactory factory);
    // An extension class: its word (compared without regard to case) makes
    // kind-34 objects; words added later win over earlier ones and over the
    // built-in words.
    void RegisterExtensionClass(std::string_view word, TExtensionFactory factory);
    void SetChannels(std::unique_ptr<IObjectChannels> channels) { channels_ = std::move(channels); }

    // ---- the factory ----
    // An unregistered object of the type word, or null for an unknown word.
    std::unique_ptr<TZelObjectDataCustom> CreateObject(std::string_view typeWord, std::string_view name) const;

    // ---- the registry ----
    // False for no object, an empty name or a name already registered.
    bool Add(std::unique_ptr<TZelObjectDataCustom> object);
    int32_t IndexOf(std::string_view name);
    TZelObjectDataCustom* Find(std::string_view name);
    bool Remove(std::string_view name);
    void Clear() override;
    void ClearExcept(const std::vector<std::string>& keep) override;
    int32_t Count() const { return static_cast<int32_t>(objects_.size()) - holes_; }
    // Objects in list order (null slots are objects freed during a pass).
    TZelObjectDataCustom* At(size_t i) const { return objects_[i].get(); }
    size_t Slots() const { return objects_.size(); }

    // ---- passes (classes: bit n selects draw class n) ----
    void SetScrollOffset(int32_t x, int32_t y) override {
        scrollX_ = x;
        scrollY_ = y;
    }
    void SetNavigationWeights(int32_t along, int32_t across) override;
    int32_t NavigationAlong() const { return along_; }
    int32_t NavigationAcross() const { return across_; }
    void UpdateAll(uint32_t layerMask, int32_t elapsedMs, uint32_t classes);
    void UpdateAll(uint32_t layerMask, int32_t elapsedMs) override { UpdateAll(layerMask, elapsedMs, kFrameClasses); }
    void DrawAll(TARGB8888CellDraw& cells, uint32_t layerMask, uint32_t classes, bool fixedPass);
    void DrawAll(TARGB8888CellDraw& cells, uint32_t layerMask, bool fixedPass) override {
        DrawAll(cells, layerMask, kFrameClasses, fixedPass);
    }
    void PointerMoveAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes);
    void PointerButtonAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes);
    // Every selected object is asked; the last in list order that answered
    // true is the result (null when none did).
    TZelObjectDataCustom* HitTestAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes);
    void RestoreAll();
    void RememberAll();
    int MessageWindowState() override;

    // Keyboard and pad navigation from (x, y) in direction (dx, dy), one of
    // (1,0), (-1,0), (0,1), (0,-1): the navigation point to move the pointer
    // to, or (x, y). Points outside 0..maxX, 0..maxY are not taken.
    TPoint FindNearestPoint(int32_t x, int32_t y, uint32_t layerMask, int32_t maxX, int32_t maxY, int32_t dx,
                            int32_t dy);
    // The same over given points (the candidates of FindNearestPoint).
    static TPoint NearestPoint(const std::vector<TPoint>& points, int32_t x, int32_t y, int32_t maxX, int32_t maxY,
                               int32_t dx, int32_t dy, int32_t along, int32_t across);

    bool Swap(std::string_view a, std::string_view b) override;

    // ---- IScriptObjects ----
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
    std::string ResolvePath(std::string_view name, bool notify) override { return paths_.Resolve(name, notify); }
    void ClearPaths() override { paths_.Clear(); }

    TZelPath& Paths() { return paths_; }

private:
    struct TCacheEntry {
        std::string folded;
        int32_t hash = 0;
        TZelObjectDataCustom* object = nullptr;
    };
    struct TExtensionClass {
        std::string word;
        TExtensionFactory factory;
    };
    // Marks a pass or command: frees inside it are deferred to its end.
    class TBusy;

    void Forget(size_t index);
    void Settle();
    void ClearCache();
    void ResetWeights();

    int32_t scrollX_ = 0, scrollY_ = 0;
    std::array<TCacheEntry, 16> cache_;
    size_t cacheNext_ = 0;
    int32_t along_ = kDefaultAlong, across_ = kDefaultAcross;
    std::unique_ptr<IObjectChannels> channels_;
    std::vector<std::unique_ptr<TZelObjectDataCustom>> objects_;
    int32_t holes_ = 0;  // null slots left by frees during a pass
    int busy_ = 0;
    std::vector<std::unique_ptr<TZelObjectDataCustom>> freed_;  // deferred frees
    std::array<TPayloadFactory, kLastKind + 1> payloads_;
    std::vector<TExtensionClass> extensions_;
    TObjectCommandRegistry handlers_;
    TZelPath paths_;
    std::vector<TPoint> points_;  // navigation candidates, kept for reuse
};

}  // namespace zel
