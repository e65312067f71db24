// System keys: input codes that scripts bind to system actions ("menu",
// "save", "skip" ...). Each frame the interpreter asks which binding fired.
//
// Stored form (little-endian): disabled flag (1 byte), binding count (u32),
// then per binding the code (u32) and four length-prefixed texts (u16 byte
// count + bytes): action word, label text, number text, extra text. Load is
// all or nothing: a count or a text length the stream cannot hold raises
// EStreamError and leaves the table as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TInput;
class TMemoryStream;

struct TSystemKeyData {
    uint32_t code = 0;
    std::string action, label, number, extra;
};

// The action code of an action word, compared without regard to case:
// click 1, keyclick 2, skipclick 3, menu 4, log 5, screen 6, reset 7, exit 8,
// load 9, save 10, view 11, config 12, minimize 13, auto 14, skip 15,
// logskip 16, sceneskipload 17, sceneskipnoload 18, quicksave 19,
// quickload 20, selectload 21, scenereturn 24, selectleft 25,
// selectright 26, selectup 27, selectdown 28, custom 29; any other word 0.
int32_t SystemKeyActionCode(std::string_view word);

class TZelSystemKey {
public:
    explicit TZelSystemKey(const TInput* input) : input_(input) {}

    // Adds a binding unless the code is already bound.
    void Bind(uint32_t code, std::string action, std::string extra, std::string number, std::string label);
    void Unbind(uint32_t code);
    // Removes every binding and clears the disabled flag.
    void Clear();
    void SetDisabled(bool on) { disabled_ = on; }
    bool Disabled() const { return disabled_; }
    // The first binding, in binding order, whose code tests true this frame;
    // null while disabled or when none does.
    const TSystemKeyData* Fired() const;
    const std::vector<TSystemKeyData>& Bindings() const { return keys_; }

    void Save(TMemoryStream& s) const;
    void Load(TMemoryStream& s);

private:
    const TInput* input_;
    std::vector<TSystemKeyData> keys_;
    bool disabled_ = false;
};

}  // namespace zel
