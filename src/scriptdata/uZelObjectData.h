// Script objects: the base every object kind derives from, the payload
// interface through which the visual and data kinds hold what their own
// subsystem provides, and the table of the 35 kinds.
//
// Every object has a name (as created, case kept), a type number that selects
// its command handler and a draw class that selects the manager's passes it
// takes part in:
//
//   no  word    draw  holds                    no  word    draw  holds
//    1  sys      0    -                        18  simg     7    payload (image)
//    2  dat      0    -                        19  sbtn     8    payload (button)
//    3  sdat     0    -                        20  file     0    payload (name=value file)
//    4  snd      0    stream channel (name)    21  tcp      0    -
//    5  dsnd     0    effect channel (name)    22  dlg      0    -
//    6  img      1    payload (image)          23  slog     0    -
//    7  msg      2    payload (message window) 24  flog     0    -
//    8  btn      3    payload (button)         26  math     0    -
//    9  bar      3    payload (scroll bar)     27  list     0    string list (built in)
//   10  eff      4    -                        28  cfg      0    -
//   11  scsr     5    -                        29  misc     0    -
//   12  csr      6    -                        30  inp      0    -
//   13  log      0    -                        31  skey     0    -
//   14  cam     10    -                        32  clip     0    -
//   15  rep      0    -                        33  dlgs     0    -
//   16  path     0    -                        34  (class)  0    payload (extension object)
//   17  show    11    -                        35  ext      9    -
//
// Type number 25 is not used. Kinds marked "-" are handles through which
// their commands reach engine-wide services; they keep no state.
//
// State records (what SaveToStream writes inside the variable store's stream
// form; they carry no length, so a kind always reads exactly what it wrote):
// a payload kind writes its payload's stream form (nothing while the kind has
// no payload in this build); "list" writes int32 count and the strings (16-bit
// length + bytes); kind 34 writes nothing (an extension object comes back from
// a saved game freshly created); every other kind writes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "scriptdata/uZelPath.h"

namespace zel {

class TARGB8888CellDraw;
class TMemoryStream;

inline constexpr uint8_t kKindSystem = 1, kKindSoundStream = 4, kKindSoundEffect = 5, kKindImage = 6,
                         kKindMessage = 7, kKindButton = 8, kKindScrollBar = 9, kKindSysImage = 18,
                         kKindSysButton = 19, kKindFile = 20, kKindStringList = 27, kKindExtensionObject = 34,
                         kKindExtend = 35;
inline constexpr uint8_t kLastKind = 35;

// Payload layers from this one up are fixed to the screen: not shifted by the
// scroll offset, drawn only in a fixed pass.
inline constexpr int32_t kFixedLayer = 1000;

// Draw-class sets of the manager's passes: bit n selects draw class n.
constexpr uint32_t DrawClassBit(uint8_t drawClass) { return drawClass < 32 ? uint32_t{1} << drawClass : 0; }
inline constexpr uint32_t kFrameClasses = 0xFFE;  // classes 1-11: every frame's update and draw
inline constexpr uint32_t kButtonClasses = DrawClassBit(3);
inline constexpr uint32_t kMessageClasses = DrawClassBit(2);
inline constexpr uint32_t kSystemPointerClasses = DrawClassBit(7) | DrawClassBit(8);
inline constexpr uint32_t kWaitPointerClasses = DrawClassBit(1) | DrawClassBit(2) | DrawClassBit(3);
inline constexpr uint32_t kNavigationClasses = kWaitPointerClasses | kSystemPointerClasses;

// Type number of a built-in type word (ignoring case), 0 when it names none.
uint8_t ObjectTypeNumber(std::string_view typeWord);
// Type word of a built-in type number; "none" for a number no kind uses
// (kind 34 has no word of its own: each extension class names its objects).
std::string_view ObjectTypeWord(uint8_t typeNo);
// Draw class of a type number (0 for non-visual kinds and unused numbers).
uint8_t ObjectDrawClass(uint8_t typeNo);
// True for the kinds whose state comes from a payload (6-9, 18-20, 34).
bool KindHoldsPayload(uint8_t typeNo);
// What a payload kind is, for the message of a command that reaches it
// before its payload exists ("image", "button" ...); empty for other kinds.
std::string_view PayloadKindName(uint8_t typeNo);

// The channel an object of a sound kind drives: the number after the last
// comma of its name ("0_snd,3" drives channel 3); 0 when there is no comma,
// -1 when the text after it is not a number.
int32_t ObjectChannelOf(std::string_view objectName);

// What an object of a payload kind holds: an image, a message window, a
// button, a scroll bar, a name=value file, an extension object. The subsystem
// that provides it implements this interface and registers a factory for its
// type numbers with the manager (TZelObjectManager::SetPayloadFactory); the
// manager builds one payload per object and owns it through the object.
//
// Swap exchanges the payloads of two objects of one kind, so a payload must
// not remember which object holds it (or the object's name); it is the
// content, and the names stay with their variables. Command handlers reach a
// payload with TZelObjectManager::Find(name)->Payload() and cast it to their
// own class (the type number tells which).
//
// Coordinates: an object applies the scroll offset for its payload unless the
// payload's Layer() is kFixedLayer or more: Draw receives the offset to add to
// the payload's own position, and pointer coordinates arrive already shifted
// by minus the offset, so a payload works in its own coordinates throughout.
//
// Every operation may be called at any time from the manager's passes, never
// from another thread. The defaults do nothing.
class IObjectPayload {
public:
    virtual ~IObjectPayload() = default;

    // Back to the initial state of a new object of the kind.
    virtual void Reset() {}
    // A one-line description of the state (for diagnostics).
    virtual std::string DescribeState() const { return {}; }
    // The kind's state record; Load reads exactly what Save wrote (records
    // carry no length). A record Load cannot take raises EStreamError or
    // returns false: the manager then discards the object and fails the
    // whole load, so a payload need not undo a half-read record.
    virtual bool SaveToStream(TMemoryStream& stream) const = 0;
    virtual bool LoadFromStream(TMemoryStream& stream) = 0;

    virtual void Update(uint32_t /*layerMask*/, int32_t /*elapsedMs*/) {}
    virtual void Draw(TARGB8888CellDraw& /*cells*/, uint32_t /*layerMask*/, int32_t /*shiftX*/, int32_t /*shiftY*/) {}
    virtual void PointerMove(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void PointerButton(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) {}
    // True when the pointer action at (x, y) selects this payload (buttons).
    // Message windows take it as a click notice and answer false.
    virtual bool HitTest(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) { return false; }
    // After the display device was reset: reload files, restore visibility
    // and motion as RememberResources left them.
    virtual void RestoreResources() {}
    virtual void RememberResources() {}

    // The layer cells are submitted on; kFixedLayer and above: fixed.
    virtual int32_t Layer() const { return 0; }
    // Keyboard and pad navigation: true when the payload is a target (it is
    // visible, its layer mask shares a bit with layerMask and its navigation
    // offset is not (0,0)), with its position plus that offset in x, y.
    virtual bool NavigationPoint(uint32_t /*layerMask*/, int32_t& /*x*/, int32_t& /*y*/) const { return false; }
    // Message windows: 1 text still appearing, 2 a finished page waiting, 0.
    virtual int MessageState() const { return 0; }
};

// Base of every object kind. The base operations do nothing (and succeed).
class TZelObjectDataCustom {
public:
    TZelObjectDataCustom(uint8_t typeNo, std::string_view name);
    virtual ~TZelObjectDataCustom() = default;
    TZelObjectDataCustom(const TZelObjectDataCustom&) = delete;
    TZelObjectDataCustom& operator=(const TZelObjectDataCustom&) = delete;

    int32_t OffsetX = 0, OffsetY = 0;  // scroll offset, copied before each update
    const std::string ObjectName;
    const uint8_t TypeNo;
    const uint8_t DrawClass;
    const int32_t NameHash;  // of the case-folded name, as for variables

    // The word that declares the kind ("img"; an extension object's class word).
    virtual std::string_view TypeWord() const { return ObjectTypeWord(TypeNo); }

    // The virtual slots, in the order the engine knows them.
    virtual void Reset();
    virtual std::string DescribeState() const { return {}; }
    virtual bool SaveToStream(TMemoryStream& /*stream*/) const { return true; }
    virtual bool LoadFromStream(TMemoryStream& /*stream*/) { return true; }
    virtual void Update(uint32_t /*layerMask*/, int32_t /*elapsedMs*/) {}
    virtual void Draw(TARGB8888CellDraw& /*cells*/, uint32_t /*layerMask*/, bool /*fixedPass*/) {}
    virtual void PointerMove(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void PointerButton(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual bool HitTest(uint32_t /*layerMask*/, int32_t /*x*/, int32_t /*y*/) { return false; }
    virtual void RestoreResources() {}
    virtual void RememberResources() {}

    // The payload of a payload kind; null for other kinds and for a payload
    // kind whose subsystem has not registered a factory.
    virtual IObjectPayload* Payload() { return nullptr; }
    const IObjectPayload* Payload() const { return const_cast<TZelObjectDataCustom*>(this)->Payload(); }
    // The slot Swap exchanges; null for kinds that have none.
    virtual std::unique_ptr<IObjectPayload>* PayloadSlot() { return nullptr; }
};

// A kind whose state is its payload. Without one (its subsystem is not in this
// build) every slot does nothing and the state record is empty.
class TZelObjectDataPayload : public TZelObjectDataCustom {
public:
    TZelObjectDataPayload(uint8_t typeNo, std::string_view name, std::unique_ptr<IObjectPayload> payload);

    void Reset() override;
    std::string DescribeState() const override;
    bool SaveToStream(TMemoryStream& stream) const override;
    bool LoadFromStream(TMemoryStream& stream) override;
    void Update(uint32_t layerMask, int32_t elapsedMs) override;
    void Draw(TARGB8888CellDraw& cells, uint32_t layerMask, bool fixedPass) override;
    void PointerMove(uint32_t layerMask, int32_t x, int32_t y) override;
    void PointerButton(uint32_t layerMask, int32_t x, int32_t y) override;
    bool HitTest(uint32_t layerMask, int32_t x, int32_t y) override;
    void RestoreResources() override;
    void RememberResources() override;

    IObjectPayload* Payload() override { return payload_.get(); }
    std::unique_ptr<IObjectPayload>* PayloadSlot() override { return &payload_; }

protected:
    bool Fixed() const { return payload_ && payload_->Layer() >= kFixedLayer; }

    std::unique_ptr<IObjectPayload> payload_;
};

// An object of an extension class (kind 34): the class's word, and the
// class's object as payload. Its state record is empty.
class TZelObjectDataDLLObject final : public TZelObjectDataPayload {
public:
    TZelObjectDataDLLObject(std::string_view classWord, std::string_view name,
                            std::unique_ptr<IObjectPayload> payload);
    std::string_view TypeWord() const override { return classWord_; }
    bool SaveToStream(TMemoryStream&) const override { return true; }
    bool LoadFromStream(TMemoryStream&) override { return true; }

private:
    std::string classWord_;
};

// "list": an ordered set of strings, its payload built in.
class TStringListPayload final : public IObjectPayload {
public:
    void Reset() override { List.Clear(); }
    bool SaveToStream(TMemoryStream& stream) const override;
    bool LoadFromStream(TMemoryStream& stream) override;

    TZelStringList List;
};

// Builds an object of a built-in kind with the payload given (payload kinds
// only; "list" makes its own). Null for a number no kind uses and for 34.
std::unique_ptr<TZelObjectDataCustom> MakeBuiltInObject(uint8_t typeNo, std::string_view name,
                                                        std::unique_ptr<IObjectPayload> payload);

}  // namespace zel
