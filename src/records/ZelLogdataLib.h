// The message log: a ring of the last 256 finished messages, each with its
// speaker, its text (control codes kept) and the voice that was played with
// it. The message windows add to it, the log object's words read it, the
// backlog screen shows it and the save header takes its newest text.
//
// Entry i counts back from the newest (i = 0): it lives in slot
// (write index - 1 - i) mod 256 and exists for 0 <= i < count. An entry
// number outside that range reads as empty texts and zeros.
//
// Stream form (a record of the game state), little-endian:
//   int32 count (0..256), int32 write index (0..255), then all 256 slots in
//   slot order, used or not, each: name, text, voice (u16 length and the
//   bytes), then int32 silence threshold, seek, volume, gain level.
// A count or index outside its range is refused: the load raises and the log
// keeps what it held (the ring is read into a copy first).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"

namespace zel {

class TZelLogData {
public:
    static constexpr int32_t kSlots = 256;

    struct TEntry {
        std::string name, text, voice;
        int32_t seek = 0, threshold = 0, volume = 255, gain = 0;
    };

    TZelLogData() = default;

    // Nothing for an empty text. Line-break codes at the end of the text are
    // cut off ("[n]", "[nn]", "[np]", "[nnp]"); any other final code stays.
    void Add(std::string_view text, std::string_view name, int32_t gain, int32_t volume, int32_t threshold,
             int32_t seek, std::string_view voice);
    // Empties every slot; the write index stays where it is.
    void Clear();

    int32_t Count() const { return count_; }
    int32_t WriteIndex() const { return index_; }
    std::string EntryName(int32_t i) const { return Entry(i).name; }
    std::string EntryText(int32_t i) const { return Entry(i).text; }
    std::string EntryVoice(int32_t i) const { return Entry(i).voice; }
    int32_t EntrySeek(int32_t i) const { return Entry(i).seek; }
    int32_t EntryThreshold(int32_t i) const { return Entry(i).threshold; }
    int32_t EntryVolume(int32_t i) const { return Exists(i) ? Entry(i).volume : 0; }
    int32_t EntryGain(int32_t i) const { return Entry(i).gain; }
    // The text of entry i as a reader sees it: characters kept, "[lim,n,t]"
    // gives the first n characters of t, "[pc,t]" and "[pr,t]" give t,
    // "[rb,base,ruby]" gives the base, every other code gives nothing. Codes
    // are lower-cased before they are read, so the kept texts are too.
    std::string DisplayText(int32_t i) const;

    void SaveState(TMemoryStream& s) const;
    // Raises EStreamError for a short or damaged record; nothing changes then.
    void LoadState(TMemoryStream& s);

    // The text as Add stores it.
    static std::string StripLineBreaks(std::string_view text);

private:
    bool Exists(int32_t i) const { return i >= 0 && i < count_; }
    const TEntry& Entry(int32_t i) const;

    std::vector<TEntry> slots_ = std::vector<TEntry>(kSlots);
    int32_t count_ = 0, index_ = 0;
};

// The actor (0..31) a speaker's voice belongs to: the first of the actor
// lists (0 to 31, each from its first item) holding the name without regard
// to case, or "*"; 31 when none does.
int32_t ActorOfName(const std::array<std::vector<std::string>, 32>& actorLists, std::string_view name);

}  // namespace zel
