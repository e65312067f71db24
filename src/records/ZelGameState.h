// The game-state stream: the body of a save file.
//
// Records, in this order (each record's layout is written down at its own
// serializer):
//    1 the script thread (call stack)             ZelScriptModel.h
//    2 the script reader state                     ZelReaderLib.h
//    3 the search paths: int32 count, strings, one flag byte
//    4 the message log data                        default below
//    5 the sound state                             Sound.h
//    6 the wait-cursor layer, 7 the notice layer   image object records
//    8 the screen compositor state                 Compositor.h
//    9 the system key state                        uZelSystemKey.h
//   10 the camera state                            ZelCameraLib.h
//   11 the movie player state                      default below
//   12 the text input dialog state                 default below
//   13 the global variable store, 14 the local store   ZelValueStore.h
//   15 the data of the interpreter's save hook (nothing without one)
//   16 the script state block, 1199 raw bytes (below)
//   17 1 byte: read-label recording off (nonzero) or on (0)
//   18 1025 bytes: seen-file recording off (nonzero) or on (0), then 64
//      seen-file name patterns, each a length byte and 15 bytes of room
//
// Where the part behind a record is not in the engine, its record is the
// empty one its format defines, and loading reads and checks it:
//   search paths   int32 0, flag byte 0
//   message log    int32 count 0, int32 write index 0, 256 slots of three
//                  empty strings, threshold 0, seek 0, volume 255, gain 0
//   sound          15 effect records and 16 stream records as reset
//   system keys    flag byte 0, u32 count 0
//   movie player   156 bytes: x 0, y 0, width 200, height 200, no name,
//                  state 0, volume 255, position 0
//   text dialog    title, prompt and text as length-prefixed strings, int32
//                  maximum; the reset texts and -1
//   image layers   nothing (the image object writes its own record)
//
// Script state block (1199 bytes, little-endian):
//   0 clock ms      4 lock mask       8 custom-key lock mask   12 button check mask
//   16 play mode (byte)               17 segments per frame
//   21 four save texts, each a length byte and 63 bytes of room
//   277 input layer mask              281 draw layer mask
//   285 load, 413 save, 541 menu, 669 log screen layout names and 797 the
//       scene return label, each a length byte and 127 bytes of room
//   925 scene-skip switch  926 pointer visible  927 pointer hide delay ms
//   931 navigation weight along  935 across  939 script-target flag
//   943 256 zero bytes
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/MemStream.h"

namespace zel {

class TZelScript;
struct TScriptState;

inline constexpr size_t kScriptStateBlockSize = 1199;

// One record of the game state kept outside the interpreter. load raises
// EStreamError (or gives false) for a damaged record.
struct TStateRecord {
    std::function<void(TMemoryStream&)> save;
    std::function<bool(TMemoryStream&)> load;
    explicit operator bool() const { return save && load; }
};

// The records of the parts outside the interpreter; an empty one is written
// and read as the empty record of its part.
struct TGameStateParts {
    TStateRecord paths, messageLog, sound, waitCursor, notice, compositor, systemKeys, camera, movie, textDialog,
        saveHook;
};

// Items 17 and 18: the label logs' recording switches.
struct TRecordSwitches {
    uint8_t readLabelsOff = 0;
    uint8_t seenFilesOff = 0;
    std::array<std::string, 64> seenPatterns;
    bool operator==(const TRecordSwitches&) const = default;
};

void WriteScriptStateBlock(TMemoryStream& s, const TScriptState& state);
// Reads the block into state (only the fields it holds). Raises EStreamError
// for a short block or a length byte past its room.
void ReadScriptStateBlock(TMemoryStream& s, TScriptState& state);

void WriteGameState(TMemoryStream& s, TZelScript& script, const TGameStateParts& parts,
                    const TRecordSwitches& switches);
// Reads a game-state stream into a script that has just been reset. False,
// with the reason in why, when a record is damaged or the stream does not end
// with the last record; the script is then half restored and the caller
// must put it back.
bool ReadGameState(TMemoryStream& s, TZelScript& script, const TGameStateParts& parts, TRecordSwitches& switches,
                   std::string* why);

}  // namespace zel
