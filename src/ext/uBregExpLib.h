// The engine's regular-expression matcher: Perl-style pattern strings run on
// PCRE2 through our own front end.
//
// Pattern strings:
//   /pat/opts  or  m<d>pat<d>opts     match (and split) forms
//   s<d>pat<d>repl<d>opts             substitution form
// <d> is any character that is not a letter, digit, blank or backslash (a
// double-byte character too); a backslash escapes the delimiter. Patterns are
// read Shift-JIS aware: the trail byte of a double-byte character (0x5C in 表)
// is never taken for a backslash or a delimiter.
//
// Options: i caseless (A-Z only), m multi-line, s dot matches newline,
// x extended, g every occurrence (substitution), k Shift-JIS characters.
// Without k the subject is matched as raw bytes ("." is one byte). With k every
// character is one unit: "." is a whole double-byte character, ranges such as
// [ぁ-ん] follow Shift-JIS code order, and case folding stays ASCII.
//
// Replacement texts know $1-$9 and \1-\9 (groups), $& (the whole match), and
// the escapes \n \t \r \f \a \e \xHH; any other escaped character stands for
// itself. Groups that did not take part in the match are empty texts.
//
// Split follows Perl: captured groups are returned between the pieces, a
// zero-width match never yields an empty leading piece, a positive limit caps
// the number of pieces (the last one keeps the rest), limit 0 drops trailing
// empty pieces and a negative limit keeps them.
//
// An empty subject never matches. Compiled patterns are cached by their whole
// pattern string, a few at a time; the least recently used one makes room.
// Every match runs under step, depth and memory limits; a match that hits
// them fails like a non-match and is reported through the error log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "ext/TextServices.h"

namespace zel {

// Failures of the matcher's own result access.
class EBRegExpError : public EZelError {
public:
    explicit EBRegExpError(const std::string& msg) : EZelError(msg) {}
};

class TBRegExp : public IRegExp {
public:
    static constexpr size_t kDefaultCachedPatterns = 8;
    // Per-call limits of PCRE2: backtracking steps, nesting depth, heap in KiB.
    static constexpr uint32_t kMatchLimit = 1000000;
    static constexpr uint32_t kDepthLimit = 100000;
    static constexpr uint32_t kHeapLimitKiB = 16 * 1024;

    // Result modes of the last call.
    enum { kNoResults = 0, kMatchResults = 1, kSplitResults = 2 };

    explicit TBRegExp(size_t cachedPatterns = kDefaultCachedPatterns);
    ~TBRegExp() override;
    TBRegExp(const TBRegExp&) = delete;
    TBRegExp& operator=(const TBRegExp&) = delete;

    std::vector<std::string> Match(const std::string& pattern, const std::string& subject) override;
    std::vector<std::string> Split(const std::string& pattern, const std::string& subject, int limit) override;
    std::string Substitute(const std::string& pattern, const std::string& subject) override;
    // Runs the pattern through Substitute, as the script commands always did:
    // a "tr/../../" pattern is not a substitution and leaves the text unchanged.
    std::string Transliterate(const std::string& pattern, const std::string& subject) override;

    // The same operations for callers that run many rules over one working
    // text (the script reader's replacement rules): they keep their buffers
    // between calls instead of building new texts, and set the same results.
    // Whether the pattern matches the subject.
    bool Matches(const std::string& pattern, const std::string& subject) override;
    // Split into pieces (its strings are reused); false and no pieces on failure.
    bool SplitInto(const std::string& pattern, const std::string& subject, int limit,
                   std::vector<std::string>& pieces) override;
    // Substitutes in text itself; false (text untouched) when nothing was substituted.
    bool SubstituteInPlace(const std::string& pattern, std::string& text) override;

    // The results of the last call: mode, number of texts (0 in mode 0), and
    // text i (the whole match and the groups, or the split pieces). ResultText
    // raises EBRegExpError in mode 0 ("no strings now") and for an index
    // outside 0 .. count-1 ("index out of range").
    int ResultMode() const;
    int ResultCount() const;
    std::string ResultText(int index) const;
    // The subject of the last successful call.
    const std::string& LastSubject() const;
    // Why the last call failed (a bad pattern, a limit); empty after a success
    // or a plain non-match.
    const std::string& LastMessage() const;

    // Number of patterns compiled so far (cache misses).
    uint64_t CompileCount() const;
    // Frees every compiled pattern.
    void ReleasePatterns();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zel
