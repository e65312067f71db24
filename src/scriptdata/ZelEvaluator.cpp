// The expression evaluator: quick scan, tokenizer, precedence pass, stack machine.
//
// The tokenizer turns the text into operand and operator entries; blanks
// outside brackets and string literals are dropped, a bracketed group or index
// list stays inside its operand. The precedence pass folds the entries level by
// level (tightest first, left to right) into a tree whose leaves are the tokens;
// a parenthesised operand is tokenized and folded again in its place. The tree
// is walked into a postfix list that a stack machine evaluates.
#include <algorithm>
#include <functional>
#include <utility>

#include "base/IntMath.h"
#include "base/Sjis.h"
#include "scriptdata/ZelCalcInternal.h"
#include "scriptdata/ZelCalcMessages.h"

namespace zel {

namespace {

bool IsOperatorChar(char c) {
    switch (c) {
        case '!': case '%': case '&': case '*': case '+': case '-':
        case '/': case '<': case '=': case '>': case '^': case '|':
            return true;
        default:
            return false;
    }
}

// Code of a two-character operator, 0 when the pair is none.
char PairOperator(char a, char b) {
    if (b == '=') {
        switch (a) {
            case '=': return '0';
            case '!': return '1';
            case '<': return '4';
            case '>': return '5';
            default: return 0;
        }
    }
    if (a != b) return 0;
    switch (a) {
        case '<': return '2';
        case '>': return '3';
        case '&': return '6';
        case '|': return '7';
        default: return 0;
    }
}

char SingleOperator(char c) {
    switch (c) {
        case '*': return 'a';
        case '/': return 'b';
        case '%': return 'c';
        case '+': return '8';
        case '-': return '9';
        case '|': return 'd';
        case '&': return 'e';
        case '^': return 'f';
        case '=': return 'h';
        case '>': return 'i';
        case '<': return 'j';
        default: return 0;
    }
}

int OperatorLevel(char op) {
    switch (op) {
        case 'a': case 'b': case 'c': return 1;
        case '8': case '9': return 2;
        case '2': case '3': return 3;
        case 'd': case 'e': case 'f': return 4;
        case '0': case '1': case '4': case '5': case 'i': case 'j': return 5;
        case '6': case '7': return 6;
        case 'h': return 7;
        default: return 0;
    }
}

// A number literal as the operand reader takes it: 2^32 is the reader's own
// failure mark and never a number.
bool ReadNumberToken(std::string_view text, int32_t& out) {
    int64_t v = 0;
    if (!ParseInt64Literal(text, v) || v == int64_t{4294967296}) return false;
    out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    return true;
}

bool StartsLikeNumber(char c) { return (c >= '0' && c <= '9') || c == '$' || c == '+' || c == '-'; }

// The text of a string literal token: from after the opening quote to the next
// quote (or the end), with ''' standing for a double quote.
void ReadStringLiteral(std::string_view token, std::string& out) {
    out.clear();
    size_t i = 1;
    size_t end = token.size();
    for (size_t k = 1; k < token.size(); k += CharLen(token, k)) {
        if (token[k] == '"' && CharLen(token, k) == 1) {
            end = k;
            break;
        }
    }
    while (i < end) {
        if (end - i >= 3 && token.compare(i, 3, "'''") == 0) {
            out += '"';
            i += 3;
        } else {
            out += token[i++];
        }
    }
}

// Counts nesting as the tokenizer does: brackets outside strings, quotes.
struct TDepth {
    int depth = 0;
    bool inString = false;
    void Feed(char c) {
        if (!inString) {
            if (c == '(' || c == '[') ++depth;
            else if (c == ')' || c == ']') --depth;
        }
        if (c == '"') {
            depth += inString ? -1 : 1;
            inString = !inString;
        }
    }
};

// Bumps a counter for the length of a scope.
class TNest {
public:
    explicit TNest(int& n) : n_(n) { ++n_; }
    ~TNest() { --n_; }
    TNest(const TNest&) = delete;
    TNest& operator=(const TNest&) = delete;

private:
    int& n_;
};

}  // namespace

void TZelCalculation::ClassifyOperand(TOperandHint& hint, std::string_view token) {
    hint.Kind = TOperandHint::Other;
    if (token.empty()) return;
    const char first = token[0];
    if (StartsLikeNumber(first)) {
        if (ReadNumberToken(token, hint.Number)) hint.Kind = TOperandHint::NumberLiteral;
        return;
    }
    if (first == '"' || first == '^') return;
    TReference ref;
    SplitReference(token, ref);
    if (!ref.HasList && ref.Name.data() == token.data() && ref.Name.size() == token.size())
        hint.Kind = TOperandHint::PlainName;
}

TZelCalculation::TScratch& TZelCalculation::ScratchAt(int depth) {
    while (scratch_.size() <= static_cast<size_t>(depth)) scratch_.push_back(std::make_unique<TScratch>());
    return *scratch_[static_cast<size_t>(depth)];
}

TReturnValue TZelCalculation::Evaluate(std::string_view text, int32_t level) {
    if (text.empty()) return {};
    if (nesting_ == 0) {
        tooDeep_ = false;
        evaluatedBytes_ = 0;
    } else {
        evaluatedBytes_ += text.size() + kEvaluationCost;
    }
    if (nesting_ >= kMaxNesting || evaluatedBytes_ > kMaxEvaluatedBytes) {
        if (!tooDeep_) Report(calcmsg::kTooDeep);
        tooDeep_ = true;
        return {};
    }
    TNest nest(nesting_);
    // Quick scan: without brackets or operator characters (the last byte does
    // not count) the text is a single operand.
    bool single = true;
    for (size_t i = 0; i + 1 < text.size(); i += CharLen(text, i)) {
        if (CharLen(text, i) == 2) continue;
        const char c = text[i];
        if (c == '(' || c == ')' || IsOperatorChar(c)) {
            single = false;
            break;
        }
    }
    if (single) {
        const std::string_view operand = TrimBlanks(text);
        if (operand.empty()) return {};
        TReturnValue v = TReturnValue::Token(operand);
        if (!EvaluateOperand(v, level)) Report(calcmsg::kUndefined, operand);
        return v;
    }
    TNest depth(evalDepth_);
    return EvaluateExpression(text, level);
}

TReturnValue TZelCalculation::EvaluateToken(std::string_view text, int32_t level) {
    if (nesting_ == 0) tooDeep_ = false;
    TReturnValue v = TReturnValue::Token(text);
    EvaluateOperand(v, level);
    return v;
}

TReturnValue TZelCalculation::EvaluateExpression(std::string_view text, int32_t level) {
    TScratch& s = ScratchAt(evalDepth_ - 1);
    s.stack.Clear();
    bool ok = Parse(s, text, level);
    if (ok) {
        // From the kept parse when there was one, else from the scratch.
        const TParsed* kept = s.kept.get();
        const std::string_view operands = kept ? std::string_view(kept->text) : std::string_view(s.text);
        const std::vector<TExprNode>& nodes = kept ? kept->nodes : s.nodes;
        const std::vector<int32_t>& postfix = kept ? kept->postfix : s.postfix;
        for (int32_t id : postfix) {
            const TExprNode& node = nodes[static_cast<size_t>(id)];
            if (node.Kind != TExprNode::Operand) {
                // The operands are worked on where they lie; the result replaces the left one.
                const int n = s.stack.Count();
                if (n >= 2) {
                    ok = ApplyOperator(node.Op, s.stack.Top(1), s.stack.Top(0), level, s.operandOf[n - 2],
                                       s.operandOf[n - 1]);
                    if (ok) {
                        s.stack.Drop(1);
                        s.operandOf[n - 2] = nullptr;
                    }
                } else {
                    TReturnValue r = s.stack.Pop();
                    TReturnValue l = s.stack.Pop();
                    ok = ApplyOperator(node.Op, l, r, level) && s.stack.Push(std::move(l));
                    if (ok) s.operandOf[0] = nullptr;
                }
                if (!ok) break;
            } else if (s.stack.PushToken(operands.substr(node.Off, node.Len))) {
                s.operandOf[static_cast<size_t>(s.stack.Count() - 1)] = &node;
            } else {
                ok = false;  // more pending operands than the stack holds
                break;
            }
        }
    }
    if (ok && s.stack.Count() == 1) {
        TReturnValue v = s.stack.Pop();
        if (!EvaluateOperand(v, level, s.operandOf[0])) Report(calcmsg::kCalcError);
        s.kept.reset();
        return v;
    }
    s.kept.reset();
    s.stack.Clear();
    if (tooDeep_) return {};  // already reported where the limit was met
    Report(calcmsg::kBadExpression);
    return {};
}

bool TZelCalculation::Parse(TScratch& s, std::string_view text, int32_t level) {
    const bool cacheable = text.size() <= kMaxCachedText && text.find("++") == std::string_view::npos &&
                           text.find("--") == std::string_view::npos;
    std::shared_ptr<TParsed>* slot = nullptr;
    s.kept.reset();
    if (cacheable) {
        if (parseCache_.empty()) parseCache_.resize(kParseCacheSlots);
        slot = &parseCache_[std::hash<std::string_view>{}(text) % kParseCacheSlots];
        // A hit is used only where the parse would not meet the nesting limit.
        const TParsed* p = slot->get();
        if (p && p->key == text && nesting_ + p->groupDepth < kMaxNesting) {
            s.kept = *slot;
            return true;
        }
    }
    // A caller's text is copied: evaluating may change the variable it came
    // from. Nested evaluations get texts that stay put while they run.
    std::string_view src = text;
    if (evalDepth_ == 1) {
        s.src.assign(text);
        src = s.src;
    }
    s.text.clear();
    s.nodes.clear();
    s.entries.clear();
    s.postfix.clear();
    s.unbalancedReported = false;
    s.groupDepth = 0;
    s.nestingBase = nesting_;
    const bool wasTooDeep = tooDeep_;
    const bool balanced = Tokenize(s, src, level);
    const int32_t root = Convert(s, 0, level);
    if (root < 0) return false;
    Flatten(s, root);
    // Only a parse that reported nothing is kept. A slot no evaluation holds
    // is refilled in place.
    if (slot && balanced && !s.unbalancedReported && !(tooDeep_ && !wasTooDeep)) {
        if (!*slot || slot->use_count() > 1) *slot = std::make_shared<TParsed>();
        TParsed& kept = **slot;
        kept.key.assign(src);
        kept.text = s.text;
        kept.nodes = s.nodes;
        kept.postfix = s.postfix;
        kept.groupDepth = s.groupDepth;
    }
    return true;
}

bool TZelCalculation::Tokenize(TScratch& s, std::string_view src, int32_t level) {
    TDepth depth;
    bool expectOperand = true;
    size_t tokenStart = s.text.size();
    auto closeToken = [&]() {
        if (s.text.size() > tokenStart) {
            TExprNode n;
            n.Kind = TExprNode::Operand;
            n.Off = static_cast<uint32_t>(tokenStart);
            n.Len = static_cast<uint32_t>(s.text.size() - tokenStart);
            s.entries.push_back(static_cast<int32_t>(s.nodes.size()));
            s.nodes.push_back(n);
        }
        tokenStart = s.text.size();
    };
    auto addOperator = [&](char op) {
        closeToken();
        TExprNode n;
        n.Kind = TExprNode::Operator;
        n.Op = op;
        s.entries.push_back(static_cast<int32_t>(s.nodes.size()));
        s.nodes.push_back(n);
        expectOperand = true;
    };
    const size_t n = src.size();
    size_t i = 0;
    while (i < n) {
        const char c = src[i];
        if (IsLeadByte(c) && i + 1 < n) {
            s.text.append(src.substr(i, 2));
            expectOperand = false;
            i += 2;
            continue;
        }
        depth.Feed(c);
        if (depth.depth != 0) {
            s.text += c;  // brackets and strings stay inside one operand, blanks included
            expectOperand = false;
            ++i;
            continue;
        }
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        if (expectOperand && (c == '+' || c == '-' || c == '^')) {
            closeToken();
            s.text += c;  // a sign starts the operand
            expectOperand = false;
            ++i;
            continue;
        }
        if (i + 1 < n && IsOperatorChar(src[i + 1])) {
            if (const char op = PairOperator(c, src[i + 1])) {
                addOperator(op);
                i += 2;
                continue;
            }
            if ((c == '+' || c == '-') && src[i + 1] == c) {
                // x++ / x-- change the variable now; the operand stays in the list.
                const std::string name = s.text.substr(tokenStart);
                closeToken();
                std::string step = name;
                step += '=';
                step += name;
                step += c == '+' ? "+1" : "-1";
                Evaluate(step, level);
                expectOperand = false;
                i += 2;
                continue;
            }
        }
        if (const char op = SingleOperator(c)) {
            addOperator(op);
            ++i;
            continue;
        }
        s.text += c;
        expectOperand = false;
        ++i;
    }
    closeToken();
    if (depth.depth != 0) {
        if (!s.unbalancedReported) Report(calcmsg::kUnbalanced);
        s.unbalancedReported = true;
        return false;
    }
    return true;
}

int32_t TZelCalculation::Expand(TScratch& s, int32_t node, int32_t level) {
    const TExprNode nd = s.nodes[static_cast<size_t>(node)];
    if (nd.Kind != TExprNode::Operand || s.text[nd.Off] != '(') return node;
    if (nesting_ >= kMaxNesting) {
        if (!tooDeep_) Report(calcmsg::kTooDeep);
        tooDeep_ = true;
        return -1;
    }
    TNest nest(nesting_);
    s.groupDepth = std::max(s.groupDepth, nesting_ - s.nestingBase);
    // The group runs to its matching ')' or, unclosed, to the end of the token.
    const std::string_view token = std::string_view(s.text).substr(nd.Off, nd.Len);
    size_t close = token.size();
    TDepth depth;
    for (size_t k = 0; k < token.size(); k += CharLen(token, k)) {
        if (CharLen(token, k) == 2) continue;
        depth.Feed(token[k]);
        if (depth.depth == 0) {
            close = k;
            break;
        }
    }
    const std::string inner(token.substr(1, close - 1));  // s.text grows while it is read
    const size_t base = s.entries.size();
    Tokenize(s, inner, level);
    if (s.entries.size() == base) return -1;  // "()" holds no expression
    const int32_t root = Convert(s, base, level);
    s.entries.resize(base);
    return root;
}

int32_t TZelCalculation::Convert(TScratch& s, size_t base, int32_t level) {
    const size_t count = s.entries.size() - base;
    if (count == 0) return -1;
    if (count == 1) return Expand(s, s.entries[base], level);
    unsigned present = 0;  // the levels that have an operator here
    for (size_t k = base; k < s.entries.size(); ++k) {
        const TExprNode& e = s.nodes[static_cast<size_t>(s.entries[k])];
        if (e.Kind == TExprNode::Operator) present |= 1u << OperatorLevel(e.Op);
    }
    for (int prec = 1; prec <= 7; ++prec) {
        if (!(present & (1u << prec))) continue;
        // One pass per level: entries[base, w) is the folded prefix.
        size_t w = base + 1, j = base + 1;
        const size_t end = s.entries.size();
        while (j < end) {
            const TExprNode e = s.nodes[static_cast<size_t>(s.entries[j])];
            if (j + 1 < end && e.Kind == TExprNode::Operator && OperatorLevel(e.Op) == prec) {
                const int32_t left = Expand(s, s.entries[w - 1], level);
                if (left < 0) return -1;
                const int32_t right = Expand(s, s.entries[j + 1], level);
                if (right < 0) return -1;
                TExprNode c;
                c.Kind = TExprNode::Combined;
                c.Op = e.Op;
                c.Left = left;
                c.Right = right;
                s.entries[w - 1] = static_cast<int32_t>(s.nodes.size());
                s.nodes.push_back(c);
                j += 2;
            } else {
                s.entries[w++] = s.entries[j++];
            }
        }
        s.entries.resize(w);
    }
    return s.entries[base];  // anything left beside it is ignored
}

void TZelCalculation::Flatten(TScratch& s, int32_t root) {
    // Post-order walk; a combined node stands for its operator in the list.
    // A node is pushed as ~id once its operands are on their way.
    s.postfix.clear();
    s.walk.clear();
    s.walk.push_back(root);
    while (!s.walk.empty()) {
        const int32_t top = s.walk.back();
        s.walk.pop_back();
        if (top < 0) {
            s.postfix.push_back(~top);
            continue;
        }
        const TExprNode& n = s.nodes[static_cast<size_t>(top)];
        if (n.Kind == TExprNode::Combined) {
            s.walk.push_back(~top);
            s.walk.push_back(n.Right);
            s.walk.push_back(n.Left);
        } else {
            s.postfix.push_back(top);
        }
    }
}

bool TZelCalculation::ApplyOperator(char op, TReturnValue& l, TReturnValue& r, int32_t level, const TExprNode* lFrom,
                                    const TExprNode* rFrom) {
    if (op == 'h') {
        // Only the right side is evaluated; the left must still name a variable.
        // A right side that has no value assigns nothing.
        if (!EvaluateOperand(r, level, rFrom)) return false;
        if (l.Kind != rkToken || l.Text.empty() || l.Text[0] == '"') return false;
        int32_t unused = 0;
        if (StartsLikeNumber(l.Text[0]) && ReadNumberToken(l.Text, unused)) return false;
        TOperandHint* hint = lFrom ? &lFrom->Hint : nullptr;
        if (hint && hint->Kind == TOperandHint::Unknown) ClassifyOperand(*hint, l.Text);
        if (hint && hint->Kind == TOperandHint::PlainName) {
            // A plain name: no index list to evaluate, the place may be remembered.
            const TScopeHit hit = FindOperandName(*hint, l.Text, level);
            if (hit.Scope == scNone) {
                Report(calcmsg::kUndefined, l.Text);
                return false;
            }
            if (!Store(hit.Scope)->WriteItem(hit.Item, TIndexList{0, 0, 0, 0}, false, r, l.Text)) return false;
        } else if (!Assign(l.Text, level, r)) {
            return false;
        }
        l.SetInteger(1);
        return true;
    }
    if (!EvaluateOperand(r, level, rFrom) || !EvaluateOperand(l, level, lFrom)) return false;
    const int32_t a = l.IntValue, b = r.IntValue;
    const bool textual = l.Kind == rkString || l.Kind == rkObject;
    switch (op) {
        case 'a': l.SetInteger(WrapMul(a, b)); break;
        case 'b': l.SetInteger(b == 0 ? 0 : WrapDiv(a, b)); break;
        case 'c': l.SetInteger(b == 0 ? 0 : WrapMod(a, b)); break;
        case '9': l.SetInteger(WrapSub(a, b)); break;
        case '2': l.SetInteger(WrapShl(a, b)); break;
        case '3': l.SetInteger(WrapShrLogical(a, b)); break;
        case 'd': l.SetInteger(a | b); break;
        case 'f': l.SetInteger(a ^ b); break;
        case '8':
        case 'e':
            if (textual) {
                // Strings and object names concatenate (the kind stays); the numbers combine as well.
                l.Text += r.Text;
                l.IntValue = op == '8' ? WrapAdd(a, b) : (a & b);
            } else {
                l.SetInteger(op == '8' ? WrapAdd(a, b) : (a & b));
            }
            break;
        case '0': case '1': case '4': case '5': case 'i': case 'j': {
            const int cmp = textual ? CompareNoCase(l.Text, r.Text) : (a < b ? -1 : a > b ? 1 : 0);
            bool truth = false;
            switch (op) {
                case '0': truth = cmp == 0; break;
                case '1': truth = cmp != 0; break;
                case '4': truth = cmp <= 0; break;
                case '5': truth = cmp >= 0; break;
                case 'i': truth = cmp > 0; break;
                default: truth = cmp < 0; break;
            }
            l.SetInteger(truth ? 1 : 0);
            break;
        }
        case '6':
        case '7':
            if (l.Kind != rkInteger || r.Kind != rkInteger) return false;
            l.SetInteger(op == '6' ? (a == 1 && b == 1) : (a == 1 || b == 1));
            break;
        default:
            return false;
    }
    return true;
}

TScopeHit TZelCalculation::FindOperandName(TOperandHint& hint, std::string_view name, int32_t level) {
    const std::array<const TValue*, 3> stores{&LocalStore(), &GlobalStore(), &SystemStore()};
    if (hint.Found && hint.Level == level && hint.Stores == stores &&
        hint.Stamps[0] == stores[0]->LayoutStamp() && hint.Stamps[1] == stores[1]->LayoutStamp() &&
        hint.Stamps[2] == stores[2]->LayoutStamp())
        return {hint.Scope, hint.Item};
    const TScopeHit hit = FindName(name, level);
    hint.Found = hit.Scope != scNone;
    if (hint.Found) {
        hint.Scope = static_cast<uint8_t>(hit.Scope);
        hint.Item = hit.Item;
        hint.Level = level;
        hint.Stores = stores;
        for (size_t k = 0; k < 3; ++k) hint.Stamps[k] = stores[k]->LayoutStamp();
    }
    return hit;
}

bool TZelCalculation::EvaluateOperand(TReturnValue& value, int32_t level, const TExprNode* from) {
    if (value.Kind != rkToken) return value.Kind != rkError;
    if (value.Text.empty()) return true;
    if (from) {
        TOperandHint& hint = from->Hint;
        if (hint.Kind == TOperandHint::Unknown) ClassifyOperand(hint, value.Text);
        if (hint.Kind == TOperandHint::NumberLiteral) {
            value.Kind = rkInteger;
            value.IntValue = hint.Number;  // Text keeps the literal as written
            return true;
        }
        if (hint.Kind == TOperandHint::PlainName) {
            const TScopeHit hit = FindOperandName(hint, value.Text, level);
            if (hit.Scope == scNone) {
                Report(calcmsg::kUndefined, value.Text);
                value.Kind = rkError;
                value.IntValue = 0;
                return false;
            }
            value.Text.clear();
            return Store(hit.Scope)->ReadItem(hit.Item, TIndexList{0, 0, 0, 0}, false, value);
        }
    }
    const char first = value.Text[0];
    if (first == '"') {
        std::string literal;
        ReadStringLiteral(value.Text, literal);
        value.Kind = rkString;
        value.IntValue = TextToInt(literal);
        value.Text = std::move(literal);
        return true;
    }
    if (StartsLikeNumber(first)) {
        int32_t n = 0;
        if (ReadNumberToken(value.Text, n)) {
            value.Kind = rkInteger;
            value.IntValue = n;  // Text keeps the literal as written
            return true;
        }
    }
    // A variable reference, perhaps signed.
    const std::string token = std::move(value.Text);
    const char sign = (first == '+' || first == '-' || first == '^') ? first : 0;
    TReference ref;
    SplitReference(std::string_view(token).substr(sign ? 1 : 0), ref);
    TIndexList idx;
    const bool indicesOk = EvaluateIndices(ref, level, idx);
    const TScopeHit hit = indicesOk ? FindName(ref.Name, level) : TScopeHit{};
    if (hit.Scope == scNone) {
        if (indicesOk) Report(calcmsg::kUndefined, token);
        value.Kind = rkError;
        value.IntValue = 0;
        value.Text = token;
        return false;
    }
    if (!Store(hit.Scope)->ReadItem(hit.Item, idx, false, value)) return false;
    if (value.Kind == rkInteger && sign == '-') value.SetInteger(WrapNeg(value.IntValue));
    else if (value.Kind == rkInteger && sign == '^') value.SetInteger(~value.IntValue);
    return true;
}

}  // namespace zel
