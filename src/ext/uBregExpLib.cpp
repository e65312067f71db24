#include "ext/uBregExpLib.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
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
    pcre2_code* code = nullptr;
    pcre2_match_data* md = nullptr;
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
    std::vector<std::unique_ptr<Pattern>> cache;  // most recently used first
    uint64_t compiles = 0;

    pcre2_compile_context* cctx = nullptr;
    pcre2_match_context* mctx = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    // The subject as PCRE2 sees it, and the way back to the caller's bytes:
    // back[j] is the byte offset in the subject of the character that holds
    // byte j of the mapped text (only used when the text had to be mapped).
    const char* subj = nullptr;
    size_t subjLen = 0;
    bool mapped = false;
    std::string mappedText;
    std::vector<uint32_t> back;

    // Results of the last call.
    int mode = kNoResults;
    std::string lastSubject;
    std::vector<std::pair<size_t, size_t>> spans;  // offsets in lastSubject; kUnset for a group that did not take part
    std::string message;

    explicit Impl(size_t cap) : capacity(std::max<size_t>(cap, 1)) {
        cctx = pcre2_compile_context_create(nullptr);
        mctx = pcre2_match_context_create(nullptr);
        jitStack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
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
        pcre2_jit_compile(p->code, PCRE2_JIT_COMPLETE);  // the interpreter runs the pattern when JIT is not available
        pcre2_pattern_info(p->code, PCRE2_INFO_CAPTURECOUNT, &p->groups);
        p->md = pcre2_match_data_create_from_pattern(p->code, nullptr);
        if (!p->md) {
            p->error = "out of memory";
            return p;
        }
        if (form.substitute) p->repl = ParseReplacement(form.repl);
        return p;
    }

    Pattern& Get(const std::string& key) {
        for (size_t i = 0; i < cache.size(); ++i) {
            if (cache[i]->key == key) {
                if (i > 0) std::rotate(cache.begin(), cache.begin() + static_cast<ptrdiff_t>(i),
                                       cache.begin() + static_cast<ptrdiff_t>(i) + 1);
                return *cache.front();
            }
        }
        ++compiles;
        cache.insert(cache.begin(), Compile(key));
        if (cache.size() > capacity) cache.pop_back();
        return *cache.front();
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

    void Prepare(const Pattern& p, const std::string& subject) {
        mapped = false;
        subj = subject.data();
        subjLen = subject.size();
        if (!p.sjis) return;
        const bool ascii = std::all_of(subject.begin(), subject.end(),
                                       [](char c) { return static_cast<uint8_t>(c) < 0x80; });
        if (ascii) return;  // ASCII is its own mapping
        mapped = true;
        mappedText.clear();
        back.clear();
        for (size_t i = 0; i < subject.size();) {
            const size_t n = CharLen(subject, i);
            AppendMapped(mappedText, subject, i, n);
            back.resize(mappedText.size(), static_cast<uint32_t>(i));
            i += n;
        }
        back.push_back(static_cast<uint32_t>(subject.size()));
        subj = mappedText.data();
        subjLen = mappedText.size();
    }

    size_t Orig(size_t off) const { return mapped ? back[off] : off; }

    // 1 on a match, 0 on none, -1 on a failure (reported when a limit was hit).
    int Exec(Pattern& p, size_t start, uint32_t options) {
        if (p.sjis) options |= PCRE2_NO_UTF_CHECK;  // the mapped text is valid UTF-8 by construction
        const int rc = pcre2_match(p.code, reinterpret_cast<PCRE2_SPTR>(subj), subjLen, start, options, p.md, mctx);
        if (rc >= 0) return 1;
        if (rc == PCRE2_ERROR_NOMATCH) return 0;
        message = PcreMessage(rc);
        if (IsLimitError(rc)) {
            std::string line(kLimitMessage);
            line += p.key;
            ReportError(line);
        }
        return -1;
    }

    // Group g of the last match as offsets in the caller's subject.
    std::pair<size_t, size_t> GroupSpan(const Pattern& p, uint32_t g) const {
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(p.md);
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
};

TBRegExp::TBRegExp(size_t cachedPatterns) : impl_(std::make_unique<Impl>(cachedPatterns)) {}
TBRegExp::~TBRegExp() = default;

std::vector<std::string> TBRegExp::Match(const std::string& pattern, const std::string& subject) {
    Impl& m = *impl_;
    Pattern& p = m.Get(pattern);
    if (!m.Begin(p, false) || subject.empty()) return {};
    m.Prepare(p, subject);
    if (m.Exec(p, 0, 0) <= 0) return {};
    m.KeepGroups(p);
    m.Succeed(kMatchResults, subject);
    return m.Texts();
}

std::vector<std::string> TBRegExp::Split(const std::string& pattern, const std::string& subject, int limit) {
    Impl& m = *impl_;
    Pattern& p = m.Get(pattern);
    if (!m.Begin(p, false) || subject.empty()) return {};
    m.Prepare(p, subject);
    std::vector<std::pair<size_t, size_t>> pieces;
    size_t start = 0;  // start of the current piece, in the text PCRE2 sees
    int fields = 0;
    for (;;) {
        if (limit > 0 && fields + 1 >= limit) break;  // the last piece keeps the rest
        // A match may not be empty where the current piece begins: no empty
        // leading piece, and the search always moves on.
        const int rc = m.Exec(p, start, PCRE2_NOTEMPTY_ATSTART);
        if (rc < 0) return {};
        if (rc == 0) break;
        const auto whole = m.GroupSpan(p, 0);
        pieces.emplace_back(m.Orig(start), std::max(m.Orig(start), whole.first));
        ++fields;
        for (uint32_t g = 1; g <= p.groups; ++g) pieces.push_back(m.GroupSpan(p, g));
        start = pcre2_get_ovector_pointer(p.md)[1];
    }
    pieces.emplace_back(m.Orig(start), subject.size());
    if (limit == 0) {
        while (!pieces.empty() && (pieces.back().first == kUnset || pieces.back().first == pieces.back().second)) {
            pieces.pop_back();
        }
    }
    m.spans = std::move(pieces);
    m.Succeed(kSplitResults, subject);
    return m.Texts();
}

std::string TBRegExp::Substitute(const std::string& pattern, const std::string& subject) {
    Impl& m = *impl_;
    Pattern& p = m.Get(pattern);
    if (!m.Begin(p, true) || subject.empty()) return subject;
    m.Prepare(p, subject);
    std::string out;
    size_t copied = 0;  // caller's bytes up to here are in out
    size_t start = 0;
    uint32_t options = 0;
    bool any = false;
    for (;;) {
        const int rc = m.Exec(p, start, options);
        if (rc < 0) return subject;  // a failure part-way changes nothing
        if (rc == 0) break;
        const auto whole = m.GroupSpan(p, 0);
        const size_t from = std::max(copied, whole.first);
        out.append(subject, copied, from - copied);
        for (const ReplPiece& piece : p.repl) {
            if (piece.group < 0) {
                out += piece.text;
            } else {
                const auto g = m.GroupSpan(p, static_cast<uint32_t>(piece.group));
                if (g.first != kUnset) out.append(subject, g.first, g.second - g.first);
            }
        }
        copied = std::max(from, whole.second);
        any = true;
        m.KeepGroups(p);
        if (!p.global) break;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(p.md);
        start = ov[1];
        // After an empty match the next one may not be empty at the same place.
        options = ov[1] == ov[0] ? PCRE2_NOTEMPTY_ATSTART : 0;
    }
    if (!any) return subject;
    out.append(subject, copied, std::string::npos);
    m.Succeed(kMatchResults, subject);
    return out;
}

std::string TBRegExp::Transliterate(const std::string& pattern, const std::string& subject) {
    return Substitute(pattern, subject);
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
