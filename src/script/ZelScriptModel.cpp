#include "script/ZelScriptModel.h"

#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"

namespace zel {

namespace {

// "ブロックスタックが限界値を超えました。"
constexpr char kBlockStackOverflow[] =
    "\x83\x75\x83\x8d\x83\x62\x83\x4e\x83\x58\x83\x5e\x83\x62\x83\x4e\x82\xaa\x8c\xc0\x8a\x45\x92\x6c\x82\xf0"
    "\x92\xb4\x82\xa6\x82\xdc\x82\xb5\x82\xbd\x81\x42";
// "サブルーチンスタックが限界値を超えました。"
constexpr char kRoutineStackOverflow[] =
    "\x83\x54\x83\x75\x83\x8b\x81\x5b\x83\x60\x83\x93\x83\x58\x83\x5e\x83\x62\x83\x4e\x82\xaa\x8c\xc0\x8a\x45"
    "\x92\x6c\x82\xf0\x92\xb4\x82\xa6\x82\xdc\x82\xb5\x82\xbd\x81\x42";

// Smallest stored block: five strings of length 0 plus kind, offset, column
// and eight empty values.
constexpr uint64_t kMinBlockBytes = 2 + 1 + 2 + 4 + 4 + kBlockValueCount * 2;
// Smallest stored routine: its count, one block and the fixed fields.
constexpr uint64_t kMinRoutineBytes = 4 + kMinBlockBytes + kScopedObjectCount * 2 + 1 + 4 + 4 + 2 + 4 + 2 + 2;

// A stored list must hold at least one element (the base block or routine 0)
// and at most one more than the limit, which a running script may reach.
bool ValidStoredCount(int32_t n, int32_t limit) { return n >= 1 && n <= limit + 1; }

}  // namespace

bool IsSkippingBlockKind(uint8_t kind) {
    switch (kind) {
        case bkIfInSkipped:
        case bkIfSkip:
        case bkForInSkipped:
        case bkForEnd:
        case bkForContinue:
        case bkCaseInSkipped:
        case bkCaseSkip:
            return true;
        default:
            return false;
    }
}

// ---- TScriptBlock ----

bool TScriptBlock::SaveToStream(TMemoryStream& s) const {
    WriteLenString(s, file);
    s.WriteU8(kind);
    WriteLenString(s, label);
    s.WriteI32(lineOffset);
    s.WriteI32(column);
    for (const std::string& v : values) WriteLenString(s, v);
    return true;
}

bool TScriptBlock::LoadFromStream(TMemoryStream& s) {
    TScriptBlock b;
    try {
        b.file = ReadLenString(s);
        b.kind = s.ReadU8();
        b.label = ReadLenString(s);
        b.lineOffset = s.ReadI32();
        b.column = s.ReadI32();
        for (std::string& v : b.values) v = ReadLenString(s);
    } catch (const EStreamError&) {
        return false;
    }
    *this = std::move(b);
    return true;
}

void TScriptBlock::Clear() {
    file.clear();
    kind = bkFresh;
    label.clear();
    lineOffset = 0;
    column = 0;
    for (std::string& v : values) v.clear();
}

// ---- TScriptRoutine ----

TScriptBlock* TScriptRoutine::NewChild() {
    TScriptBlock* b = AppendChild();
    if (Count() > kMaxScriptBlocks) ReportError(kBlockStackOverflow);
    return b;
}

bool TScriptRoutine::SaveToStream(TMemoryStream& s) const {
    s.WriteI32(Count());
    for (const auto& b : children_) b->SaveToStream(s);
    for (const std::string& name : scopedObjects) WriteLenString(s, name);
    s.WriteU8(waitState);
    s.WriteI32(waitTime);
    s.WriteI32(creditTime);
    WriteLenString(s, jumpLabel);
    s.WriteI32(soundChannel);
    WriteLenString(s, waitRoutineLabel);
    WriteLenString(s, waitArgument);
    return true;
}

bool TScriptRoutine::LoadFromStream(TMemoryStream& s) {
    TScriptRoutine r;
    try {
        const int32_t n = s.ReadI32();
        if (!ValidStoredCount(n, kMaxScriptBlocks)) return false;
        s.RequireItems(static_cast<uint64_t>(n), kMinBlockBytes);
        for (int32_t i = 0; i < n; ++i) {
            // Restoring a stack is not pushing onto it: no overflow message.
            if (!r.AppendChild()->LoadFromStream(s)) return false;
        }
        for (std::string& name : r.scopedObjects) name = ReadLenString(s);
        r.waitState = s.ReadU8();
        r.waitTime = s.ReadI32();
        r.creditTime = s.ReadI32();
        r.jumpLabel = ReadLenString(s);
        r.soundChannel = s.ReadI32();
        r.waitRoutineLabel = ReadLenString(s);
        r.waitArgument = ReadLenString(s);
    } catch (const EStreamError&) {
        return false;
    }
    *this = std::move(r);
    return true;
}

void TScriptRoutine::Clear() {
    TScriptRoutineBase::Clear();
    for (std::string& name : scopedObjects) name.clear();
    waitState = 0;
    waitTime = 0;
    creditTime = 0;
    jumpLabel.clear();
    soundChannel = 0;
    waitRoutineLabel.clear();
    waitArgument.clear();
}

int32_t TScriptRoutine::FindBlockByKind(uint8_t kind) const {
    for (int32_t i = Count() - 1; i >= 0; --i) {
        if (children_[static_cast<size_t>(i)]->kind == kind) return i;
    }
    return -1;
}

bool TScriptRoutine::InSkippedRegion() const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        if (IsSkippingBlockKind((*it)->kind)) return true;
    }
    return false;
}

// ---- TScriptThread ----

TScriptRoutine* TScriptThread::NewChild() {
    TScriptRoutine* r = AppendChild();
    if (Count() > kMaxScriptRoutines) ReportError(kRoutineStackOverflow);
    return r;
}

bool TScriptThread::SaveToStream(TMemoryStream& s) const {
    s.WriteI32(Count());
    for (const auto& r : children_) r->SaveToStream(s);
    return true;
}

bool TScriptThread::LoadFromStream(TMemoryStream& s) {
    TScriptThread t;
    try {
        const int32_t n = s.ReadI32();
        if (!ValidStoredCount(n, kMaxScriptRoutines)) return false;
        s.RequireItems(static_cast<uint64_t>(n), kMinRoutineBytes);
        for (int32_t i = 0; i < n; ++i) {
            if (!t.AppendChild()->LoadFromStream(s)) return false;
        }
    } catch (const EStreamError&) {
        return false;
    }
    *this = std::move(t);
    return true;
}

void TScriptThread::Reset() {
    Clear();
    NewChild()->NewChild()->kind = bkBase;
}

int32_t TScriptThread::FindRoutineByCallerLabel(std::string_view name) const {
    for (int32_t i = Count() - 1; i >= 0; --i) {
        const TScriptRoutine& r = *children_[static_cast<size_t>(i)];
        if (r.Count() == 0) continue;
        if (EqualsNoCase(r.Get(0)->label, name)) return i;
    }
    return -1;
}

}  // namespace zel
