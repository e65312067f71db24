#include "records/LogCommands.h"

#include <algorithm>

#include "anim/MessageLib.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "records/ZelLogdataLib.h"
#include "records/ZelRecords.h"
#include "records/uLabelLog.h"
#include "script/ZelScriptLib.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

namespace {

constexpr size_t kPatternRoom = 15;
constexpr int32_t kSeenCountCap = 0xFFFFFF;

class TMessageLogSink final : public IMessageLog {
public:
    explicit TMessageLogSink(TZelLogData& log) : log_(log) {}
    void Add(const TMessageLogEntry& e) override {
        log_.Add(e.text, e.character, e.level, e.volume, e.skipThreshold, e.start, e.voice);
    }

private:
    TZelLogData& log_;
};

// The records replace their tables when system data loads, so the table is
// looked up at every call.
class TReadLabelLog final : public IScriptReadLog {
public:
    explicit TReadLabelLog(TZelRecords& records) : records_(records) {}
    bool Recording() const override { return records_.Switches().readLabelsOff == 0; }
    int32_t Lines(std::string_view key) const override { return TLabelLog(records_.ReadLabels()).Get(key); }
    void Record(std::string_view key, int32_t n) override { TLabelLog(records_.ReadLabels()).Record(key, n, false); }

private:
    TZelRecords& records_;
};

void AddEvaluated(ICommandContext& c, TZelLogData& log, bool raw) {
    auto text = [&c, raw](size_t i) { return raw ? std::string(c.Field(i)) : c.StrArg(i); };
    const std::string name = text(1), body = text(2), voice = text(3);
    const int32_t volume = c.IntArg(4), gain = c.IntArg(5);
    log.Add(body, name, gain, volume, 0, 0, voice);
}

// The words both label logs share; false for any other.
bool LabelLogWord(ICommandContext& c, THashTable& table, uint8_t& off) {
    TLabelLog labels(table);
    switch (c.Code()) {
        case Cmd("g"): {
            const int32_t n = labels.Get(AsciiLower(c.StrArg(1)));
            c.ClearResults();
            c.SetResultInt(n);
            return true;
        }
        case Cmd("s"): labels.Record(AsciiLower(c.StrArg(1)), c.IntArg(2), true); return true;
        case Cmd("cc"): labels.Clear(); return true;
        case Cmd("lk"): off = c.IntArg(1) == 1 ? 1 : 0; return true;
        case Cmd("?lk"):
            c.ClearResults();
            c.SetResultInt(off != 0 ? 1 : 0);
            return true;
        default: return false;
    }
}

}  // namespace

std::unique_ptr<IMessageLog> MakeMessageLogSink(TZelLogData& log) { return std::make_unique<TMessageLogSink>(log); }

std::unique_ptr<IScriptReadLog> MakeReadLabelLog(TZelRecords& records) {
    return std::make_unique<TReadLabelLog>(records);
}

void CountSeenFile(TZelRecords& records, const std::string& resolvedName) {
    const TRecordSwitches& sw = records.Switches();
    if (sw.seenFilesOff != 0) return;
    const std::string lower = AsciiLower(resolvedName);
    if (lower.starts_with("system\\") || lower.starts_with("$$$")) return;
    for (const std::string& pattern : sw.seenPatterns) {
        if (pattern.empty() || lower.find(pattern) == std::string::npos) continue;
        TLabelLog seen(records.SeenFiles());
        const int32_t before = std::max(seen.Get(resolvedName), 0);
        const int32_t after = before >= 0x7FFFFFFF ? 1 : std::min(before + 1, kSeenCountCap);
        seen.Record(resolvedName, after, true);
        return;
    }
}

void AttachLogToRecords(TZelRecords& records, TZelLogData& log, TZelRecords& labels) {
    TGameStateParts& parts = records.Parts();
    parts.messageLog.save = [&log](TMemoryStream& s) { log.SaveState(s); };
    parts.messageLog.load = [&log](TMemoryStream& s) {
        log.LoadState(s);
        return true;
    };
    // The header shows the newest message as the player read it.
    records.Config().newestLogText = [&log] { return log.DisplayText(0); };
    if (auto* manager = dynamic_cast<TZelObjectManager*>(&records.Script().Objects()))
        manager->Paths().SetResolved([&labels](const std::string& name) { CountSeenFile(labels, name); });
}

void RegisterLogCommands(TObjectCommandRegistry& registry, TZelLogData& log, TZelRecords& labels) {
    registry.Register(kKindLog, [&log](ICommandContext& c, std::string_view) {
        switch (c.Code()) {
            case Cmd("o"): AddEvaluated(c, log, false); return true;
            case Cmd("t"): AddEvaluated(c, log, true); return true;
            case Cmd("i"): log.Clear(); return true;
            case Cmd("?c"):
                c.ClearResults();
                c.SetResultInt(log.Count());
                return true;
            case Cmd("?o"): {
                const int32_t i = c.IntArg(1);
                c.ClearResults();
                c.SetResultStr(log.EntryName(i), 0);
                c.SetResultStr(log.EntryText(i), 1);
                c.SetResultStr(log.EntryVoice(i), 2);
                c.SetResultInt(log.EntryVolume(i), 0);
                c.SetResultInt(log.EntryGain(i), 1);
                return true;
            }
            default: return false;
        }
    });
    registry.Register(kKindReadLabelLog, [&labels](ICommandContext& c, std::string_view) {
        TRecordSwitches& sw = labels.Switches();
        switch (c.Code()) {
            case Cmd("k"): {
                const bool read = c.TargetScript().CanLogSkip();
                c.ClearResults();
                c.SetResultInt(read ? 1 : 0);
                return true;
            }
            case Cmd("i"): sw.readLabelsOff = 0; return true;
            default: return LabelLogWord(c, labels.ReadLabels(), sw.readLabelsOff);
        }
    });
    registry.Register(kKindSeenFileLog, [&labels](ICommandContext& c, std::string_view) {
        TRecordSwitches& sw = labels.Switches();
        switch (c.Code()) {
            case Cmd("a"): {
                const std::string pattern = CutToBytes(AsciiLower(c.StrArg(1)), kPatternRoom);
                for (std::string& slot : sw.seenPatterns)
                    if (slot.empty()) {
                        slot = pattern;
                        break;
                    }
                return true;
            }
            case Cmd("d"): {
                const std::string text = c.StrArg(1);
                for (std::string& slot : sw.seenPatterns)
                    if (slot == text) slot.clear();
                return true;
            }
            case Cmd("i"):
                sw.seenFilesOff = 0;
                for (std::string& slot : sw.seenPatterns) slot.clear();
                return true;
            default: return LabelLogWord(c, labels.SeenFiles(), sw.seenFilesOff);
        }
    });
}

}  // namespace zel
