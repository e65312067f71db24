// The command words of the save-file objects ("dat": s, l, g, d, c, gd) and
// of the system-data objects ("sdat": s, l, i). The words s, l, g, d and all
// sdat words act on the parent script's records while the script-target flag
// is set.
#pragma once

#include <cstdint>

namespace zel {

inline constexpr uint8_t kKindSaveData = 2, kKindSystemData = 3;

class TObjectCommandRegistry;
class TZelRecords;

// parent: the records of the parent script (null for the game script).
void RegisterRecordCommands(TObjectCommandRegistry& registry, TZelRecords& own, TZelRecords* parent);

}  // namespace zel
