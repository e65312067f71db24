#include "base/Sjis.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace zel {

namespace {

template <char (*Fold)(char)>
std::string FoldText(std::string_view s) {
    std::string out(s);
    for (size_t i = 0; i < out.size();) {
        const size_t n = CharLen(out, i);
        if (n == 1) out[i] = Fold(out[i]);
        i += n;
    }
    return out;
}

char Lower(char c) { return AsciiLowerChar(c); }
char Upper(char c) { return AsciiUpperChar(c); }

// Walks both texts character by character; returns <0, 0, >0.
int CompareFolded(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const size_t na = CharLen(a, i), nb = CharLen(b, j);
        for (size_t k = 0; k < na || k < nb; ++k) {
            if (k >= na) return -1;
            if (k >= nb) return 1;
            uint8_t ca = static_cast<uint8_t>(a[i + k]), cb = static_cast<uint8_t>(b[j + k]);
            if (na == 1) ca = static_cast<uint8_t>(AsciiLowerChar(static_cast<char>(ca)));
            if (nb == 1) cb = static_cast<uint8_t>(AsciiLowerChar(static_cast<char>(cb)));
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        i += na;
        j += nb;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts one piece; returns false on an invalid or unconvertible sequence.
bool ConvertPiece(iconv_t cd, std::string_view in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    out.append(buf.data(), buf.size() - dstLeft);
    return true;
}

}  // namespace

std::string AsciiLower(std::string_view s) { return FoldText<Lower>(s); }
std::string AsciiUpper(std::string_view s) { return FoldText<Upper>(s); }
bool EqualsNoCase(std::string_view a, std::string_view b) {
    // Names mostly come back spelt the same: the byte compare settles those.
    return a.size() == b.size() && (a == b || CompareFolded(a, b) == 0);
}
int CompareNoCase(std::string_view a, std::string_view b) { return CompareFolded(a, b); }

std::string SjisToUtf8(std::string_view sjis) {
    Iconv cv("UTF-8", "CP932");
    std::string out;
    if (!cv.ok()) {
        for (char c : sjis) out += (static_cast<uint8_t>(c) < 0x80) ? c : '?';
        return out;
    }
    // Character by character, so that one bad character costs only itself.
    for (size_t i = 0; i < sjis.size();) {
        const size_t n = CharLen(sjis, i);
        if (n == 1 && static_cast<uint8_t>(sjis[i]) < 0x80) {
            out += sjis[i];
        } else if (!ConvertPiece(cv.get(), sjis.substr(i, n), out)) {
            out += "\xEF\xBF\xBD";  // U+FFFD
        }
        i += n;
    }
    return out;
}

bool Utf8ToSjis(std::string_view utf8, std::string& out, size_t* badPos) {
    out.clear();
    Iconv cv("CP932", "UTF-8");
    if (!cv.ok()) return false;
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t b = static_cast<uint8_t>(utf8[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > utf8.size() || !ConvertPiece(cv.get(), utf8.substr(i, n), out)) {
            if (badPos) *badPos = i;
            return false;
        }
        i += n;
    }
    return true;
}

std::string Sj(std::string_view utf8) {
    std::string out;
    if (Utf8ToSjis(utf8, out)) return out;
    out.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        const uint8_t b = static_cast<uint8_t>(utf8[i]);
        if (b < 0x80) out += utf8[i];
        else if ((b & 0xC0) != 0x80) out += '?';
    }
    return out;
}

}  // namespace zel
