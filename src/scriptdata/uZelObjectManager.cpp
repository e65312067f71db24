#include "scriptdata/uZelObjectManager.h"

#include <algorithm>
#include <cstdlib>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "sound/Sound.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

class TSoundChannels final : public IObjectChannels {
public:
    explicit TSoundChannels(TSound& sound) : sound_(sound) {}
    int32_t ChannelCount(uint8_t typeNo) const override {
        return typeNo == kKindSoundStream ? TSSound::kChannels : typeNo == kKindSoundEffect ? TDSound::kChannels : 0;
    }
    void SwapChannels(uint8_t typeNo, int32_t a, int32_t b) override {
        if (typeNo == kKindSoundStream) sound_.Streams().Swap(a, b);
        else if (typeNo == kKindSoundEffect) sound_.Effects().Swap(a, b);
    }

private:
    TSound& sound_;
};

// The channel sets of the engine when no sound is plugged in.
int32_t DefaultChannelCount(uint8_t typeNo) {
    return typeNo == kKindSoundStream ? 16 : typeNo == kKindSoundEffect ? 15 : 0;
}

}  // namespace

std::unique_ptr<IObjectChannels> SoundObjectChannels(TSound& sound) { return std::make_unique<TSoundChannels>(sound); }

class TZelObjectManager::TBusy {
public:
    explicit TBusy(TZelObjectManager& m) : m_(m) { ++m_.busy_; }
    ~TBusy() {
        if (--m_.busy_ == 0) m_.Settle();
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TZelObjectManager& m_;
};

TZelObjectManager::TZelObjectManager(IGameFiles* files) { SetGameFiles(files); }

TZelObjectManager::~TZelObjectManager() = default;

void TZelObjectManager::SetGameFiles(IGameFiles* files) {
    if (files) paths_.SetExists([files](std::string_view name) { return files->GameFileExists(name); });
    else paths_.SetExists(nullptr);
}

void TZelObjectManager::SetPayloadFactory(uint8_t typeNo, TPayloadFactory factory) {
    if (typeNo <= kLastKind) payloads_[typeNo] = std::move(factory);
}

void TZelObjectManager::RegisterExtensionClass(std::string_view word, TExtensionFactory factory) {
    extensions_.push_back({AsciiLower(word), std::move(factory)});
}

// ---- the factory ----

std::unique_ptr<TZelObjectDataCustom> TZelObjectManager::CreateObject(std::string_view typeWord,
                                                                      std::string_view name) const {
    if (typeWord.empty()) return nullptr;
    // The extension classes come last and win: the last one registered first.
    for (auto it = extensions_.rbegin(); it != extensions_.rend(); ++it) {
        if (!EqualsNoCase(it->word, typeWord)) continue;
        std::unique_ptr<IObjectPayload> payload = it->factory ? it->factory(name) : nullptr;
        return std::make_unique<TZelObjectDataDLLObject>(it->word, name, std::move(payload));
    }
    const uint8_t no = ObjectTypeNumber(typeWord);
    if (no == 0) return nullptr;
    std::unique_ptr<IObjectPayload> payload;
    if (KindHoldsPayload(no) && payloads_[no]) payload = payloads_[no](no, name);
    return MakeBuiltInObject(no, name, std::move(payload));
}

// ---- the registry ----

bool TZelObjectManager::Add(std::unique_ptr<TZelObjectDataCustom> object) {
    if (!object || object->ObjectName.empty() || IndexOf(object->ObjectName) >= 0) return false;
    objects_.push_back(std::move(object));
    return true;
}

int32_t TZelObjectManager::IndexOf(std::string_view name) {
    if (name.empty()) return -1;
    const int32_t hash = NameHash(name);
    for (size_t i = 0; i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (!o || o->NameHash != hash || !EqualsNoCase(o->ObjectName, name)) continue;
        TCacheEntry& e = cache_[cacheNext_];
        cacheNext_ = (cacheNext_ + 1) % cache_.size();
        e.hash = hash;
        e.object = o;
        return static_cast<int32_t>(i);
    }
    return -1;
}

TZelObjectDataCustom* TZelObjectManager::Find(std::string_view name) {
    if (name.empty()) return nullptr;
    const int32_t hash = NameHash(name);
    for (const TCacheEntry& e : cache_)
        if (e.object && e.hash == hash && EqualsNoCase(e.object->ObjectName, name)) return e.object;
    const int32_t i = IndexOf(name);
    return i < 0 ? nullptr : objects_[static_cast<size_t>(i)].get();
}

bool TZelObjectManager::Remove(std::string_view name) {
    const int32_t i = IndexOf(name);
    ClearCache();
    if (i < 0) return false;
    Forget(static_cast<size_t>(i));
    if (busy_ == 0) Settle();
    return true;
}

void TZelObjectManager::Clear() { ClearExcept({}); }

void TZelObjectManager::ClearExcept(const std::vector<std::string>& keep) {
    ClearCache();
    ResetWeights();
    for (size_t i = 0; i < objects_.size(); ++i) {
        const TZelObjectDataCustom* o = objects_[i].get();
        if (!o) continue;
        const bool kept = std::any_of(keep.begin(), keep.end(),
                                      [&](const std::string& k) { return EqualsNoCase(k, o->ObjectName); });
        if (!kept) Forget(i);
    }
    if (busy_ == 0) Settle();
}

// Takes the object out of the list; it is destroyed by Settle.
void TZelObjectManager::Forget(size_t index) {
    freed_.push_back(std::move(objects_[index]));
    ++holes_;
}

void TZelObjectManager::Settle() {
    if (holes_ > 0) {
        objects_.erase(std::remove(objects_.begin(), objects_.end(), nullptr), objects_.end());
        holes_ = 0;
    }
    // Destroyed outside the list: a destructor that reaches the manager finds it whole.
    std::vector<std::unique_ptr<TZelObjectDataCustom>> gone;
    gone.swap(freed_);
    gone.clear();
}

void TZelObjectManager::ClearCache() {
    for (TCacheEntry& e : cache_) e = TCacheEntry{};
    cacheNext_ = 0;
}

void TZelObjectManager::ResetWeights() {
    along_ = kDefaultAlong;
    across_ = kDefaultAcross;
}

void TZelObjectManager::SetNavigationWeights(int32_t along, int32_t across) {
    along_ = along > 0 ? along : kDefaultAlong;
    across_ = across > 0 ? across : kDefaultAcross;
}

// ---- passes ----
// Each walks the objects that were in the list when it began; objects added
// during a pass take part from the next one.

void TZelObjectManager::UpdateAll(uint32_t layerMask, int32_t elapsedMs, uint32_t classes) {
    classes &= 0xFFFF;  // draw classes above 15 never take part
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (!o || !(classes & DrawClassBit(o->DrawClass))) continue;
        o->OffsetX = scrollX_;
        o->OffsetY = scrollY_;
    }
    for (size_t i = 0; i < n && i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (o && (classes & DrawClassBit(o->DrawClass))) o->Update(layerMask, elapsedMs);
    }
}

void TZelObjectManager::DrawAll(TARGB8888CellDraw& cells, uint32_t layerMask, uint32_t classes, bool fixedPass) {
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (o && (classes & DrawClassBit(o->DrawClass))) o->Draw(cells, layerMask, fixedPass);
    }
}

void TZelObjectManager::PointerMoveAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes) {
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (o && (classes & DrawClassBit(o->DrawClass))) o->PointerMove(layerMask, x, y);
    }
}

void TZelObjectManager::PointerButtonAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes) {
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i) {
        TZelObjectDataCustom* o = objects_[i].get();
        if (o && (classes & DrawClassBit(o->DrawClass))) o->PointerButton(layerMask, x, y);
    }
}

TZelObjectDataCustom* TZelObjectManager::HitTestAll(uint32_t layerMask, int32_t x, int32_t y, uint32_t classes) {
    TZelObjectDataCustom* hit = nullptr;
    {
        TBusy busy(*this);
        size_t at = 0;
        const size_t n = objects_.size();
        for (size_t i = 0; i < n && i < objects_.size(); ++i) {
            TZelObjectDataCustom* o = objects_[i].get();
            if (o && (classes & DrawClassBit(o->DrawClass)) && o->HitTest(layerMask, x, y)) {
                hit = o;
                at = i;
            }
        }
        // An object freed by a later hit test is no answer.
        if (hit && (at >= objects_.size() || objects_[at].get() != hit)) hit = nullptr;
    }
    return hit;
}

void TZelObjectManager::RestoreAll() {
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i)
        if (TZelObjectDataCustom* o = objects_[i].get()) o->RestoreResources();
}

void TZelObjectManager::RememberAll() {
    TBusy busy(*this);
    const size_t n = objects_.size();
    for (size_t i = 0; i < n && i < objects_.size(); ++i)
        if (TZelObjectDataCustom* o = objects_[i].get()) o->RememberResources();
}

int TZelObjectManager::MessageWindowState() {
    int state = 0;
    for (const auto& o : objects_) {
        if (!o || o->DrawClass != 2 || !o->Payload()) continue;
        const int s = o->Payload()->MessageState();
        if (s == 1) return 1;
        if (s == 2) state = 2;
    }
    return state;
}

// ---- navigation ----

TPoint TZelObjectManager::FindNearestPoint(int32_t x, int32_t y, uint32_t layerMask, int32_t maxX, int32_t maxY,
                                           int32_t dx, int32_t dy) {
    points_.clear();
    for (const auto& o : objects_) {
        if (!o || !(kNavigationClasses & DrawClassBit(o->DrawClass))) continue;
        const IObjectPayload* p = o->Payload();
        TPoint pt;
        if (p && p->NavigationPoint(layerMask, pt.X, pt.Y)) points_.push_back(pt);
    }
    return NearestPoint(points_, x, y, maxX, maxY, dx, dy, along_, across_);
}

// Distances and costs in 64 bits: script-set weights have no bound.
TPoint TZelObjectManager::NearestPoint(const std::vector<TPoint>& points, int32_t x, int32_t y, int32_t maxX,
                                       int32_t maxY, int32_t dx, int32_t dy, int32_t along, int32_t across) {
    constexpr int64_t kNone = 65536;
    const int64_t wx = dx != 0 ? along : across;
    const int64_t wy = dy != 0 ? along : across;
    int64_t best = kNone;
    TPoint result{x, y};
    for (const TPoint& p : points) {
        if (p.X < 0 || p.Y < 0 || p.X > maxX || p.Y > maxY) continue;
        const int64_t ox = int64_t{p.X} - x, oy = int64_t{p.Y} - y;
        const int64_t ax = std::llabs(ox), ay = std::llabs(oy);
        if (ax <= 3 && ay <= 3) continue;  // the point under the pointer
        const int64_t alongX = ox * dx, alongY = oy * dy;
        if (alongX < 0 || alongY < 0 || std::llabs(alongX + alongY) <= 3) continue;
        const bool inLine = (dx != 0 && ay < 3) || (dy != 0 && ax < 3);
        if (inLine && (ax + ay) / 4 < best) {
            best = (ax + ay) / 4;
            result = p;
        }
        const int64_t cost = ax * wx + ay * wy;
        if (cost < best) {
            best = cost;
            result = p;
        }
    }
    if (best != kNone) return result;
    // Nothing lies that way: the nearest point overall, unless it is close.
    bool any = false;
    int64_t smallest = 0;
    TPoint nearest{x, y};
    for (const TPoint& p : points) {
        const int64_t cost = std::llabs(int64_t{p.X} - x) * wx + std::llabs(int64_t{p.Y} - y) * wy;
        if (!any || cost < smallest) {
            any = true;
            smallest = cost;
            nearest = p;
        }
    }
    if (!any || smallest < 50) return TPoint{x, y};
    return nearest;
}

// ---- swap ----

bool TZelObjectManager::Swap(std::string_view a, std::string_view b) {
    TZelObjectDataCustom* x = Find(a);
    TZelObjectDataCustom* y = Find(b);
    if (!x || !y || x == y || x->TypeNo != y->TypeNo) return false;
    switch (x->TypeNo) {
        case kKindSoundStream:
        case kKindSoundEffect: {
            const uint8_t no = x->TypeNo;
            const int32_t count = channels_ ? channels_->ChannelCount(no) : DefaultChannelCount(no);
            const int32_t ca = ObjectChannelOf(x->ObjectName), cb = ObjectChannelOf(y->ObjectName);
            if (ca < 0 || cb < 0 || ca >= count || cb >= count) return false;
            if (channels_ && ca != cb) channels_->SwapChannels(no, ca, cb);
            return true;
        }
        case kKindExtensionObject:
            // The class and its object go together: objects of two classes cannot trade.
            if (!EqualsNoCase(x->TypeWord(), y->TypeWord())) return false;
            break;
        case kKindImage:
        case kKindMessage:
        case kKindButton:
        case kKindScrollBar:
        case kKindSysImage:
        case kKindSysButton:
        case kKindFile:
        case kKindStringList: break;
        default: return false;
    }
    std::unique_ptr<IObjectPayload>* px = x->PayloadSlot();
    std::unique_ptr<IObjectPayload>* py = y->PayloadSlot();
    if (!px || !py) return false;
    px->swap(*py);
    return true;
}

// ---- object callbacks ----

bool TZelObjectManager::OnCreateObject(const std::string& typeName, const std::string&,
                                       const std::string& objectName) {
    return Add(CreateObject(typeName, objectName));
}

bool TZelObjectManager::OnFreeObject(const std::string&, const std::string&, const std::string& objectName) {
    return Remove(objectName);
}

void TZelObjectManager::OnSaveObject(TMemoryStream& stream, const std::string& typeName,
                                     const std::string& objectName, const std::string&) {
    TZelObjectDataCustom* o = Find(objectName);
    // Records carry no length: an element without its object still writes
    // what a fresh object of its kind would, so the load reads it back whole.
    if (o && EqualsNoCase(o->TypeWord(), typeName)) {
        o->SaveToStream(stream);
        return;
    }
    // An extension object's record is empty (and making one would create a class object).
    for (const TExtensionClass& e : extensions_)
        if (EqualsNoCase(e.word, typeName)) return;
    if (const auto fresh = CreateObject(typeName, {})) fresh->SaveToStream(stream);
}

bool TZelObjectManager::OnLoadObject(TMemoryStream& stream, const std::string& typeName,
                                     const std::string& objectName, const std::string&) {
    std::unique_ptr<TZelObjectDataCustom> o = CreateObject(typeName, objectName);
    // Without the kind the rest of the stream cannot be read.
    if (!o) throw EStreamError("stored object \"" + objectName + "\" of unknown kind \"" + typeName + "\"");
    if (!o->LoadFromStream(stream)) throw EStreamError("bad state record of stored object \"" + objectName + "\"");
    return Add(std::move(o));
}

bool TZelObjectManager::FindObject(std::string_view name, TScriptObjectInfo& info) {
    const TZelObjectDataCustom* o = Find(name);
    if (!o) return false;
    info.TypeNo = o->TypeNo;
    info.TypeWord.assign(o->TypeWord());
    return true;
}

bool TZelObjectManager::ObjectCommand(ICommandContext& context, std::string_view name) {
    TZelObjectDataCustom* o = Find(name);
    if (!o || !context.Command().Fields) return false;
    TBusy busy(*this);
    if (const TObjectCommandHandler* handler = handlers_.Find(o->TypeNo)) return (*handler)(context, name);
    if (KindHoldsPayload(o->TypeNo) && !o->Payload()) {
        context.ReportError(std::string(name) + "(" + std::string(o->TypeWord()) + "): " +
                            std::string(PayloadKindName(o->TypeNo)) + " objects are not available in this build: " +
                            std::string(context.Command().Segment));
        return true;
    }
    return false;
}

}  // namespace zel
