// Pieces of the evaluator shared by its source files; not for other units.
#pragma once

#include <array>
#include <cstdint>
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


// One entry of a token list or of the tree the precedence pass builds.
struct TExprNode {
    enum Type : uint8_t { Operand, Operator, Combined };
    uint8_t Kind = Operand;
    char Op = 0;        // operator code: '0'..'9', 'a'..'f', 'h', 'i', 'j'
    uint32_t Off = 0;   // operand text in TScratch::text
    uint32_t Len = 0;
    int32_t Left = -1;  // Combined: left and right operand nodes
    int32_t Right = -1;
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
