// The message log and the two label logs as the rest of the engine meets
// them: the message windows hand finished pages to the log, the interpreter
// asks the read-label log what has been read, the game state carries the
// ring, the search paths count shown files in the seen-file log, and scripts
// read and change all three through the words of the "log", "slog" and
// "flog" objects:
//   log:  o (name, text, voice, volume, gain: add, evaluated), t (the same,
//         the three texts as written), i (clear), ?c (count), ?o (entry i:
//         ResultStr 0..2 name, text, voice; ResultInt 0..1 volume, gain)
//   slog: g (count of a label, -1 when absent), s (store a count whatever the
//         label had), cc (clear), k (1 when the current position was read),
//         lk (recording off for 1, on otherwise), i (recording on), ?lk
//   flog: a (add a name pattern, lower-cased, 15 bytes), d (empty the slots
//         holding the text), i (recording on, patterns emptied), g, s, cc,
//         lk, ?lk as for slog
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zel {

class IMessageLog;
class IScriptReadLog;
class TObjectCommandRegistry;
class TZelLogData;
class TZelRecords;

inline constexpr uint8_t kKindLog = 13, kKindReadLabelLog = 23, kKindSeenFileLog = 24;

// What the message windows add to the log.
std::unique_ptr<IMessageLog> MakeMessageLogSink(TZelLogData& log);
// The read-label log of the records (their table and recording switch).
std::unique_ptr<IScriptReadLog> MakeReadLabelLog(TZelRecords& records);

// The ring goes into the records' game state and gives the save header its
// text; the records' search paths count the files they show in the
// seen-file log of labels (the game script's records) while its recording is on.
void AttachLogToRecords(TZelRecords& records, TZelLogData& log, TZelRecords& labels);

// labels: the records that hold the label logs (the game script's).
void RegisterLogCommands(TObjectCommandRegistry& registry, TZelLogData& log, TZelRecords& labels);

// One count of the seen-file log for a resolved name, when recording is on
// and a pattern matches it (names under "system\" and "$$$" never count).
void CountSeenFile(TZelRecords& records, const std::string& resolvedName);

}  // namespace zel
