// The seam between the interpreter and the command handlers of the object
// kinds. A scoped object receives every command that the interpreter's own
// handlers did not take; the handler registered for the object's type number
// answers it through a command context, which gives it what it may use of the
// script that dispatched the command (its arguments, the Result variables,
// the search paths, the error reporter) without depending on the interpreter.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ZelReturnValue.h"

namespace zel {

class TZelScript;
class ISystemObjectHost;

// Packs a command word as the dispatcher does, for words known when the
// program is built: first byte lowest, at most 4 bytes.
constexpr int32_t Cmd(std::string_view word) {
    uint32_t code = 0;
    for (size_t i = 0; i < word.size(); ++i) code |= static_cast<uint32_t>(static_cast<uint8_t>(word[i])) << (8 * i);
    return static_cast<int32_t>(code);
}

// One dispatched command as the object handlers receive it.
struct TScriptCommand {
    int32_t Code = -1;                                // packed command word
    const std::vector<std::string>* Fields = nullptr; // field 0 is the command word; at least 9 fields
    std::string_view Segment;                         // the segment as dispatched
};

// What a command handler may use of the script that runs the command.
class ICommandContext {
public:
    virtual ~ICommandContext() = default;

    virtual const TScriptCommand& Command() const = 0;
    int32_t Code() const { return Command().Code; }
    size_t FieldCount() const { return Command().Fields ? Command().Fields->size() : 0; }
    // Field i as written (trimmed); empty past the last field, so that words
    // reading more fields than the padded nine stay in bounds.
    std::string_view Field(size_t i) const;
    bool FieldEmpty(size_t i) const { return Field(i).empty(); }

    // Evaluates an expression at the script's current level.
    virtual TReturnValue Evaluate(std::string_view text) = 0;
    // Field i evaluated; 0 (or the empty text) past the last field.
    int32_t IntArg(size_t i);
    std::string StrArg(size_t i);

    // The built-in Result variables of the script.
    virtual void ClearResults() = 0;
    virtual void SetResultInt(int32_t value, int32_t index = 0) = 0;
    virtual void SetResultStr(std::string_view text, int32_t index = 0) = 0;

    // The next frame counts no elapsed time (a command that starts a
    // transition or a load); see TZelScript::SkipTimeOnce.
    virtual void SkipTimeOnce() = 0;
    // A game file name through the script's search paths; empty when nothing
    // exists. notify: count a found name in the seen-file log.
    virtual std::string ResolvePath(std::string_view name, bool notify) = 0;
    // Reports an error line (the engine's error list and log).
    virtual void ReportError(std::string_view text) = 0;
    // The script the command acts on, for the few words that reach the
    // interpreter's own state (its wait cursor and notice layers).
    virtual TZelScript& TargetScript() = 0;
    // A label argument: "@@name" as written, else the expression's value, a
    // text that is no expression taken as written.
    virtual std::string LabelArgument(std::string_view text) { return Evaluate(text).Text; }
    // The switches the system object's words change; null without a script.
    virtual ISystemObjectHost* SystemHost() { return nullptr; }
};

// Answers one command sent to the named object; false when the kind has no
// such command word.
using TObjectCommandHandler = std::function<bool(ICommandContext& context, std::string_view objectName)>;

// The handlers of the object kinds, by type number (1..35; extension classes
// use their own numbers). One registry per object host.
class TObjectCommandRegistry {
public:
    // Replaces what was registered for the type number.
    void Register(uint8_t typeNo, TObjectCommandHandler handler) { handlers_[typeNo] = std::move(handler); }
    // Null when nothing is registered.
    const TObjectCommandHandler* Find(uint8_t typeNo) const {
        return handlers_[typeNo] ? &handlers_[typeNo] : nullptr;
    }

private:
    std::array<TObjectCommandHandler, 256> handlers_;
};

}  // namespace zel
