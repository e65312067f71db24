// The expression evaluator and the variable scopes of one script instance.
//
// TZelCalculation owns three stores: the system store (scope 1, level 0), the
// global store (scope 2, level 0) and the local store (scope 3, one level per
// running routine). Each role can be overridden by another instance's store; a
// child script shares its parent's system store that way.
//
// Expressions: operands are numbers ("12", "$1F", "0x1f"), string literals
// ("..." with ''' standing for a double quote), variable references (name or
// name[i,j,...], optionally signed with + - ^) and parenthesised groups.
// Operators, tightest first, each level left-associative:
//   * / %    + -    << >>    | & ^    == != <= >= > <    && ||    =
// "++" / "--" after an operand change the variable while the text is read, so
// the expression sees the new value. An assignment is an expression of value 1.
// Integer arithmetic wraps at 32 bits; division and remainder by zero give 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ZelReturnValue.h"
#include "scriptdata/ZelValueStore.h"

namespace zel {

struct TExprNode;
struct TOperandHint;

enum TScopeCode : int {
    scNone = 0,
    scSystem = 1,
    scGlobal = 2,
    scLocal = 3,
};

struct TScopeHit {
    int Scope = scNone;  // TScopeCode
    int32_t Item = -1;   // item index in that store
};

// What a declaration command's type word declares.
struct TTypeWordInfo {
    uint8_t ElementKind = rkInteger;
    std::string TypeName;
    bool IsReference = false;
    int16_t Access = 255;
};

class TZelCalculation {
public:
    // Nested groups, index expressions and increments may go this deep.
    static constexpr int kMaxNesting = 256;
    // Bytes of text that the nested evaluations of one expression may read in all,
    // each evaluation counting kEvaluationCost more. An increment evaluates a
    // copy of its operand's text, so increments nested in groups or index
    // lists double the work at every level; past this budget the expression
    // fails as one that nests too deep.
    static constexpr size_t kMaxEvaluatedBytes = size_t{1} << 18;
    static constexpr size_t kEvaluationCost = 64;

    // The callbacks build and free the objects of object variables; without
    // them object variables hold names only.
    explicit TZelCalculation(IObjectCallbacks* callbacks = nullptr);
    ~TZelCalculation();
    TZelCalculation(const TZelCalculation&) = delete;
    TZelCalculation& operator=(const TZelCalculation&) = delete;

    // Full evaluation of an expression at a routine level.
    TReturnValue Evaluate(std::string_view text, int32_t level);
    // One operand (literal or variable reference), no operators.
    TReturnValue EvaluateToken(std::string_view text, int32_t level);
    // Stores a value into the element named by a reference ("name" or "name[i,..]").
    bool Assign(std::string_view reference, int32_t level, const TReturnValue& value);
    // Looks a reference's name up: local store at `level`, then global, then system.
    TScopeHit FindScope(std::string_view reference, int32_t level);
    // Declares "name" or "name[d1,d2,..]" (up to four sizes, each an expression)
    // in the store of scopeCode. Nothing is declared when the name is visible
    // already, a size list is bad or the element count is too large.
    bool Declare(std::string_view declaration, std::string_view typeName, bool isReference, int16_t access,
                 int scopeCode, uint8_t elementKind, int32_t level);
    // Deletes a variable that may be deleted; silent otherwise.
    bool Undeclare(std::string_view reference, int32_t level);
    // Sets every element to 0 / empty (needs the writable bit).
    bool ResetVariable(std::string_view reference, int32_t level);

    // The declaration of a type word given to svar / gvar / var.
    static TTypeWordInfo TypeWordInfo(std::string_view typeWord);
    // Declares the engine's own variables in the global store (after a story
    // start has cleared it): the system objects, the Result variables, NULL,
    // the lock and sound-group constants.
    void DeclareBuiltinVariables(int streamChannels = 16, int seChannels = 15);

    // Message reporting of the evaluator and of its own three stores.
    void SetReportErrors(bool on);
    bool ReportErrors() const { return reportErrors_; }

    // Any of them may be null (the own store is used then).
    void SetStoreOverrides(TValue* system, TValue* global, TValue* local);
    TValue& SystemStore() { return systemOverride_ ? *systemOverride_ : system_; }
    TValue& GlobalStore() { return globalOverride_ ? *globalOverride_ : global_; }
    TValue& LocalStore() { return localOverride_ ? *localOverride_ : local_; }
    // Store of a scope code (1, 2, 3); null for any other code.
    TValue* Store(int scopeCode);
    TValue& OwnSystemStore() { return system_; }
    TValue& OwnGlobalStore() { return global_; }
    TValue& OwnLocalStore() { return local_; }

private:
    struct TScratch;
    struct TReference;
    struct TParsed;
    static constexpr size_t kParseCacheSlots = 64;
    static constexpr size_t kMaxCachedText = 256;

    static void SplitReference(std::string_view text, TReference& out);
    void Report(std::string_view message, std::string_view detail = {});
    TScopeHit FindName(std::string_view name, int32_t level);
    // Evaluates the index list of a reference; false when it has more than four.
    bool EvaluateIndices(const TReference& ref, int32_t level, TIndexList& idx);
    // Evaluates an operand value in place; false when it ends as kind 4.
    // `from` is the parse node a token came from, when known.
    bool EvaluateOperand(TReturnValue& value, int32_t level, const TExprNode* from = nullptr);
    // Applies a binary operator; the result replaces l. lFrom / rFrom as for
    // EvaluateOperand.
    bool ApplyOperator(char op, TReturnValue& l, TReturnValue& r, int32_t level, const TExprNode* lFrom = nullptr,
                       const TExprNode* rFrom = nullptr);
    // Works out what kind of operand a token is.
    static void ClassifyOperand(TOperandHint& hint, std::string_view token);
    // FindName for a plain-name operand, through what its hint remembers.
    TScopeHit FindOperandName(TOperandHint& hint, std::string_view name, int32_t level);

    // Expression machinery (one TScratch per nesting depth of Evaluate).
    TScratch& ScratchAt(int depth);
    TReturnValue EvaluateExpression(std::string_view text, int32_t level);
    bool Tokenize(TScratch& s, std::string_view src, int32_t level);
    int32_t Convert(TScratch& s, size_t base, int32_t level);
    int32_t Expand(TScratch& s, int32_t node, int32_t level);
    void Flatten(TScratch& s, int32_t root);
    // Fills s with the parse of src (from the cache when it holds that text);
    // false when the text does not parse.
    bool Parse(TScratch& s, std::string_view src, int32_t level);

    bool reportErrors_ = true;
    TValue system_;
    TValue global_;
    TValue local_;
    TValue* systemOverride_ = nullptr;
    TValue* globalOverride_ = nullptr;
    TValue* localOverride_ = nullptr;
    std::vector<std::unique_ptr<TScratch>> scratch_;
    std::vector<std::shared_ptr<TParsed>> parseCache_;  // kParseCacheSlots slots, picked by a hash of the text
    int evalDepth_ = 0;  // nested Evaluate calls (picks the scratch)
    int nesting_ = 0;    // Evaluate calls plus group expansions (the depth limit)
    bool tooDeep_ = false;
    size_t evaluatedBytes_ = 0;  // text read by the nested evaluations of one expression
};

}  // namespace zel
