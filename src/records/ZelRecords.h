// The save files and the system data of one script interpreter.
//
// Save files live in the save folder ("SaveData" of the game root); a name
// from a script or a screen is a path inside it: absolute names and ".."
// components are refused. Every file is written whole to a temporary file
// beside it, flushed and renamed over the old one, so an interrupted or
// failed write leaves the previous file as it was.
//
// Loading a game reads and checks the whole file first; it then keeps the
// running game's own state, resets the script and reads the saved state, and
// when a record turns out damaged puts the kept state back, so a bad save
// changes nothing.
//
// System data file (one checksummed wrapper whose payload is):
//   0    12   magic "ZELSYSDATA12"      12  4  zero
//   16   32   check string, scrambled with the key
//   48   256  zero
//   304  4+S1 the system variable store's stream form, packed, then scrambled
//   ...  4+S2 the seen-file log (hash table stream form)
//   ...  4+S3 the read-label log (hash table stream form)
// Sizes are int32; a negative size or one past the payload is refused.
// Only the top-level interpreter reads and writes it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/ZelGameState.h"

namespace zel {

class TARGB8888;
class THashTable;
class TZelScript;

struct TRecordsConfig {
    std::string folder = "SaveData";  // host folder of the save files
    uint32_t key = 46203;             // scrambler key (the CodeKey setting, 24 bits)
    // Draws the screen afresh and gives the thumbnail picture; false: none.
    std::function<bool(TARGB8888& thumbnail)> thumbnail;
    // The newest message-log text (the header's text).
    std::function<std::string()> newestLogText;
    // Tells the player that a save file cannot be read ("ReadSaveFileError").
    std::function<void()> showReadError;
    // System data is written at least this often while it changes (ms of play).
    int32_t systemDataInterval = 60000;
};

class TZelRecords {
public:
    static constexpr const char* kSystemDataName = "SystemData.dat";
    static constexpr const char* kSystemDataBackup = "SystemData.dat.bak";

    TZelRecords(TZelScript& script, TRecordsConfig config);
    ~TZelRecords();
    TZelRecords(const TZelRecords&) = delete;
    TZelRecords& operator=(const TZelRecords&) = delete;

    TZelScript& Script() { return script_; }
    TGameStateParts& Parts() { return parts_; }
    TRecordsConfig& Config() { return config_; }
    TRecordSwitches& Switches() { return switches_; }
    THashTable& SeenFiles() { return *seenFiles_; }
    THashTable& ReadLabels() { return *readLabels_; }

    // The host path of a save name, or nullopt for a name that would leave the folder.
    std::optional<std::string> PathOf(std::string_view name) const;

    bool SaveGame(std::string_view name, bool packed);
    bool LoadGame(std::string_view name);
    bool SaveSystemData(std::string_view name);
    bool LoadSystemData(std::string_view name);
    // The same from the file's bytes; the store and the logs change only when all of it reads.
    bool LoadSystemDataImage(std::string_view bytes);
    // The start-up read: "SystemData.dat", else its ".bak" copy (reported),
    // else an empty system store. Marks the set-up finished.
    bool LoadSystemDataAtStart();
    bool DeleteSave(std::string_view name);
    bool SaveExists(std::string_view name) const;

    // A load asked for by a script command: the command's frame ends at once
    // and the load runs at the next Advance, once no segment is running (a
    // load replaces the routines the dispatcher is working on). False when
    // the file is missing or its header does not read.
    bool RequestLoad(std::string_view name);

    // Before this, SaveSystemData does nothing and succeeds.
    void SetReady(bool on) { ready_ = on; }
    // After a script frame: runs a requested load; counts play time and, once
    // the interval has passed, writes the system data when it differs from
    // what was last written.
    void Advance(int32_t elapsedMs);

    // The system data file image (the wrapper and its payload).
    std::vector<uint8_t> SystemDataImage();
    // The game state as SaveGame writes it into the body.
    std::vector<uint8_t> GameStateImage();

private:
    bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, bool quiet);

    TZelScript& script_;
    TRecordsConfig config_;
    TGameStateParts parts_;
    TRecordSwitches switches_;
    std::unique_ptr<THashTable> seenFiles_, readLabels_;
    bool ready_ = false;
    bool writeErrorReported_ = false;
    int64_t sinceSystemData_ = 0;
    std::string pendingLoad_;
    std::vector<uint8_t> lastSystemData_;
};

}  // namespace zel
