// The system object ("sys", kind 1) words of the lock, mask, play-mode and
// request group, the system keys ("skey", kind 31), and the image words of
// the two system layers ("csr" kind 12: the wait-cursor layer, "scsr" kind
// 11: the after-load notice layer).
//
// The request words set the pending request whatever the locks hold: the
// locks guard only the player's keys, buttons and menu entries. A word of
// these kinds that is not handled here answers false, so the remaining sys
// words (layouts, save texts, captions) can be added by their own family.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

class TImageLib;
class TObjectCommandRegistry;

// What the sys words change: the switches of the script the command acts on
// (the interpreter implements it; ICommandContext::SystemHost finds it).
class ISystemObjectHost {
public:
    virtual ~ISystemObjectHost() = default;
    virtual uint32_t& LockWord() = 0;
    virtual uint32_t& CustomKeyMask() = 0;
    virtual uint32_t& CustomCheckedMask() = 0;
    virtual uint32_t& LayerMask(int which) = 0;  // 0 input, 1 draw
    virtual int32_t& SegmentsPerFrame() = 0;
    virtual int32_t& AutoPlayDelay() = 0;
    virtual uint8_t& SceneSkip() = 0;
    virtual std::string& SceneLabel() = 0;
    // The screens' layout names: 0 load, 1 save, 2 menu, 3 log.
    virtual std::string& LayoutName(int slot) = 0;
    virtual int32_t PlayMode() const = 0;
    // 0 also ends the frames without waiting; 1..4 only set the mode.
    virtual void SetPlayModeWord(int32_t mode) = 0;
    virtual bool NoWait() const = 0;
    virtual void SetRequest(int32_t request, std::string_view argument) = 0;
    // The wait-cursor layer (notice false) or the notice layer; null when the
    // script has none.
    virtual TImageLib* SystemLayer(bool notice) = 0;
};

// The run's system-key table as the skey words drive it.
class ISystemKeyTable {
public:
    virtual ~ISystemKeyTable() = default;
    // A code that is already bound keeps its binding.
    virtual void Bind(uint32_t code, std::string action, std::string number, std::string label) = 0;
    virtual void Unbind(uint32_t code) = 0;
    virtual void Clear() = 0;
    virtual void SetDisabled(bool on) = 0;
    virtual bool Disabled() const = 0;
};

// keys may be null (no input device): the skey words are then accepted and do nothing.
void RegisterSystemCommands(TObjectCommandRegistry& registry, ISystemKeyTable* keys);

}  // namespace zel
