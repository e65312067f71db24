// What the script reader and the string commands need from the text
// extensions: the Perl-style regular-expression matcher and the optional
// script line rewriter. Both are reached through these interfaces so that a
// reader without them leaves text unchanged.
#pragma once

#include <string>
#include <vector>

namespace zel {

class IRegExp {
public:
    virtual ~IRegExp() = default;
    // The whole match first, then each group (unset groups as empty texts);
    // an empty list when there is no match or the pattern is bad.
    virtual std::vector<std::string> Match(const std::string& pattern, const std::string& subject) = 0;
    // The pieces of subject split by pattern, at most limit of them; empty on failure.
    virtual std::vector<std::string> Split(const std::string& pattern, const std::string& subject, int limit) = 0;
    // The substituted text ("s/a/b/g" forms); the subject unchanged when nothing was substituted.
    virtual std::string Substitute(const std::string& pattern, const std::string& subject) = 0;
    // Performed exactly as Substitute.
    virtual std::string Transliterate(const std::string& pattern, const std::string& subject) = 0;

    // The same operations for callers that run many rules over one working
    // text: a matcher may keep its buffers between these calls. The defaults
    // go through the calls above.
    // Whether the pattern matches the subject.
    virtual bool Matches(const std::string& pattern, const std::string& subject) {
        return !Match(pattern, subject).empty();
    }
    // Split into pieces (its strings may be reused); false and no pieces on failure.
    virtual bool SplitInto(const std::string& pattern, const std::string& subject, int limit,
                           std::vector<std::string>& pieces) {
        pieces = Split(pattern, subject, limit);
        return !pieces.empty();
    }
    // Substitutes in text itself; false (text untouched) when nothing was substituted.
    virtual bool SubstituteInPlace(const std::string& pattern, std::string& text) {
        std::string out = Substitute(pattern, text);
        if (out == text) return false;
        text = std::move(out);
        return true;
    }
};

class ILineRewriter {
public:
    virtual ~ILineRewriter() = default;
    // Rewrites one script source line before the reader interprets it.
    virtual std::string ReplaceLine(const std::string& line) = 0;
};

}  // namespace zel
