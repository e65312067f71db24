// The value record that every script argument evaluates to, the evaluator's
// operand stack, and the integer reading of script texts.
//
// A TReturnValue is small and copied by value. Its Text always carries
// something printable: the decimal form (or the literal as written) of an
// integer, the string itself, an object's name, or the still unevaluated text
// of an operand token.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

enum TReturnKind : uint8_t {
    rkInteger = 0,  // IntValue holds the number, Text its decimal form or the literal as written
    rkString = 1,   // Text holds the string, IntValue its integer reading
    rkObject = 2,   // Text holds an object's name (empty = no object), IntValue 0
    rkToken = 3,    // Text is an operand that still has to be evaluated
    rkError = 4,    // no value
};

struct TReturnValue {
    uint8_t Kind = rkError;
    int32_t IntValue = 0;
    std::string Text;

    static TReturnValue Integer(int32_t v);
    static TReturnValue String(std::string_view text);
    static TReturnValue Object(std::string_view name) { return {rkObject, 0, std::string(name)}; }
    static TReturnValue Token(std::string_view text) { return {rkToken, 0, std::string(text)}; }
    static TReturnValue Cleared() { return {}; }

    // Turns this value into an integer result: Kind 0, Text the decimal form.
    void SetInteger(int32_t v);
    void Clear() { Kind = rkError; IntValue = 0; Text.clear(); }
};

// Operand stack of one evaluation: at most Capacity pending values.
class TValueStack {
public:
    static constexpr int Capacity = 128;

    // Returns false (and pushes nothing) when the stack is full.
    bool Push(TReturnValue v);
    // Pushes {rkToken, 0, text}, reusing the slot's buffer.
    bool PushToken(std::string_view text);
    // Pops the top value; an empty stack yields the cleared value.
    TReturnValue Pop();
    // The value `depth` places below the top (0 = the top); depth < Count().
    TReturnValue& Top(int depth) { return slots_[static_cast<size_t>(count_ - 1 - depth)]; }
    // Removes n values (at most Count()).
    void Drop(int n) { count_ = n < count_ ? count_ - n : 0; }
    void Clear() { count_ = 0; }
    int Count() const { return count_; }

private:
    std::array<TReturnValue, Capacity> slots_;
    int count_ = 0;
};

// Reads a number literal of an expression: an optional sign, then decimal
// digits or a "$" / "0x" hexadecimal number, and nothing else. Decimal values
// must fit 64 bits; hexadecimal ones may use all 64 bits. Returns false when
// the text is not such a literal.
bool ParseInt64Literal(std::string_view text, int64_t& out);

// The integer reading of a text: optional leading blanks, an optional sign,
// then decimal digits or a "$" / "0x" hexadecimal number. Anything else, or a
// value outside the 32-bit signed range, reads as 0.
int32_t TextToInt(std::string_view text);

// Writes the decimal form of v into out (reusing its buffer).
void AssignDecimal(std::string& out, int32_t v);

}  // namespace zel
