// Script lines through five replacement rules of the script reader (a match
// prefix, two substitutions, a split into at most 32 parts and a translation)
// by way of the regular-expression front end, against the same match calls
// made straight on PCRE2 over the raw bytes: the same compiled patterns (JIT)
// and the same number of calls per line, but no pattern lookup, no Shift-JIS
// mapping and no result texts. The ratio of the two times is what the front
// end costs. It is measured for the IRegExp calls (each returns new texts)
// and for the buffer-keeping calls the reader can use, with and without
// option k, against pcre2_match and against pcre2_jit_match.
#include <benchmark/benchmark.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "ext/uBregExpLib.h"

using namespace zel;

namespace {

struct Rule {
    int kind;             // 1 match, 2 substitute, 3 split (32 parts), 4 translate
    const char* pattern;  // the front end's pattern string
    const char* body;     // the same pattern as PCRE2 reads it
    uint32_t flags;
    bool global;
};

// Without k: raw bytes.
const Rule kRules[] = {
    {1, "/^\\\\(if|elif)\\b/", "^\\\\(if|elif)\\b", 0, false},
    {2, "s/%(\\w+)%/\\\\str $1/g", "%(\\w+)%", 0, true},
    {2, "s/[ \\t]+\\r\\n/\\r\\n/", "[ \\t]+\\r\\n", 0, false},
    {3, "/;/", ";", 0, true},
    {4, "s/hero/Alice/gi", "hero", PCRE2_CASELESS, true},
};

// With k: Shift-JIS characters (the raw baseline still runs on raw bytes).
const Rule kSjisRules[] = {
    {1, "/^\\\\(if|elif)\\b/k", "^\\\\(if|elif)\\b", 0, false},
    {2, "s/%(\\w+)%/\\\\str $1/gk", "%(\\w+)%", 0, true},
    {2, "s/[ \\t]+\\r\\n/\\r\\n/k", "[ \\t]+\\r\\n", 0, false},
    {3, "/\x81\x41/k", "\x81\x41", 0, true},  // 、
    {4, "s/hero/Alice/gik", "hero", PCRE2_CASELESS, true},
};

// Script-like lines with the CR LF the reader appends while rules are active.
std::vector<std::string> MakeLines() {
    const char* shapes[] = {
        "\\if %score%>=10;\\go *good;\\else;\\go *bad\r\n",
        "\x81\x75\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x41hero\x81\x42\x95\x5C\x82\xC9\x8F\x6F\x82\xE6\x82\xA4\x81\x76\r\n",
        "\\scp img1;\\show 0,0,%x%,%y%   \r\n",
        "\x8D\xA1\x93\xFA\x82\xCD\x81\x41\x82\xA2\x82\xA2\x93\x56\x8B\x43\x82\xBE\x82\xC8\x81\x41Hero\x81\x42\r\n",
        "\\var int,a,b,c;\\cal a=1;\\cal b=2;\\cal c=a+b\r\n",
        "\\elif flag==1;\\call *sub,%name%,%value%\t\r\n",
        "@@label_%n%\r\n",
        "\x81\x40\x81\x40\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x81\x41\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1\r\n",
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 1024; ++i) {
        std::string s = shapes[i % 8];
        s.insert(s.size() - 2, std::string(static_cast<size_t>(i % 3), ' '));  // some lines end in blanks
        lines.push_back(s);
    }
    return lines;
}

// The rules' pattern strings, held as the reader holds them.
std::vector<std::string> Patterns(const Rule* rules) {
    std::vector<std::string> out;
    for (int r = 0; r < 5; ++r) out.emplace_back(rules[r].pattern);
    return out;
}

const std::vector<std::string>& Lines() {
    static const std::vector<std::string> lines = MakeLines();
    return lines;
}

// One pass over all lines through the IRegExp calls, each rule on the line.
class FrontEndPass {
public:
    explicit FrontEndPass(const Rule* rules) : rules_(rules), patterns_(Patterns(rules)) {}
    void Run() {
        for (const std::string& line : Lines()) {
            for (size_t r = 0; r < 5; ++r) {
                const std::string& pattern = patterns_[r];
                switch (rules_[r].kind) {
                    case 1: benchmark::DoNotOptimize(re_.Match(pattern, line)); break;
                    case 2: benchmark::DoNotOptimize(re_.Substitute(pattern, line)); break;
                    case 3: benchmark::DoNotOptimize(re_.Split(pattern, line, 32)); break;
                    case 4: benchmark::DoNotOptimize(re_.Transliterate(pattern, line)); break;
                }
            }
        }
    }

private:
    const Rule* rules_;
    std::vector<std::string> patterns_;
    TBRegExp re_;
};

// One pass through the entry points that keep their buffers, as the script
// reader applies its rules: one working text per line, changed in place.
class InPlacePass {
public:
    explicit InPlacePass(const Rule* rules) : rules_(rules), patterns_(Patterns(rules)) {}
    void Run() {
        for (const std::string& line : Lines()) {
            work_.assign(line);
            for (size_t r = 0; r < 5; ++r) {
                const std::string& pattern = patterns_[r];
                switch (rules_[r].kind) {
                    case 1: benchmark::DoNotOptimize(re_.Matches(pattern, work_)); break;
                    case 2:
                    case 4: benchmark::DoNotOptimize(re_.SubstituteInPlace(pattern, work_)); break;
                    case 3: benchmark::DoNotOptimize(re_.SplitInto(pattern, work_, 32, pieces_)); break;
                }
            }
        }
    }

private:
    const Rule* rules_;
    std::vector<std::string> patterns_;
    TBRegExp re_;
    std::string work_;
    std::vector<std::string> pieces_;
};

// One pass of the same match calls straight on PCRE2: the same compiled
// patterns and match limits, raw bytes, no lookup and no result texts.
class RawPass {
public:
    // jitMatch: call pcre2_jit_match, the JIT fast path, instead of pcre2_match.
    explicit RawPass(const Rule* rules, bool jitMatch = false) : jitMatch_(jitMatch) {
        cctx_ = pcre2_compile_context_create(nullptr);
        pcre2_set_newline(cctx_, PCRE2_NEWLINE_LF);
        mctx_ = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(mctx_, TBRegExp::kMatchLimit);
        stack_ = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
        pcre2_jit_stack_assign(mctx_, nullptr, stack_);
        for (size_t r = 0; r < 5; ++r) {
            int err = 0;
            PCRE2_SIZE off = 0;
            raw_[r].code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(rules[r].body), PCRE2_ZERO_TERMINATED,
                                         rules[r].flags | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP, &err, &off, cctx_);
            if (!raw_[r].code) {
                std::fprintf(stderr, "pattern %s does not compile\n", rules[r].body);
                std::abort();
            }
            pcre2_jit_compile(raw_[r].code, PCRE2_JIT_COMPLETE);
            raw_[r].md = pcre2_match_data_create_from_pattern(raw_[r].code, nullptr);
            raw_[r].global = rules[r].global;
            raw_[r].split = rules[r].kind == 3;
        }
    }
    ~RawPass() {
        for (auto& rr : raw_) {
            pcre2_match_data_free(rr.md);
            pcre2_code_free(rr.code);
        }
        pcre2_jit_stack_free(stack_);
        pcre2_match_context_free(mctx_);
        pcre2_compile_context_free(cctx_);
    }
    RawPass(const RawPass&) = delete;
    RawPass& operator=(const RawPass&) = delete;

    void Run() {
        for (const std::string& line : Lines()) {
            const auto* subject = reinterpret_cast<PCRE2_SPTR>(line.data());
            for (auto& rr : raw_) {
                size_t start = 0;
                uint32_t options = rr.split ? PCRE2_NOTEMPTY_ATSTART : 0;
                int pieces = 1;
                for (;;) {
                    if (rr.split && pieces >= 32) break;
                    const int rc = jitMatch_ ? pcre2_jit_match(rr.code, subject, line.size(), start, options, rr.md, mctx_)
                                             : pcre2_match(rr.code, subject, line.size(), start, options, rr.md, mctx_);
                    if (rc < 0 || !rr.global) break;
                    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(rr.md);
                    benchmark::DoNotOptimize(ov[0]);
                    start = ov[1];
                    ++pieces;
                    if (!rr.split) options = ov[0] == ov[1] ? PCRE2_NOTEMPTY_ATSTART : 0;
                }
            }
        }
    }

private:
    struct RawRule {
        pcre2_code* code = nullptr;
        pcre2_match_data* md = nullptr;
        bool global = false;
        bool split = false;
    };
    bool jitMatch_;
    pcre2_compile_context* cctx_ = nullptr;
    pcre2_match_context* mctx_ = nullptr;
    pcre2_jit_stack* stack_ = nullptr;
    RawRule raw_[5];
};

template <class Pass>
void RunPass(benchmark::State& state, const Rule* rules) {
    Pass pass(rules);
    for (auto _ : state) pass.Run();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Lines().size()));
}

void BM_FrontEnd(benchmark::State& state) { RunPass<FrontEndPass>(state, kRules); }
void BM_FrontEndInPlace(benchmark::State& state) { RunPass<InPlacePass>(state, kRules); }
void BM_RawPcre2(benchmark::State& state) { RunPass<RawPass>(state, kRules); }
void BM_FrontEndSjis(benchmark::State& state) { RunPass<FrontEndPass>(state, kSjisRules); }
void BM_FrontEndSjisInPlace(benchmark::State& state) { RunPass<InPlacePass>(state, kSjisRules); }
void BM_RawPcre2Sjis(benchmark::State& state) { RunPass<RawPass>(state, kSjisRules); }

BENCHMARK(BM_FrontEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontEndInPlace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawPcre2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontEndSjis)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrontEndSjisInPlace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawPcre2Sjis)->Unit(benchmark::kMicrosecond);

double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Front end against raw PCRE2, pass after pass in turn, so that both see the
// same machine; the fastest pass of each is the least disturbed one.
template <class Pass>
double InterleavedRatio(const Rule* rules, int rounds, bool rawJitMatch = false) {
    Pass front(rules);
    RawPass raw(rules, rawJitMatch);
    double bestFront = 1e9, bestRaw = 1e9;
    for (int i = 0; i < rounds; ++i) {
        const double t0 = ThreadSeconds();
        front.Run();
        const double t1 = ThreadSeconds();
        raw.Run();
        const double t2 = ThreadSeconds();
        bestFront = std::min(bestFront, t1 - t0);
        bestRaw = std::min(bestRaw, t2 - t1);
    }
    return bestFront / bestRaw;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const int rounds = 1000;
    std::printf("front end / raw PCRE2 (pcre2_match), fastest of %d interleaved passes (target <= 1.5):\n", rounds);
    std::printf("  IRegExp calls, raw bytes:         %.2f\n", InterleavedRatio<FrontEndPass>(kRules, rounds));
    std::printf("  buffer-keeping calls, raw bytes:  %.2f\n", InterleavedRatio<InPlacePass>(kRules, rounds));
    std::printf("  IRegExp calls, option k:          %.2f\n", InterleavedRatio<FrontEndPass>(kSjisRules, rounds));
    std::printf("  buffer-keeping calls, option k:   %.2f\n", InterleavedRatio<InPlacePass>(kSjisRules, rounds));
    std::printf("the same against raw pcre2_jit_match, the fast path the front end itself uses:\n");
    std::printf("  IRegExp calls, raw bytes:         %.2f\n", InterleavedRatio<FrontEndPass>(kRules, rounds, true));
    std::printf("  buffer-keeping calls, raw bytes:  %.2f\n", InterleavedRatio<InPlacePass>(kRules, rounds, true));
    benchmark::Shutdown();
    return 0;
}
