// The command words of the sound kinds: "snd" objects are the stream
// channels (music, voices), "dsnd" objects the effect channels. An object's
// channel is the number after the comma of its name ("snd,3"); an object
// whose name holds no channel, or one outside the set, does nothing and its
// queries answer 0 (volume queries 255).
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

class TObjectCommandRegistry;
class TSound;

inline constexpr uint8_t kKindSound = 4, kKindDirectSound = 5;

// The channel number in an object name, or -1.
int32_t SoundChannelOf(std::string_view objectName);

// Registers the "snd" and "dsnd" handlers over the engine's sound.
void RegisterSoundCommands(TObjectCommandRegistry& registry, TSound& sound);

}  // namespace zel
