#include "ext/uBregExpLib.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/ErrorLog.h"
#include "base/Sjis.h"

namespace zel {

namespace {

// With option k every Shift-JIS character becomes one code point: ASCII keeps
// its value, any other single byte b becomes kSjisBase + b and a double-byte
// character with code c (lead * 256 + trail, at least 0x8100) becomes
// kSjisBase + c. All of them lie in plane 15, which has no case and no
// properties, so only ASCII folds and ranges follow Shift-JIS code order.
constexpr uint32_t kSjisBase = 0xF0000;

// "正規表現の照合が制限を超えました：" — the error-log line for a match that hit its limits.
constexpr std::string_view kLimitMessage =
    "\x90\xB3\x8B\x4B\x95\x5C\x8C\xBB\x82\xCC\x8F\xC6\x8D\x87\x82\xAA\x90\xA7\x8C\xC0\x82\xF0\x92\xB4\x82\xA6"
    "\x82\xDC\x82\xB5\x82\xBD\x81\x46";

constexpr size_t kUnset = static_cast<size_t>(-1);

// Longest subject that option k maps: four bytes per character must keep the
// mapped offsets within 32 bits.
constexpr size_t kMaxMappedSubject = 256u << 20;

void AppendPlane15(std::string& out, uint32_t cp) {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

// Appends the character s[i, i + n) in its k-mode form.
void AppendMapped(std::string& out, std::string_view s, size_t i, size_t n) {
    const uint8_t b = static_cast<uint8_t>(s[i]);
    if (n == 1 && b < 0x80) {
        out += static_cast<char>(b);
    } else if (n == 1) {
        AppendPlane15(out, kSjisBase + b);
    } else {
        AppendPlane15(out, kSjisBase + (static_cast<uint32_t>(b) << 8) + static_cast<uint8_t>(s[i + 1]));
    }
}

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A piece of a parsed replacement text: literal bytes, or a group (0 = the whole match).
struct ReplPiece {
    int group = -1;
    std::string text;
};

// One compiled pattern string, kept in the cache under its whole text.
struct Pattern {
    std::string key;
    std::string error;  // why the pattern cannot be used; empty when it can
    bool substitute = false;
    bool global = false;
    bool sjis = false;
    bool jit = false;  // compiled to machine code
    // Its machine code once ran out of stack: later calls go straight to the
    // interpreter instead of walking the same deep recursion again first.
    bool jitStackRanOut = false;
    pcre2_code* code = nullptr;
    pcre2_match_data* md = nullptr;
    PCRE2_SIZE* ovector = nullptr;  // md's offset vector, fixed for md's lifetime
    uint32_t groups = 0;
    std::vector<ReplPiece> repl;

    Pattern() = default;
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;
    ~Pattern() {
        if (md) pcre2_match_data_free(md);
        if (code) pcre2_code_free(code);
    }
};

// The parts of a Perl-style pattern string.
struct Form {
    bool substitute = false;
    std::string body, repl;
    bool caseless = false, multiline = false, dotall = false, extended = false, global = false, sjis = false;
};

// Reads from pos up to the closing delimiter, keeping backslash escapes as
// written (a backslash and the whole character after it). False when the
// delimiter never comes.
bool ReadPart(std::string_view p, size_t& pos, std::string_view delim, std::string& out) {
    out.clear();
    while (pos < p.size()) {
        const size_t n = CharLen(p, pos);
        const std::string_view ch = p.substr(pos, n);
        if (ch == delim) {
            pos += n;
            return true;
        }
        if (n == 1 && ch[0] == '\\' && pos + 1 < p.size()) {
            const size_t m = CharLen(p, pos + 1);
            out.append(p.substr(pos, 1 + m));
            pos += 1 + m;
            continue;
        }
        out.append(ch);
        pos += n;
    }
    return false;
}

bool ParseForm(std::string_view p, Form& form, std::string& error) {
    size_t pos = 0;
    if (p.size() >= 2 && p[0] == 't' && p[1] == 'r') {
        error = "tr/// is not a match or substitution pattern";
        return false;
    }
    if (!p.empty() && p[0] == '/') {
        pos = 0;
    } else if (p.size() >= 2 && (p[0] == 'm' || p[0] == 's')) {
        form.substitute = p[0] == 's';
        pos = 1;
    } else {
        error = "a pattern is written /pat/, m/pat/ or s/pat/repl/";
        return false;
    }
    const size_t dn = CharLen(p, pos);
    const std::string_view delim = p.substr(pos, dn);
    if (dn == 1 && (IsAsciiAlnum(delim[0]) || delim[0] == '\\' || delim[0] == ' ' || delim[0] == '\t' ||
                    delim[0] == '\r' || delim[0] == '\n' || delim[0] == '\0')) {
        error = "bad pattern delimiter";
        return false;
    }
    pos += dn;
    if (!ReadPart(p, pos, delim, form.body) || (form.substitute && !ReadPart(p, pos, delim, form.repl))) {
        error = "pattern delimiter not closed";
        return false;
    }
    for (; pos < p.size(); ++pos) {
        switch (p[pos]) {
            case 'i': form.caseless = true; break;
            case 'm': form.multiline = true; break;
            case 's': form.dotall = true; break;
            case 'x': form.extended = true; break;
            case 'g': form.global = true; break;
            case 'k': form.sjis = true; break;
            case ' ': case '\t': case '\r': case '\n': break;
            default:
                error = std::string("unknown pattern option '") + p[pos] + "'";
                return false;
        }
    }
    return true;
}

// The pattern body as PCRE2 reads it. With k, every non-ASCII character is
// mapped to its code point. Without k the bytes are kept, but a trail byte
// that is ASCII punctuation ("\" of 表, "[", "|" …) is escaped so that it
// stays a plain byte of its character.
std::string ToPcreBody(std::string_view body, bool sjis) {
    std::string out;
    out.reserve(body.size() * 2);
    for (size_t i = 0; i < body.size();) {
        const size_t n = CharLen(body, i);
        if (sjis) {
            AppendMapped(out, body, i, n);
        } else {
            out += body[i];
            if (n == 2) {
                const char t = body[i + 1];
                if (t >= 0x21 && t <= 0x7E && !IsAsciiAlnum(t)) out += '\\';
                out += t;
            }
        }
        i += n;
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::vector<ReplPiece> ParseReplacement(std::string_view r) {
    std::vector<ReplPiece> out;
    std::string lit;
    auto flush = [&] {
        if (!lit.empty()) out.push_back({-1, std::move(lit)});
        lit.clear();
    };
    auto group = [&](int g) {
        flush();
        out.push_back({g, {}});
    };
    for (size_t i = 0; i < r.size();) {
        const size_t n = CharLen(r, i);
        const char c = r[i];
        if (n == 1 && c == '\\' && i + 1 < r.size()) {
            const size_t m = CharLen(r, i + 1);
            const char d = r[i + 1];
            if (m == 1) {
                if (d >= '1' && d <= '9') {
                    group(d - '0');
                    i += 2;
                    continue;
                }
                char esc = 0;
                switch (d) {
                    case 'n': esc = '\n'; break;
                    case 't': esc = '\t'; break;
                    case 'r': esc = '\r'; break;
                    case 'f': esc = '\f'; break;
                    case 'a': esc = '\a'; break;
                    case 'e': esc = '\x1B'; break;
                    default: break;
                }
                if (esc) {
                    lit += esc;
                    i += 2;
                    continue;
                }
                if (d == 'x' && i + 2 < r.size() && HexDigit(r[i + 2]) >= 0) {
                    int v = HexDigit(r[i + 2]);
                    size_t used = 3;
                    if (i + 3 < r.size() && HexDigit(r[i + 3]) >= 0) {
                        v = v * 16 + HexDigit(r[i + 3]);
                        used = 4;
                    }
                    lit += static_cast<char>(v);
                    i += used;
                    continue;
                }
            }
            lit.append(r.substr(i + 1, m));  // any other escaped character stands for itself
            i += 1 + m;
            continue;
        }
        if (n == 1 && c == '$' && i + 1 < r.size()) {
            const char d = r[i + 1];
            if (d == '&') {
                group(0);
                i += 2;
                continue;
            }
            if (d >= '1' && d <= '9') {
                group(d - '0');
                i += 2;
                continue;
            }
        }
        lit.append(r.substr(i, n));
        i += n;
    }
    flush();
    return out;
}

uint64_t Load64(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Equality of two texts, inlined for the short keys and lines compared on
// every call (a library memcmp costs more than the compare itself).
bool SameBytes(const std::string& a, const std::string& b) {
    const size_t n = a.size();
    if (n != b.size()) return false;
    const char* x = a.data();
    const char* y = b.data();
    if (n < 8) {
        for (size_t i = 0; i < n; ++i) {
            if (x[i] != y[i]) return false;
        }
        return true;
    }
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        if (Load64(x + i) != Load64(y + i)) return false;
    }
    return i == n || Load64(x + n - 8) == Load64(y + n - 8);
}

bool IsAscii(const std::string& s) {
    const char* p = s.data();
    const size_t n = s.size();
    size_t i = 0;
    uint64_t bits = 0;
    for (; i + 8 <= n; i += 8) bits |= Load64(p + i);
    for (; i < n; ++i) bits |= static_cast<uint8_t>(p[i]);
    return (bits & 0x8080808080808080ull) == 0;
}

// Time budget of one operation whose loop calls PCRE2 again and again (every
// occurrence of a substitution, every piece of a split): each call is held to
// the match limit, and the loop as a whole to kLoopBudget. The clock starts at
// the second call and is read at every call after it: a single call costly
// enough to reach the match limit takes far longer than reading the clock, so
// the budget must not wait for dozens of them.
constexpr auto kLoopBudget = std::chrono::milliseconds(200);

class LoopBudget {
public:
    bool Spent() {
        if (++calls_ == 1) return false;
        const auto now = std::chrono::steady_clock::now();
        if (calls_ == 2) {
            start_ = now;
            return false;
        }
        return now - start_ > kLoopBudget;
    }

private:
    uint64_t calls_ = 0;
    std::chrono::steady_clock::time_point start_;
};

bool IsLimitError(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
           rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_NOMEMORY;
}

std::string PcreMessage(int code) {
    PCRE2_UCHAR buf[256];
    const int n = pcre2_get_error_message(code, buf, sizeof buf);
    return n > 0 ? std::string(reinterpret_cast<const char*>(buf), static_cast<size_t>(n)) : std::string("error");
}

}  // namespace

struct TBRegExp::Impl {
    size_t capacity;
    // The cache: key length and last use kept beside the pattern, so that a
    // lookup mostly touches this array only.
    struct Slot {
        size_t keySize;
        uint64_t lastUse;
        std::unique_ptr<Pattern> pattern;
    };
    std::vector<Slot> cache;
    uint64_t clock = 0;  // counts lookups, for least-recently-used eviction
    size_t lastHit = 0;
    uint64_t compiles = 0;

    pcre2_compile_context* cctx = nullptr;
    pcre2_match_context* mctx = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    // The subject as PCRE2 sees it, and the way back to the caller's bytes
    // when it had to be mapped: for every non-ASCII character, in order, its
    // offset in the mapped text and the offset just after it in the subject.
    // Between them ASCII runs map one to one.
    const char* subj = nullptr;
    size_t subjLen = 0;
    bool mapped = false;
    std::string mappedText;  // only the first mappedLen bytes are in use
    size_t mappedLen = 0;
    std::vector<uint32_t> wideAt, wideEnd;  // only the first wideCount entries are in use
    size_t wideCount = 0;
    std::string mappedSource;  // the subject that mappedText was made from
    bool mappingValid = false;

    // Results of the last call.
    int mode = kNoResults;
    std::string lastSubject;
    std::vector<std::pair<size_t, size_t>> spans;  // offsets in lastSubject; kUnset for a group that did not take part
    std::string message;
    std::string scratch;  // output buffer of SubstituteInPlace, reused between calls

    explicit Impl(size_t cap) : capacity(std::max<size_t>(cap, 1)) {
        cctx = pcre2_compile_context_create(nullptr);
        mctx = pcre2_match_context_create(nullptr);
        // Small, so that runaway recursion fails within milliseconds (its cost
        // grows with the square of the depth) and goes to the interpreter.
        jitStack = pcre2_jit_stack_create(32 * 1024, 128 * 1024, nullptr);
        if (!cctx || !mctx) throw EBRegExpError("out of memory for the regular-expression contexts");
        pcre2_set_newline(cctx, PCRE2_NEWLINE_LF);
        pcre2_set_bsr(cctx, PCRE2_BSR_ANYCRLF);
        pcre2_set_match_limit(mctx, kMatchLimit);
        pcre2_set_depth_limit(mctx, kDepthLimit);
        pcre2_set_heap_limit(mctx, kHeapLimitKiB);
        if (jitStack) pcre2_jit_stack_assign(mctx, nullptr, jitStack);
    }
    ~Impl() {
        cache.clear();
        if (jitStack) pcre2_jit_stack_free(jitStack);
        if (mctx) pcre2_match_context_free(mctx);
        if (cctx) pcre2_compile_context_free(cctx);
    }

    std::unique_ptr<Pattern> Compile(const std::string& key) {
        auto p = std::make_unique<Pattern>();
        p->key = key;
        Form form;
        if (!ParseForm(key, form, p->error)) return p;
        p->substitute = form.substitute;
        p->global = form.global;
        p->sjis = form.sjis;
        uint32_t flags = 0;
        if (form.caseless) flags |= PCRE2_CASELESS;
        if (form.multiline) flags |= PCRE2_MULTILINE;
        if (form.dotall) flags |= PCRE2_DOTALL;
        if (form.extended) flags |= PCRE2_EXTENDED;
        flags |= form.sjis ? (PCRE2_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C) : (PCRE2_NEVER_UTF | PCRE2_NEVER_UCP);
        const std::string body = ToPcreBody(form.body, form.sjis);
        int err = 0;
        PCRE2_SIZE errOffset = 0;
        p->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(body.data()), body.size(), flags, &err, &errOffset, cctx);
        if (!p->code) {
            p->error = "pattern error: " + PcreMessage(err);
            return p;
        }
        // The interpreter runs the pattern when JIT is not available.
        if (pcre2_jit_compile(p->code, PCRE2_JIT_COMPLETE) == 0) {
            size_t jitSize = 0;
            p->jit = pcre2_pattern_info(p->code, PCRE2_INFO_JITSIZE, &jitSize) == 0 && jitSize > 0;
        }
        pcre2_pattern_info(p->code, PCRE2_INFO_CAPTURECOUNT, &p->groups);
        p->md = pcre2_match_data_create_from_pattern(p->code, nullptr);
        if (!p->md) {
            p->error = "out of memory";
            return p;
        }
        p->ovector = pcre2_get_ovector_pointer(p->md);
        if (form.substitute) p->repl = ParseReplacement(form.repl);
        return p;
    }

    // The compiled form of key. Entries carry the time of their last use; a
    // miss compiles the pattern into the least recently used place.
    Pattern& Get(const std::string& key) {
        ++clock;
        // Rules tend to come in the same order every line: look first at the
        // entry after the one used last.
        const size_t n = cache.size();
        size_t i = lastHit;
        for (size_t k = 0; k < n; ++k) {
            if (++i >= n) i = 0;
            Slot& slot = cache[i];
            if (slot.keySize == key.size() && SameBytes(slot.pattern->key, key)) {
                slot.lastUse = clock;
                lastHit = i;
                return *slot.pattern;
            }
        }
        return Miss(key);
    }

    [[gnu::noinline]] Pattern& Miss(const std::string& key) {
        ++compiles;
        Slot slot{key.size(), clock, Compile(key)};
        if (cache.size() < capacity) {
            cache.push_back(std::move(slot));
            lastHit = cache.size() - 1;
        } else {
            auto oldest = std::min_element(cache.begin(), cache.end(),
                                           [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; });
            *oldest = std::move(slot);
            lastHit = static_cast<size_t>(oldest - cache.begin());
        }
        return *cache[lastHit].pattern;
    }

    // Starts a call: forgets the previous results; false (with the reason in
    // message) when the pattern cannot serve this kind of call.
    bool Begin(const Pattern& p, bool wantSubstitute) {
        mode = kNoResults;
        spans.clear();
        message.clear();
        if (!p.error.empty()) {
            message = p.error;
            return false;
        }
        if (p.substitute != wantSubstitute) {
            message = wantSubstitute ? "not a substitution pattern" : "a substitution pattern cannot match or split";
            return false;
        }
        return true;
    }

    // Makes subject the text PCRE2 runs on; false when it is too long to map.
    bool Prepare(const Pattern& p, const std::string& subject) {
        mapped = false;
        subj = subject.data();
        subjLen = subject.size();
        if (!p.sjis) return true;
        if (subject.size() > kMaxMappedSubject) {
            message = "subject too long for option k";
            return false;
        }
        if (!(mappingValid && SameBytes(mappedSource, subject))) {
            if (IsAscii(subject)) return true;  // ASCII is its own mapping
            MapSubject(subject);
        }
        mapped = true;
        subj = mappedText.data();
        subjLen = mappedLen;
        return true;
    }

    // Builds the k-mode form of subject (at most four bytes per character).
    // Rules that run one after another over the same line reuse it.
    void MapSubject(const std::string& subject) {
        const char* in = subject.data();
        const size_t len = subject.size();
        if (mappedText.size() < len * 4) mappedText.resize(len * 4);
        if (wideAt.size() < len) {
            wideAt.resize(len);
            wideEnd.resize(len);
        }
        char* out = mappedText.data();
        uint32_t* at = wideAt.data();
        uint32_t* end = wideEnd.data();
        size_t i = 0, j = 0, w = 0;
        while (i < len) {
            // Runs of ASCII, eight bytes at a time, map to themselves.
            while (i + 8 <= len && (Load64(in + i) & 0x8080808080808080ull) == 0) {
                std::memcpy(out + j, in + i, 8);
                i += 8;
                j += 8;
            }
            if (i >= len) break;
            const uint8_t b = static_cast<uint8_t>(in[i]);
            if (b < 0x80) {
                out[j++] = static_cast<char>(b);
                ++i;
                continue;
            }
            uint32_t cp = kSjisBase + b;
            if (IsLeadByte(b) && i + 1 < len) {
                cp = kSjisBase + (static_cast<uint32_t>(b) << 8) + static_cast<uint8_t>(in[i + 1]);
                i += 2;
            } else {
                i += 1;
            }
            at[w] = static_cast<uint32_t>(j);
            end[w] = static_cast<uint32_t>(i);
            ++w;
            out[j++] = static_cast<char>(0xF0 | (cp >> 18));
            out[j++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[j++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[j++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
        mappedLen = j;
        wideCount = w;
        mappedSource.assign(subject);
        mappingValid = true;
    }

    // Subject offset of a character boundary of the text PCRE2 saw (the only
    // offsets PCRE2 reports in UTF mode).
    size_t Orig(size_t off) const {
        if (!mapped) return off;
        // The last non-ASCII character that starts before off.
        const auto first = wideAt.begin();
        const auto it = std::lower_bound(first, first + static_cast<ptrdiff_t>(wideCount), off);
        if (it == first) return off;
        const size_t k = static_cast<size_t>(it - first) - 1;
        return wideEnd[k] + (off - wideAt[k] - 4);
    }

    // 1 on a match, 0 on none, -1 on a failure (reported when a limit was hit).
    int Exec(Pattern& p, size_t start, uint32_t options) {
        // A JIT-compiled pattern goes straight to its machine code: the checks
        // that pcre2_match would repeat hold here by construction (start within
        // the subject, a mapped subject valid UTF-8, options JIT supports).
        const auto* text = reinterpret_cast<PCRE2_SPTR>(subj);
        const bool machineCode = p.jit && !p.jitStackRanOut;
        int rc = machineCode ? pcre2_jit_match(p.code, text, subjLen, start, options, p.md, mctx)
                             : PCRE2_ERROR_JIT_STACKLIMIT;
        // Machine code that runs out of its stack (deep recursion, which it
        // also walks far more slowly the deeper it goes) hands the call, and
        // every later one, to the interpreter, which notices recursion that
        // never moves on and keeps its own step, depth and memory limits.
        if (!machineCode || rc == PCRE2_ERROR_JIT_STACKLIMIT) {
            if (machineCode) p.jitStackRanOut = true;
            rc = pcre2_match(p.code, text, subjLen, start,
                             options | (p.jit ? PCRE2_NO_JIT : 0) | (p.sjis ? PCRE2_NO_UTF_CHECK : 0), p.md, mctx);
        }
        if (rc >= 0) return 1;
        if (rc == PCRE2_ERROR_NOMATCH) return 0;
        Fail(p, rc);
        return -1;
    }

    [[gnu::noinline, gnu::cold]] void Fail(const Pattern& p, int rc) {
        message = PcreMessage(rc);
        if (IsLimitError(rc)) ReportLimit(p);
    }

    [[gnu::noinline, gnu::cold]] void ReportLimit(const Pattern& p) {
        std::string line(kLimitMessage);
        line += p.key;
        ReportError(line);
    }

    // False, reported, when a loop of calls has run out of time.
    bool WithinBudget(LoopBudget& budget, const Pattern& p) {
        if (!budget.Spent()) return true;
        message = "time limit exceeded";
        ReportLimit(p);
        return false;
    }

    // Group g of the last match as offsets in the caller's subject.
    std::pair<size_t, size_t> GroupSpan(const Pattern& p, uint32_t g) const {
        const PCRE2_SIZE* ov = p.ovector;
        if (g > p.groups || ov[2 * g] == PCRE2_UNSET) return {kUnset, kUnset};
        const size_t s = Orig(ov[2 * g]), e = Orig(ov[2 * g + 1]);
        return {std::min(s, e), e};
    }

    void KeepGroups(const Pattern& p) {
        spans.clear();
        for (uint32_t g = 0; g <= p.groups; ++g) spans.push_back(GroupSpan(p, g));
    }

    std::string Text(const std::pair<size_t, size_t>& s) const {
        return s.first == kUnset ? std::string() : lastSubject.substr(s.first, s.second - s.first);
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        out.reserve(spans.size());
        for (const auto& s : spans) out.push_back(Text(s));
        return out;
    }

    void Succeed(int newMode, const std::string& subject) {
        mode = newMode;
        lastSubject.assign(subject);
    }

    bool MatchCore(const std::string& pattern, const std::string& subject);
    bool SplitCore(const std::string& pattern, const std::string& subject, int limit);
    // Writes the substituted subject into out (a different string); false
    // when nothing was substituted or the call failed.
    // keepSubject false: the caller moves the subject into lastSubject itself.
    bool SubstituteCore(const std::string& pattern, const std::string& subject, std::string& out,
                        bool keepSubject = true);
};

TBRegExp::TBRegExp(size_t cachedPatterns) : impl_(std::make_unique<Impl>(cachedPatterns)) {}
TBRegExp::~TBRegExp() = default;

bool TBRegExp::Impl::MatchCore(const std::string& pattern, const std::string& subject) {
    Pattern& p = Get(pattern);
    if (!Begin(p, false) || subject.empty()) return false;
    if (!Prepare(p, subject)) return false;
    if (Exec(p, 0, 0) <= 0) return false;
    KeepGroups(p);
    Succeed(kMatchResults, subject);
    return true;
}

bool TBRegExp::Impl::SplitCore(const std::string& pattern, const std::string& subject, int limit) {
    Pattern& p = Get(pattern);
    if (!Begin(p, false) || subject.empty()) return false;
    if (!Prepare(p, subject)) return false;
    size_t start = 0;  // start of the current piece, in the text PCRE2 sees
    int fields = 0;
    LoopBudget budget;
    for (;;) {
        if (limit > 0 && fields + 1 >= limit) break;  // the last piece keeps the rest
        if (!WithinBudget(budget, p)) {
            spans.clear();
            return false;
        }
        // A match may not be empty where the current piece begins: no empty
        // leading piece, and the search always moves on.
        const int rc = Exec(p, start, PCRE2_NOTEMPTY_ATSTART);
        if (rc < 0) {
            spans.clear();
            return false;
        }
        if (rc == 0) break;
        const auto whole = GroupSpan(p, 0);
        spans.emplace_back(Orig(start), std::max(Orig(start), whole.first));
        ++fields;
        for (uint32_t g = 1; g <= p.groups; ++g) spans.push_back(GroupSpan(p, g));
        start = p.ovector[1];
    }
    spans.emplace_back(Orig(start), subject.size());
    if (limit == 0) {
        while (!spans.empty() && (spans.back().first == kUnset || spans.back().first == spans.back().second)) {
            spans.pop_back();
        }
    }
    Succeed(kSplitResults, subject);
    return true;
}

bool TBRegExp::Impl::SubstituteCore(const std::string& pattern, const std::string& subject, std::string& out,
                                     bool keepSubject) {
    Pattern& p = Get(pattern);
    if (!Begin(p, true) || subject.empty()) return false;
    if (!Prepare(p, subject)) return false;
    out.clear();
    size_t copied = 0;  // the subject's bytes up to here are in out
    size_t start = 0;
    uint32_t options = 0;
    bool any = false;
    LoopBudget budget;
    for (;;) {
        if (!WithinBudget(budget, p)) return false;
        const int rc = Exec(p, start, options);
        if (rc < 0) return false;  // a failure part-way changes nothing
        if (rc == 0) break;
        const auto whole = GroupSpan(p, 0);
        const size_t from = std::max(copied, whole.first);
        if (!any) out.reserve(subject.size() + 32);
        out.append(subject, copied, from - copied);
        for (const ReplPiece& piece : p.repl) {
            if (piece.group < 0) {
                out += piece.text;
            } else {
                const auto g = GroupSpan(p, static_cast<uint32_t>(piece.group));
                if (g.first != kUnset) out.append(subject, g.first, g.second - g.first);
            }
        }
        copied = std::max(from, whole.second);
        any = true;
        KeepGroups(p);
        if (!p.global) break;
        const PCRE2_SIZE* ov = p.ovector;
        start = ov[1];
        // After an empty match the next one may not be empty at the same place.
        options = ov[1] == ov[0] ? PCRE2_NOTEMPTY_ATSTART : 0;
    }
    if (!any) return false;
    out.append(subject, copied, std::string::npos);
    mode = kMatchResults;
    if (keepSubject) lastSubject.assign(subject);
    return true;
}

std::vector<std::string> TBRegExp::Match(const std::string& pattern, const std::string& subject) {
    if (!impl_->MatchCore(pattern, subject)) return {};
    return impl_->Texts();
}

std::vector<std::string> TBRegExp::Split(const std::string& pattern, const std::string& subject, int limit) {
    if (!impl_->SplitCore(pattern, subject, limit)) return {};
    return impl_->Texts();
}

std::string TBRegExp::Substitute(const std::string& pattern, const std::string& subject) {
    std::string out;
    return impl_->SubstituteCore(pattern, subject, out) ? out : subject;
}

std::string TBRegExp::Transliterate(const std::string& pattern, const std::string& subject) {
    return Substitute(pattern, subject);
}

bool TBRegExp::Matches(const std::string& pattern, const std::string& subject) {
    return impl_->MatchCore(pattern, subject);
}

bool TBRegExp::SplitInto(const std::string& pattern, const std::string& subject, int limit,
                         std::vector<std::string>& pieces) {
    const bool ok = impl_->SplitCore(pattern, subject, limit);
    // The pieces come from the kept copy of the subject, so that subject may
    // itself be one of the pieces.
    const auto& spans = impl_->spans;
    const std::string& source = impl_->lastSubject;
    pieces.resize(ok ? spans.size() : 0);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (spans[i].first == kUnset) {
            pieces[i].clear();
        } else {
            pieces[i].assign(source, spans[i].first, spans[i].second - spans[i].first);
        }
    }
    return ok;
}

bool TBRegExp::SubstituteInPlace(const std::string& pattern, std::string& text) {
    Impl& m = *impl_;
    if (!m.SubstituteCore(pattern, text, m.scratch, false)) return false;
    // Old text to lastSubject, new text to the caller, and the buffer that
    // held the previous subject serves the next call: nothing is copied.
    m.lastSubject.swap(text);
    text.swap(m.scratch);
    return true;
}

int TBRegExp::ResultMode() const { return impl_->mode; }

int TBRegExp::ResultCount() const {
    return impl_->mode == kNoResults ? 0 : static_cast<int>(impl_->spans.size());
}

std::string TBRegExp::ResultText(int index) const {
    if (impl_->mode == kNoResults) throw EBRegExpError("no strings now");
    if (index < 0 || static_cast<size_t>(index) >= impl_->spans.size()) throw EBRegExpError("index out of range");
    return impl_->Text(impl_->spans[static_cast<size_t>(index)]);
}

const std::string& TBRegExp::LastSubject() const { return impl_->lastSubject; }
const std::string& TBRegExp::LastMessage() const { return impl_->message; }
uint64_t TBRegExp::CompileCount() const { return impl_->compiles; }
void TBRegExp::ReleasePatterns() { impl_->cache.clear(); }

}  // namespace zel
