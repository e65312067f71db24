// Pieces of the evaluator shared by its source files; not for other units.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ZelCalculationLib.h"

namespace zel {

// A reference or declaration split into its name and index expressions.
struct TZelCalculation::TReference {
    std::string_view Name;  // views into the split text, or into NameBuf
    std::string NameBuf;    // the name when blanks had to be dropped from it
    bool HasList = false;
    int Count = 0;                             // index expressions written
    std::array<std::string_view, 4> Pieces{};  // the first four, trimmed, in written order
};


// What an operand token is, worked out on its first evaluation and kept with
// the parse: a number literal, a plain variable name (no sign, no index
// list), or anything else. A plain name also remembers where it was found,
// good while the level, the three stores and their layout stamps are the same.
struct TOperandHint {
    enum Class : uint8_t { Unknown, Other, NumberLiteral, PlainName };
    uint8_t Kind = Unknown;
    bool Found = false;
    uint8_t Scope = 0;
    int32_t Number = 0;
    int32_t Item = -1;
    int32_t Level = 0;
    std::array<const TValue*, 3> Stores{};
    std::array<uint64_t, 3> Stamps{};
};

// One entry of a token list or of the tree the precedence pass builds.
struct TExprNode {
    enum Type : uint8_t { Operand, Operator, Combined };
    uint8_t Kind = Operand;
    char Op = 0;        // operator code: '0'..'9', 'a'..'f', 'h', 'i', 'j'
    uint32_t Off = 0;   // operand text in TScratch::text
    uint32_t Len = 0;
    int32_t Left = -1;  // Combined: left and right operand nodes
    int32_t Right = -1;
    mutable TOperandHint Hint;  // operands only
};

// Working memory of one nesting depth of Evaluate, kept between calls so that
// evaluating allocates nothing once warmed up.
struct TZelCalculation::TScratch {
    std::string src;    // the expression being evaluated
    std::string text;   // bytes of every operand token
    std::vector<TExprNode> nodes;
    std::vector<int32_t> entries;  // token lists of the groups being converted, stacked
    std::vector<int32_t> postfix;
    std::vector<int32_t> walk;
    TValueStack stack;
    // The kept parse the current evaluation runs from, when there was one
    // (held, so a nested evaluation replacing it in the cache is harmless).
    std::shared_ptr<const TParsed> kept;
    // The node each operand on the stack came from (null for results).
    std::array<const TExprNode*, TValueStack::Capacity> operandOf{};
    bool unbalancedReported = false;  // once per expression, not once per group
    int groupDepth = 0;               // deepest group nesting the last parse went through
    int nestingBase = 0;              // the nesting count when that parse began
};

// A parsed expression kept for the next evaluation of the same text: the
// operand bytes, the nodes and the postfix order. Parsing is a pure function of
// the text unless the text holds "++" / "--" (those change variables while the
// text is read), so only texts without them are kept.
struct TZelCalculation::TParsed {
    std::string key;
    std::string text;
    std::vector<TExprNode> nodes;
    std::vector<int32_t> postfix;
    int groupDepth = 0;
};

}  // namespace zel
