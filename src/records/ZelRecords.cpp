#include "records/ZelRecords.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/HostPath.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "records/ZelSaveData.h"
#include "script/ZelScriptLib.h"
#include "scriptdata/uZelObjectManager.h"
#include "storage/PackLib.h"
#include "storage/uHashTable.h"

namespace zel {

namespace {

constexpr size_t kSystemHeaderSize = 304;

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) out.append(p);
    return out;
}
constexpr size_t kLogBuckets = 256;

// The bytes of a sized block: int32 size (not negative, within the stream), then the bytes.
std::vector<uint8_t> ReadSizedBlock(TMemoryStream& s) {
    const int32_t n = s.ReadI32();
    if (n < 0) throw EStreamError("a negative block size");
    s.Require(static_cast<size_t>(n));
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    s.Read(bytes.data(), bytes.size());
    return bytes;
}

void WriteSizedBlock(TMemoryStream& s, const std::vector<uint8_t>& bytes) {
    s.WriteI32(static_cast<int32_t>(bytes.size()));
    s.Write(bytes.data(), bytes.size());
}

std::vector<uint8_t> TableImage(const THashTable& t) {
    TMemoryStream s;
    t.SaveToStream(s);
    return s.TakeBytes();
}

// A label log read from exactly its block.
std::unique_ptr<THashTable> ReadTable(const std::vector<uint8_t>& bytes) {
    auto t = std::make_unique<THashTable>(kLogBuckets);
    if (bytes.empty()) return t;
    TMemoryStream s{std::vector<uint8_t>(bytes)};
    if (!t->LoadFromStream(s) || !s.AtEnd()) throw EStreamError("a label log does not fill its block");
    return t;
}

}  // namespace

TZelRecords::TZelRecords(TZelScript& script, TRecordsConfig config)
    : script_(script),
      config_(std::move(config)),
      seenFiles_(std::make_unique<THashTable>(kLogBuckets)),
      readLabels_(std::make_unique<THashTable>(kLogBuckets)) {
    // The search paths live in the object manager.
    if (auto* manager = dynamic_cast<TZelObjectManager*>(&script_.Objects())) {
        parts_.paths.save = [manager](TMemoryStream& s) { manager->Paths().SaveToStream(s); };
        parts_.paths.load = [manager](TMemoryStream& s) {
            manager->Paths().LoadFromStream(s);
            return true;
        };
    }
}

TZelRecords::~TZelRecords() = default;

std::optional<std::string> TZelRecords::PathOf(std::string_view name) const {
    const auto parts = THostPaths::Components(name);
    if (!parts || parts->empty()) return std::nullopt;
    std::string path = config_.folder;
    for (const std::string& p : *parts) path.append("/").append(SjisToUtf8(p));
    return path;
}

bool TZelRecords::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, bool quiet) {
    std::string err;
    if (AtomicWriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &err))
        return true;
    if (!quiet || !writeErrorReported_) ReportError(Join({"cannot write ", path, ": ", err}));
    writeErrorReported_ = true;
    return false;
}

std::vector<uint8_t> TZelRecords::GameStateImage() {
    TMemoryStream s;
    WriteGameState(s, script_, parts_, switches_);
    return s.TakeBytes();
}

bool TZelRecords::SaveGame(std::string_view name, bool packed) {
    if (name.empty()) return false;
    const auto path = PathOf(name);
    if (!path) {
        ReportError(Join({"save name refused (it leaves the save folder): ", SjisToUtf8(name)}));
        return false;
    }
    SaveSystemData(kSystemDataName);
    SaveSystemData(kSystemDataBackup);
    TZelSaveData data(config_.key);
    const TScriptState& st = script_.State();
    data.SetHeader(st.saveTexts[0], st.saveTexts[1], config_.newestLogText ? config_.newestLogText() : std::string(),
                   st.saveTexts[2], st.saveTexts[3]);
    data.SetBody(GameStateImage());
    if (config_.thumbnail) {
        TARGB8888 thumb;
        if (config_.thumbnail(thumb)) data.SetThumbnail(thumb);
    }
    TMemoryStream out;
    if (!data.WriteStream(out, true, packed)) return false;
    return WriteFile(*path, out.Bytes(), false);
}

bool TZelRecords::LoadGame(std::string_view name) {
    if (name.empty()) return false;
    const auto path = PathOf(name);
    if (!path) {
        ReportError(Join({"save name refused (it leaves the save folder): ", SjisToUtf8(name)}));
        return false;
    }
    if (!HostFileExists(*path)) return false;
    SaveSystemData(kSystemDataName);
    TZelSaveData data(config_.key);
    auto readError = [this] {
        if (config_.showReadError) config_.showReadError();
        return false;
    };
    if (!data.ReadFile(*path, false, true) || !data.Body()) return readError();
    // What the game is now, to put back should a record of the save be damaged.
    TMemoryStream kept(GameStateImage());
    const TRecordSwitches keptSwitches = switches_;
    script_.ResetScript();
    std::string why;
    if (!ReadGameState(*data.Body(), script_, parts_, switches_, &why)) {
        LogLine(Join({"[ERROR]:", SjisToUtf8(name), ": ", why}));
        script_.ResetScript();
        std::string again;
        if (!ReadGameState(kept, script_, parts_, switches_, &again))
            ReportError(Join({"the game could not be put back after a damaged save: ", again}));
        switches_ = keptSwitches;
        if (IScriptDisplay* d = script_.Services().display) {
            d->InvalidateCells();
            d->Draw(false, true, 0xFFFF);
        }
        return readError();
    }
    if (IScriptDisplay* d = script_.Services().display) d->InvalidateCells();
    script_.SetPlayMode(ScriptPlayMode::Normal);
    if (IScriptDisplay* d = script_.Services().display) d->Draw(false, true, 0xFFFF);
    return true;
}

std::vector<uint8_t> TZelRecords::SystemDataImage() {
    TMemoryStream payload;
    uint8_t header[kSystemHeaderSize] = {};
    std::memcpy(header, kSystemDataMagic.data(), kSystemDataMagic.size());
    WriteCheckString(header + 16, config_.key);
    payload.Write(header, sizeof header);
    TMemoryStream store;
    script_.Calc().OwnSystemStore().SaveToStream(store);
    std::vector<uint8_t> packed = PackBytes(store.Bytes());
    ScrambleBlocks(packed.data(), packed.size(), config_.key);
    WriteSizedBlock(payload, packed);
    WriteSizedBlock(payload, TableImage(*seenFiles_));
    WriteSizedBlock(payload, TableImage(*readLabels_));
    TMemoryStream out;
    WrapChecked(&payload, &out);
    return out.TakeBytes();
}

bool TZelRecords::SaveSystemData(std::string_view name) {
    if (script_.Parent()) return false;
    if (!ready_) return true;
    const auto path = PathOf(name);
    if (!path) return false;
    std::vector<uint8_t> image = SystemDataImage();
    if (!WriteFile(*path, image, true)) return false;
    lastSystemData_ = std::move(image);
    sinceSystemData_ = 0;
    return true;
}

bool TZelRecords::LoadSystemData(std::string_view name) {
    if (script_.Parent()) return false;
    const auto path = PathOf(name);
    std::string bytes;
    if (!path || !ReadWholeFile(*path, bytes)) return false;
    return LoadSystemDataImage(bytes);
}

bool TZelRecords::LoadSystemDataImage(std::string_view bytes) {
    if (script_.Parent()) return false;
    TMemoryStream file(bytes);
    std::unique_ptr<TMemoryStream> payload = UnwrapChecked(file);
    if (!payload) return false;
    try {
        uint8_t header[kSystemHeaderSize];
        payload->Read(header, sizeof header);
        const size_t magicEnd = std::find(header, header + 16, uint8_t{0}) - header;
        if (std::string_view(reinterpret_cast<const char*>(header), magicEnd) != kSystemDataMagic) return false;
        if (!CheckMatches(header + 16, config_.key)) return false;
        std::vector<uint8_t> store = ReadSizedBlock(*payload);
        UnscrambleBlocks(store.data(), store.size(), config_.key);
        std::vector<uint8_t> plain;
        if (!UnpackBytes(store, plain)) return false;
        std::unique_ptr<THashTable> seen = ReadTable(ReadSizedBlock(*payload));
        std::unique_ptr<THashTable> read = ReadTable(ReadSizedBlock(*payload));
        TMemoryStream storeStream(std::move(plain));
        // The store replaces itself only when all of it reads; the logs follow it.
        if (!script_.Calc().OwnSystemStore().LoadFromStream(storeStream) || !storeStream.AtEnd()) return false;
        seenFiles_ = std::move(seen);
        readLabels_ = std::move(read);
        return true;
    } catch (const EZelError&) {
        return false;
    }
}

bool TZelRecords::LoadSystemDataAtStart() {
    bool ok = LoadSystemData(kSystemDataName);
    if (!ok) {
        const auto main = PathOf(kSystemDataName);
        ok = LoadSystemData(kSystemDataBackup);
        if (ok && main && HostFileExists(*main))
            LogLine(Join({"[NOTICE]:", *main, " could not be read; the system data came from its copy ",
                          kSystemDataBackup}));
    }
    ready_ = true;
    lastSystemData_ = SystemDataImage();
    return ok;
}

bool TZelRecords::DeleteSave(std::string_view name) {
    const auto path = PathOf(name);
    return path && ::unlink(path->c_str()) == 0;
}

bool TZelRecords::SaveExists(std::string_view name) const {
    const auto path = PathOf(name);
    return path && HostFileExists(*path);
}

bool TZelRecords::RequestLoad(std::string_view name) {
    const auto path = PathOf(name);
    TZelSaveData header(config_.key);
    if (name.empty() || !path || !header.ReadFile(*path, false, false)) return false;
    pendingLoad_.assign(name);
    script_.State().holdFrames = std::max(script_.State().holdFrames, 1);
    return true;
}

void TZelRecords::Advance(int32_t elapsedMs) {
    if (!pendingLoad_.empty()) {
        const std::string name = std::move(pendingLoad_);
        pendingLoad_.clear();
        if (LoadGame(name)) script_.SetResultInt(1);
    }
    if (!ready_ || script_.Parent() || elapsedMs <= 0) return;
    sinceSystemData_ += elapsedMs;
    if (sinceSystemData_ < config_.systemDataInterval) return;
    sinceSystemData_ = 0;
    if (SystemDataImage() != lastSystemData_) SaveSystemData(kSystemDataName);
}

}  // namespace zel
