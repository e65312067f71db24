// The control state of one script thread: a call stack of routines, each with
// a stack of blocks for the nesting of \if, \for and \case.
//
// The model knows nothing about command syntax; the control-flow commands push,
// pop and mark its elements. It saves itself into the game-state stream of a
// save file. Record layout (little-endian; "str" is a length-prefixed string,
// an unsigned 16-bit byte count followed by the bytes):
//
//   thread:  int32 routine count N, then N routine records
//   routine: int32 block count B, then B block records;
//            16 str scoped object names; u8 wait state; int32 wait time;
//            int32 credit time; str jump label; int32 sound channel;
//            str wait routine label; str wait argument
//   block:   str file; u8 kind; str label; int32 line offset; int32 column;
//            8 str values
//
// A stored thread always holds 1..1025 routines and every routine 1..1025
// blocks (its base block first); anything else is refused on load, and a
// refused load leaves the model as it was.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TMemoryStream;

// Block kinds. Kinds above 11 count as executing.
enum TBlockKind : uint8_t {
    bkFresh = 0,          // opened, no kind assigned yet (executing)
    bkIfInSkipped = 1,    // \if met inside a skipped region
    bkIfRun = 2,          // \if branch that runs
    bkIfSkip = 3,         // \if branch that is skipped
    bkForInSkipped = 4,   // \for met inside a skipped region
    bkForRun = 5,         // \for loop body that runs
    bkForEnd = 6,         // \for loop that ends at its \next
    bkForContinue = 7,    // \for loop continued by \cnt: skip to \next, test again
    bkCaseInSkipped = 8,  // \case met inside a skipped region
    bkCaseRun = 9,        // \case arm that runs
    bkCaseSkip = 10,      // \case arm that is skipped
    bkBase = 11,          // base block of a routine (holds the return position)
};

// True for the kinds whose contents are skipped.
bool IsSkippingBlockKind(uint8_t kind);

// A block may hold at most this many blocks per routine, and a thread this
// many routines; one more is still pushed, with an error report.
constexpr int32_t kMaxScriptBlocks = 1024;
constexpr int32_t kMaxScriptRoutines = 1024;
constexpr int kScopedObjectCount = 16;
constexpr int kBlockValueCount = 8;

class TScriptDataInterface {
public:
    TScriptDataInterface() = default;
    TScriptDataInterface(const TScriptDataInterface&) = delete;
    TScriptDataInterface& operator=(const TScriptDataInterface&) = delete;
    TScriptDataInterface(TScriptDataInterface&&) = default;
    TScriptDataInterface& operator=(TScriptDataInterface&&) = default;
    virtual ~TScriptDataInterface() = default;

    virtual bool SaveToStream(TMemoryStream& s) const = 0;
    // Reads the record; on false the object is unchanged (the stream position
    // is not restored).
    virtual bool LoadFromStream(TMemoryStream& s) = 0;
    virtual void Clear() = 0;
};

// An ordered list of owned children. Pointers handed out stay valid until the
// child is removed.
template <class Child>
class TScriptDataListInterface : public TScriptDataInterface {
public:
    // Appends one new child and returns it.
    virtual Child* NewChild() = 0;

    void Clear() override { children_.clear(); }

    int32_t Count() const { return static_cast<int32_t>(children_.size()); }
    // The child at i, or nullptr when i is out of range.
    Child* Get(int32_t i) const {
        return (i >= 0 && i < Count()) ? children_[static_cast<size_t>(i)].get() : nullptr;
    }
    // The last child, or nullptr when there is none.
    Child* Top() const { return children_.empty() ? nullptr : children_.back().get(); }
    // Frees the last child; false when the list is empty.
    bool Pop() {
        if (children_.empty()) return false;
        children_.pop_back();
        return true;
    }
    // Frees the child at i; false when i is out of range.
    bool Delete(int32_t i) {
        if (i < 0 || i >= Count()) return false;
        children_.erase(children_.begin() + i);
        return true;
    }
    // Pops until Count() == level + 1. False, with nothing popped, when the
    // list is empty or level is outside 0..Count()-1.
    bool PopTo(int32_t level) {
        if (children_.empty() || level < 0 || level >= Count()) return false;
        children_.resize(static_cast<size_t>(level) + 1);
        return true;
    }

protected:
    Child* AppendChild() {
        children_.push_back(std::make_unique<Child>());
        return children_.back().get();
    }

    std::vector<std::unique_ptr<Child>> children_;
};

class TScriptBlockBase : public TScriptDataInterface {};

// One nesting level. The position fields let a loop jump back to the line
// after its \for, and let the base block of a routine hold the caller's
// return position.
class TScriptBlock : public TScriptBlockBase {
public:
    bool SaveToStream(TMemoryStream& s) const override;
    bool LoadFromStream(TMemoryStream& s) override;
    void Clear() override;

    std::string file;       // script file current when the block was opened
    uint8_t kind = bkFresh;
    std::string label;      // current label when the block was opened
    int32_t lineOffset = 0; // lines since that label at that moment
    int32_t column = 0;     // column right after the opening command
    // 0: \if value / \for condition / \case value; 1: \for step / \case matched flag.
    std::array<std::string, kBlockValueCount> values;
};

class TScriptRoutineBase : public TScriptDataListInterface<TScriptBlock> {};

// One call frame. Its first block (kind 11) holds the caller's position.
class TScriptRoutine : public TScriptRoutineBase {
public:
    bool SaveToStream(TMemoryStream& s) const override;
    bool LoadFromStream(TMemoryStream& s) override;
    void Clear() override;
    // Appends a block; past kMaxScriptBlocks the block stays and the overflow
    // is reported.
    TScriptBlock* NewChild() override;

    // Topmost block of that kind, as an index, or -1.
    int32_t FindBlockByKind(uint8_t kind) const;
    // True when any block has a skipping kind.
    bool InSkippedRegion() const;

    // Objects that commands are sent to; the list ends at the first empty name.
    std::array<std::string, kScopedObjectCount> scopedObjects;
    uint8_t waitState = 0;     // 0 running, 1..10 the kind of wait
    int32_t waitTime = 0;      // ms, counts down, never below 0
    int32_t creditTime = 0;    // ms, counts down like waitTime
    std::string jumpLabel;     // label to jump to when a wait ends by a click
    int32_t soundChannel = 0;  // channel whose playback a wait watches
    std::string waitRoutineLabel;
    std::string waitArgument;
};

class TScriptThreadBase : public TScriptDataListInterface<TScriptRoutine> {};

// The call stack.
class TScriptThread : public TScriptThreadBase {
public:
    bool SaveToStream(TMemoryStream& s) const override;
    bool LoadFromStream(TMemoryStream& s) override;
    // Appends a routine; past kMaxScriptRoutines the routine stays and the
    // overflow is reported.
    TScriptRoutine* NewChild() override;

    // The state of a reset script: one routine holding one base block.
    void Reset();
    // Topmost routine whose base block records name (ignoring case) as the
    // caller's label, or -1. Routines without blocks are passed over.
    int32_t FindRoutineByCallerLabel(std::string_view name) const;
};

}  // namespace zel
