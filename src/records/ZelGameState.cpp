#include "records/ZelGameState.h"

#include <cstring>

#include "base/Errors.h"
#include "base/Sjis.h"
#include "records/ZelSaveData.h"
#include "script/ZelScriptLib.h"
#include "sound/OggPlayerLib.h"
#include "sound/uSoundLib.h"

namespace zel {

namespace {

constexpr size_t kSaveTextRoom = 63, kLayoutRoom = 127, kPatternRoom = 15, kPatternCount = 64;
constexpr int kLogSlots = 256, kEffectChannels = 15, kStreamChannels = 16;
constexpr size_t kMovieRecordSize = 156;

void PutI32(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}
int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

// ---- The empty records of parts the engine does not hold ----

void WriteEmptyPaths(TMemoryStream& s) {
    s.WriteI32(0);
    s.WriteU8(0);
}
bool ReadEmptyPaths(TMemoryStream& s) {
    const int32_t n = s.ReadI32();
    if (n < 0) return false;
    s.RequireItems(static_cast<uint64_t>(n), 2);
    for (int32_t i = 0; i < n; ++i) ReadLenString(s);
    s.ReadU8();
    return true;
}

void WriteEmptyMessageLog(TMemoryStream& s) {
    s.WriteI32(0);
    s.WriteI32(0);
    for (int i = 0; i < kLogSlots; ++i) {
        for (int t = 0; t < 3; ++t) WriteLenString(s, {});
        s.WriteI32(0);    // silence threshold
        s.WriteI32(0);    // seek
        s.WriteI32(255);  // volume
        s.WriteI32(0);    // gain level
    }
}
bool ReadMessageLog(TMemoryStream& s) {
    const int32_t count = s.ReadI32(), index = s.ReadI32();
    if (count < 0 || count > kLogSlots || index < 0 || index >= kLogSlots) return false;
    for (int i = 0; i < kLogSlots; ++i) {
        for (int t = 0; t < 3; ++t) ReadLenString(s);
        s.Skip(16);
    }
    return true;
}

void WriteEmptySound(TMemoryStream& s) {
    for (int i = 0; i < kEffectChannels; ++i) WriteSeRecord(s, TSeRecord{});
    for (int i = 0; i < kStreamChannels; ++i) WriteStreamRecord(s, TStreamRecord{});
}
bool ReadSound(TMemoryStream& s) {
    for (int i = 0; i < kEffectChannels; ++i) ReadSeRecord(s);
    for (int i = 0; i < kStreamChannels; ++i) ReadStreamRecord(s);
    return true;
}

void WriteEmptySystemKeys(TMemoryStream& s) {
    s.WriteU8(0);
    s.WriteU32(0);
}
bool ReadSystemKeys(TMemoryStream& s) {
    s.ReadU8();
    const uint32_t n = s.ReadU32();
    s.RequireItems(n, 12);
    for (uint32_t i = 0; i < n; ++i) {
        s.ReadU32();
        for (int t = 0; t < 4; ++t) ReadLenString(s);
    }
    return true;
}

void WriteEmptyMovie(TMemoryStream& s) {
    uint8_t r[kMovieRecordSize] = {};
    PutI32(r + 8, 200);
    PutI32(r + 12, 200);
    PutI32(r + 148, 255);
    s.Write(r, sizeof r);
}
bool ReadMovie(TMemoryStream& s) {
    uint8_t r[kMovieRecordSize];
    s.Read(r, sizeof r);
    ReadShortString(r + 16, 127);
    return true;
}

void WriteEmptyTextDialog(TMemoryStream& s) {
    WriteLenString(s, Sj("テキスト入力ダイアログ"));
    WriteLenString(s, Sj("入力してください。"));
    WriteLenString(s, {});
    s.WriteI32(-1);
}
bool ReadTextDialog(TMemoryStream& s) {
    for (int t = 0; t < 3; ++t) ReadLenString(s);
    s.ReadI32();
    return true;
}

void Save(const TStateRecord& r, TMemoryStream& s, void (*empty)(TMemoryStream&)) {
    if (r) r.save(s);
    else if (empty) empty(s);
}

bool Load(const TStateRecord& r, TMemoryStream& s, bool (*empty)(TMemoryStream&)) {
    if (r) return r.load(s);
    return empty ? empty(s) : true;
}

}  // namespace

void WriteScriptStateBlock(TMemoryStream& s, const TScriptState& st) {
    uint8_t b[kScriptStateBlockSize] = {};
    PutI32(b + 0, st.scriptClock);
    PutI32(b + 4, static_cast<int32_t>(st.lockWord));
    PutI32(b + 8, static_cast<int32_t>(st.customKeyMask));
    PutI32(b + 12, static_cast<int32_t>(st.customCheckedMask));
    b[16] = static_cast<uint8_t>(st.playMode);
    PutI32(b + 17, st.segmentsPerFrame);
    for (size_t i = 0; i < 4; ++i) WriteShortString(b + 21 + 64 * i, kSaveTextRoom, st.saveTexts[i]);
    PutI32(b + 277, static_cast<int32_t>(st.layerMask[0]));
    PutI32(b + 281, static_cast<int32_t>(st.layerMask[1]));
    for (size_t i = 0; i < 4; ++i) WriteShortString(b + 285 + 128 * i, kLayoutRoom, st.layoutNames[i]);
    WriteShortString(b + 797, kLayoutRoom, st.sceneLabel);
    b[925] = st.sceneSkip;
    b[926] = st.cursorVisible;
    PutI32(b + 927, st.cursorHideDelay);
    PutI32(b + 931, st.navigationAlong);
    PutI32(b + 935, st.navigationAcross);
    PutI32(b + 939, st.scriptTarget);
    s.Write(b, sizeof b);
}

void ReadScriptStateBlock(TMemoryStream& s, TScriptState& st) {
    uint8_t b[kScriptStateBlockSize];
    s.Read(b, sizeof b);
    TScriptState t = st;
    t.scriptClock = GetI32(b + 0);
    t.lockWord = static_cast<uint32_t>(GetI32(b + 4));
    t.customKeyMask = static_cast<uint32_t>(GetI32(b + 8));
    t.customCheckedMask = static_cast<uint32_t>(GetI32(b + 12));
    t.playMode = b[16];
    t.segmentsPerFrame = GetI32(b + 17);
    for (size_t i = 0; i < 4; ++i) t.saveTexts[i] = ReadShortString(b + 21 + 64 * i, kSaveTextRoom);
    t.layerMask[0] = static_cast<uint32_t>(GetI32(b + 277));
    t.layerMask[1] = static_cast<uint32_t>(GetI32(b + 281));
    for (size_t i = 0; i < 4; ++i) t.layoutNames[i] = ReadShortString(b + 285 + 128 * i, kLayoutRoom);
    t.sceneLabel = ReadShortString(b + 797, kLayoutRoom);
    t.sceneSkip = b[925];
    t.cursorVisible = b[926];
    t.cursorHideDelay = GetI32(b + 927);
    t.navigationAlong = GetI32(b + 931);
    t.navigationAcross = GetI32(b + 935);
    t.scriptTarget = GetI32(b + 939);
    st = std::move(t);
}

void WriteGameState(TMemoryStream& s, TZelScript& script, const TGameStateParts& p, const TRecordSwitches& sw) {
    script.Thread().SaveToStream(s);
    script.Reader().SaveState(s);
    Save(p.paths, s, WriteEmptyPaths);
    Save(p.messageLog, s, WriteEmptyMessageLog);
    Save(p.sound, s, WriteEmptySound);
    Save(p.waitCursor, s, nullptr);
    Save(p.notice, s, nullptr);
    Save(p.compositor, s, nullptr);
    Save(p.systemKeys, s, WriteEmptySystemKeys);
    Save(p.camera, s, nullptr);
    Save(p.movie, s, WriteEmptyMovie);
    Save(p.textDialog, s, WriteEmptyTextDialog);
    script.Calc().OwnGlobalStore().SaveToStream(s);
    script.Calc().OwnLocalStore().SaveToStream(s);
    Save(p.saveHook, s, nullptr);
    WriteScriptStateBlock(s, script.State());
    s.WriteU8(sw.readLabelsOff);
    s.WriteU8(sw.seenFilesOff);
    uint8_t patterns[kPatternCount * (kPatternRoom + 1)];
    for (size_t i = 0; i < kPatternCount; ++i)
        WriteShortString(patterns + (kPatternRoom + 1) * i, kPatternRoom, sw.seenPatterns[i]);
    s.Write(patterns, sizeof patterns);
}

bool ReadGameState(TMemoryStream& s, TZelScript& script, const TGameStateParts& p, TRecordSwitches& sw,
                   std::string* why) {
    auto fail = [why](const char* what) {
        if (why) *why = what;
        return false;
    };
    try {
        if (!script.Thread().LoadFromStream(s)) return fail("the call stack is damaged");
        if (!script.Reader().LoadState(s)) return fail("the script position cannot be restored");
        if (!Load(p.paths, s, ReadEmptyPaths)) return fail("the search paths are damaged");
        if (!Load(p.messageLog, s, ReadMessageLog)) return fail("the message log is damaged");
        if (!Load(p.sound, s, ReadSound)) return fail("the sound state is damaged");
        if (!Load(p.waitCursor, s, nullptr)) return fail("the wait cursor is damaged");
        if (!Load(p.notice, s, nullptr)) return fail("the notice layer is damaged");
        if (!Load(p.compositor, s, nullptr)) return fail("the screen state is damaged");
        if (!Load(p.systemKeys, s, ReadSystemKeys)) return fail("the system keys are damaged");
        if (!Load(p.camera, s, nullptr)) return fail("the camera state is damaged");
        if (!Load(p.movie, s, ReadMovie)) return fail("the movie state is damaged");
        if (!Load(p.textDialog, s, ReadTextDialog)) return fail("the text dialog state is damaged");
        std::string storeWhy;
        if (!script.Calc().OwnGlobalStore().LoadFromStream(s, &storeWhy)) return fail("the global variables are damaged");
        if (!script.Calc().OwnLocalStore().LoadFromStream(s, &storeWhy)) return fail("the local variables are damaged");
        if (!Load(p.saveHook, s, nullptr)) return fail("the save hook's data is damaged");
        TScriptState state = script.State();
        ReadScriptStateBlock(s, state);
        TRecordSwitches read;
        read.readLabelsOff = s.ReadU8();
        read.seenFilesOff = s.ReadU8();
        uint8_t patterns[kPatternCount * (kPatternRoom + 1)];
        s.Read(patterns, sizeof patterns);
        for (size_t i = 0; i < kPatternCount; ++i)
            read.seenPatterns[i] = ReadShortString(patterns + (kPatternRoom + 1) * i, kPatternRoom);
        if (!s.AtEnd()) return fail("the game state has bytes after its last record");
        script.State() = std::move(state);
        sw = std::move(read);
        return true;
    } catch (const EZelError& e) {
        if (why) *why = e.what();
        return false;
    }
}

}  // namespace zel
