#include <atomic>
#include "graphics/ARGB8888Lib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "base/IntMath.h"
#include "graphics/ARGB8888Kernels.h"

namespace zel {

// ---- Unit state: the serial counter ----
namespace {

// Pictures are made on decoder threads too (sound and movies): the serial
// counter is shared by every thread.
std::atomic<uint32_t> gSerialCounter{0};

}  // namespace

int32_t TakeContentSerial() {
    // 24 bits, wrapping: the low bits of a 32-bit count are the same sequence.
    return static_cast<int32_t>(gSerialCounter.fetch_add(1, std::memory_order_relaxed) & 0xFFFFFFu);
}

TInterlacePass::TInterlacePass(TARGB8888& dest, bool on, int32_t parity) : dest_(dest), previous_(dest.DrawParity()) {
    dest.SetDrawParity(on ? (parity & 1) : -1);
}

TInterlacePass::~TInterlacePass() { dest_.SetDrawParity(previous_); }

// ---- Colour helpers ----

uint32_t SwapRB(uint32_t c) { return (c & 0xFF00FF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16); }

uint32_t MakeARGB(int32_t a, int32_t r, int32_t g, int32_t b) {
    return (static_cast<uint32_t>(a) << 24) | ((static_cast<uint32_t>(r) << 16) & 0xFF0000u) |
           (static_cast<uint32_t>(static_cast<uint8_t>(g)) << 8) | (static_cast<uint32_t>(b) & 0xFFu);
}

uint32_t AddColours(uint32_t c1, uint32_t c2) {
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        const uint32_t v = ((c1 >> s) & 0xFFu) + ((c2 >> s) & 0xFFu);
        out |= std::min<uint32_t>(v, 255u) << s;
    }
    return out;
}

uint32_t LerpColour(uint32_t c1, uint32_t c2, int32_t t) {
    const uint32_t tt = static_cast<uint32_t>(Clamp<int32_t>(t, 0, 255));
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
        out |= ((((c1 >> s) & 0xFFu) * (255u - tt) + ((c2 >> s) & 0xFFu) * tt) / 255u) << s;
    return out;
}

namespace {

// ---- Clipping ----

struct TBlitRect {
    int64_t x, y;    // destination top-left
    int64_t sl, st;  // source top-left
    int64_t w, h;
};

// Clips a blit of source rectangle (sl, st, sr, sb) of an sw x sh image to
// (x, y) of a dw x dh image. Everything is 64-bit so that no script
// coordinate can overflow.
bool ClipBlit(int64_t sw, int64_t sh, int64_t dw, int64_t dh, int64_t x, int64_t y, int64_t sl, int64_t st,
              int64_t sr, int64_t sb, TBlitRect& out) {
    if (sr < sl) std::swap(sl, sr);
    if (sb < st) std::swap(st, sb);
    if (sr - sl <= 0 || sb - st <= 0 || sl > sw || st > sh || sr < 0 || sb < 0) return false;
    if (sl < 0) {
        x -= sl;
        sl = 0;
    }
    if (st < 0) {
        y -= st;
        st = 0;
    }
    sr = std::min(sr, sw);
    sb = std::min(sb, sh);
    if (x > dw || y > dh || x + (sr - sl) < 0 || y + (sb - st) < 0) return false;
    if (x < 0) {
        sl -= x;
        x = 0;
    }
    if (y < 0) {
        st -= y;
        y = 0;
    }
    if (x + (sr - sl) > dw) sr = dw - x + sl;
    if (y + (sb - st) > dh) sb = dh - y + st;
    if (sr - sl <= 0 || sb - st <= 0) return false;
    out = {x, y, sl, st, sr - sl, sb - st};
    return true;
}

struct TFillRect {
    int64_t l, t, w, h;
};

// Clips a fill rectangle to a w x h image.
bool ClipFill(int64_t w, int64_t h, int64_t l, int64_t t, int64_t r, int64_t b, TFillRect& out) {
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    if (r - l <= 0 || b - t <= 0) return false;
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    r = std::min(r, w);
    b = std::min(b, h);
    if (r - l <= 0 || b - t <= 0) return false;
    out = {l, t, r - l, b - t};
    return true;
}

// Rows j in [first, last) of a rectangle whose top is destination row y
// that lie in the band [clipTop, clipBottom).
bool RowBand(int64_t y, int64_t h, int32_t clipTop, int32_t clipBottom, int64_t& first, int64_t& last) {
    first = std::max<int64_t>(0, int64_t{clipTop} - y);
    last = std::min<int64_t>(h, int64_t{clipBottom} - y);
    return first < last;
}

// Calls f(j) for rows first..last-1 of a rectangle whose top is destination
// row y, leaving out the rows of the other parity when the destination's
// parity is set (0 or 1; -1 draws every row).
template <class F>
void ForRows(int32_t parity, int64_t y, int64_t first, int64_t last, F&& f) {
    int64_t step = 1;
    if (parity >= 0) {
        if (((y + first) & 1) != parity) ++first;
        step = 2;
    }
    for (int64_t j = first; j < last; j += step) f(j);
}

bool RowSkipped(int32_t parity, int64_t row) { return parity >= 0 && (row & 1) != parity; }

int64_t SatAdd(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : INT64_MIN;
    return r;
}
int64_t SatSub(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? INT64_MAX : INT64_MIN;
    return r;
}
int64_t SatMul(int64_t a, int64_t b) {
    int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) return ((a < 0) != (b < 0)) ? INT64_MIN : INT64_MAX;
    return r;
}

// Sampled pixels are gathered into a small row on the stack and blended from
// there, so the scaled and rotated blits share the blit kernel.
constexpr int64_t kGatherPairs = 256;

// Where the segment (x0, y0)-(x1, y1) enters and leaves the window
// (l, t, r, b), as fractions of its length. Single precision throughout, as
// the rotated blit's span placement depends on it.
void Crossings(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t l, int64_t t, int64_t r, int64_t b, float& f1,
               float& f2) {
    if (x0 == x1 || y0 == y1 || l == r || t == b) {
        f1 = 0;
        f2 = 1;
        return;
    }
    const double dx = static_cast<double>(x1) - static_cast<double>(x0);
    const double dy = static_cast<double>(y1) - static_cast<double>(y0);
    const float slope = static_cast<float>(dy / dx);
    const float offset = static_cast<float>(static_cast<double>(y0) - static_cast<double>(x0) * slope);
    float found[4];
    int count = 0;
    for (int64_t xe : {l, r}) {
        const int64_t ye = RoundHalfEven64(static_cast<double>(xe) * slope + offset);
        if (t <= ye && ye <= b) found[count++] = static_cast<float>((static_cast<double>(ye) - y0) / dy);
    }
    for (int64_t ye : {t, b}) {
        const int64_t xe = RoundHalfEven64((static_cast<double>(ye) - offset) / slope);
        if (l <= xe && xe <= r) found[count++] = static_cast<float>((static_cast<double>(xe) - x0) / dx);
    }
    if (count == 0) {
        f1 = f2 = 0;
    } else if (count == 2) {
        f1 = std::clamp(std::min(found[0], found[1]), 0.0f, 1.0f);
        f2 = std::clamp(std::max(found[0], found[1]), 0.0f, 1.0f);
    } else {
        f1 = 0;
        f2 = 1;
    }
}

void CheckSize(int32_t width, int32_t height) {
    if (width < 0 || height < 0 || width > TARGB8888::kMaxSide || height > TARGB8888::kMaxSide ||
        int64_t{width} * height > TARGB8888::kMaxPixels)
        throw EImageError("image size " + std::to_string(width) + "x" + std::to_string(height) + " is out of range");
}

TPixelVector AllocatePixels(int32_t width, int32_t height, uint32_t fill = 0) {
    CheckSize(width, height);
    TPixelVector v;
    try {
        // Zeros come from the allocator untouched (see TPixelAllocator).
        const auto n = static_cast<size_t>(int64_t{width} * height);
        if (fill == 0)
            v.resize(n);
        else
            v.assign(n, fill);
    } catch (const std::bad_alloc&) {
        throw EImageError("not enough memory for an image of " + std::to_string(width) + "x" + std::to_string(height));
    }
    return v;
}

}  // namespace

// ---- Life and state ----

TARGB8888::TARGB8888() : serial_(TakeContentSerial()) {}

TARGB8888::~TARGB8888() = default;

TARGB8888::TARGB8888(TARGB8888&& o) noexcept
    : owned_(std::move(o.owned_)),
      ownedWidth_(o.ownedWidth_),
      ownedHeight_(o.ownedHeight_),
      borrowed_(o.borrowed_),
      transparent_(o.transparent_),
      frameHook_(std::move(o.frameHook_)),
      transparencyHook_(std::move(o.transparencyHook_)),
      serial_(o.serial_) {
    UpdateCurrent();
    o.owned_.clear();
    o.ownedWidth_ = o.ownedHeight_ = 0;
    o.borrowed_ = {};
    o.transparent_ = true;
    o.UpdateCurrent();
}

TARGB8888& TARGB8888::operator=(TARGB8888&& o) noexcept {
    if (this != &o) {
        owned_ = std::move(o.owned_);
        ownedWidth_ = o.ownedWidth_;
        ownedHeight_ = o.ownedHeight_;
        borrowed_ = o.borrowed_;
        transparent_ = o.transparent_;
        frameHook_ = std::move(o.frameHook_);
        transparencyHook_ = std::move(o.transparencyHook_);
        serial_ = o.serial_;
        UpdateCurrent();
        o.owned_.clear();
        o.ownedWidth_ = o.ownedHeight_ = 0;
        o.borrowed_ = {};
        o.frameHook_ = nullptr;
        o.transparencyHook_ = nullptr;
        o.transparent_ = true;
        o.UpdateCurrent();
    }
    return *this;
}

void TARGB8888::UpdateCurrent() {
    if (borrowed_.pixels != nullptr) current_ = borrowed_;
    else if (!owned_.empty()) current_ = {owned_.data(), ownedWidth_, ownedHeight_, ownedWidth_};
    else current_ = {};
}

void TARGB8888::SetOwned(TPixelVector pixels, int32_t width, int32_t height) {
    owned_ = std::move(pixels);
    ownedWidth_ = owned_.empty() ? 0 : width;
    ownedHeight_ = owned_.empty() ? 0 : height;
    UpdateCurrent();
}

void TARGB8888::Clear() {
    TPixelVector().swap(owned_);
    ownedWidth_ = ownedHeight_ = 0;
    borrowed_ = {};
    frameHook_ = nullptr;
    transparencyHook_ = nullptr;
    serial_ = TakeContentSerial();
    UpdateCurrent();
    UpdateTransparency();
}

void TARGB8888::NewImage(int32_t width, int32_t height, uint32_t fill) {
    TPixelVector pixels = AllocatePixels(width, height, fill);
    Clear();
    SetOwned(std::move(pixels), width, height);
    UpdateTransparency();
}

void TARGB8888::AssignImage(const TARGB8888& source) {
    const bool transparent = source.HasTransparency();
    const int32_t w = source.Width(), h = source.Height();
    TPixelVector pixels = AllocatePixels(w, h);
    for (int32_t y = 0; y < h; ++y) std::memcpy(pixels.data() + int64_t{y} * w, source.Row(y), size_t(w) * 4);
    Clear();
    SetOwned(std::move(pixels), w, h);
    transparent_ = transparent;
}

void TARGB8888::AssignPixels(const uint32_t* pixels, int32_t width, int32_t height, ptrdiff_t rowBytes) {
    TPixelVector copy = AllocatePixels(width, height);
    if (!copy.empty()) {
        if (pixels == nullptr) throw EImageError("no pixels to assign");
        const ptrdiff_t pitch = rowBytes != 0 ? rowBytes : ptrdiff_t{width} * 4;
        if (pitch < ptrdiff_t{width} * 4) throw EImageError("pixel rows overlap");
        const auto* base = reinterpret_cast<const uint8_t*>(pixels);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(copy.data() + int64_t{y} * width, base + pitch * y, size_t(width) * 4);
    }
    Clear();
    SetOwned(std::move(copy), width, height);
    UpdateTransparency();
}

void TARGB8888::AssignPixels24(const uint8_t* bgr, int32_t width, int32_t height, ptrdiff_t rowBytes) {
    TPixelVector copy = AllocatePixels(width, height);
    if (!copy.empty()) {
        if (bgr == nullptr) throw EImageError("no pixels to assign");
        const ptrdiff_t pitch = rowBytes != 0 ? rowBytes : ptrdiff_t{width} * 3;
        if (pitch < ptrdiff_t{width} * 3) throw EImageError("pixel rows overlap");
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* p = bgr + pitch * y;
            uint32_t* out = copy.data() + int64_t{y} * width;
            for (int32_t x = 0; x < width; ++x, p += 3)
                out[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        }
    }
    Clear();
    SetOwned(std::move(copy), width, height);
    UpdateTransparency();
}

void TARGB8888::AttachBuffer(const TPixelBuffer& buffer) {
    if (buffer.pixels != nullptr &&
        (buffer.width <= 0 || buffer.height <= 0 || buffer.width > kMaxSide || buffer.height > kMaxSide ||
         buffer.stride < buffer.width))
        throw EImageError("a lent pixel buffer of " + std::to_string(buffer.width) + "x" +
                          std::to_string(buffer.height) + " cannot be used");
    borrowed_ = buffer.pixels != nullptr ? buffer : TPixelBuffer{};
    UpdateCurrent();
}

uint32_t TARGB8888::Pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    return Row(y)[x];
}

void TARGB8888::SetPixel(int32_t x, int32_t y, uint32_t colour) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
    Row(y)[x] = colour;
}

bool TARGB8888::HasTransparency() const { return transparencyHook_ ? transparencyHook_() : transparent_; }

void TARGB8888::UpdateTransparency() {
    transparent_ = owned_.empty() ||
                   std::any_of(owned_.begin(), owned_.end(), [](uint32_t p) { return (p >> 24) != 0xFFu; });
}

bool TARGB8888::RequestFrame(int32_t frame) const {
    if (!frameHook_) return false;
    frameHook_(frame);
    return true;
}

void TARGB8888::Touch() { serial_ = TakeContentSerial(); }

// ---- Blits ----

void TARGB8888::Draw(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                     int32_t srcBottom) const {
    DrawEx(dest, x, y, srcLeft, srcTop, srcRight, srcBottom, 0, 0xFFFFFFFFu, 255, 1, 0, 1024);
}

void TARGB8888::DrawEx(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                       int32_t srcBottom, uint32_t addColour, uint32_t mulColour, uint8_t alpha, uint8_t mode,
                       int32_t clipTop, int32_t clipBottom) const {
    if (Empty() || dest.Empty() || alpha == 0) return;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), dest.Width(), dest.Height(), x, y, srcLeft, srcTop, srcRight, srcBottom, b))
        return;
    const int64_t pairs = b.w / 2;
    int64_t first, last;
    if (pairs < 1 || !RowBand(b.y, b.h, clipTop, clipBottom, first, last)) return;

    uint8_t effMode = mode;
    if (mode == 2 && alpha == 255 && !HasTransparency()) effMode = 1;
    const uint32_t m = uint32_t{alpha} << 24 | (mulColour & 0xFFFFFFu);
    const uint32_t a = addColour & 0xFFFFFFu;
    const bool plainCopy = a == 0 && m == 0xFFFFFFFFu && effMode == 1;
    const TPixelKernels& k = ActiveKernels();
    const TPixelBuffer& s = current_;
    const TPixelBuffer& d = dest.current_;
    ForRows(dest.DrawParity(), b.y, first, last, [&](int64_t j) {
        const uint32_t* sp = s.pixels + s.stride * (b.st + j) + b.sl;
        uint32_t* dp = d.pixels + d.stride * (b.y + j) + b.x;
        if (plainCopy) std::memmove(dp, sp, static_cast<size_t>(pairs) * 8);
        else k.blendRow(dp, sp, static_cast<int32_t>(pairs), effMode, m, a);
    });
}

void TARGB8888::StretchDraw(TARGB8888& dest, int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int32_t srcLeft,
                            int32_t srcTop, int32_t srcRight, int32_t srcBottom, uint32_t addColour,
                            uint32_t mulColour, uint8_t alpha, uint8_t mode, int32_t clipTop,
                            int32_t clipBottom) const {
    if (Empty() || dest.Empty() || alpha == 0) return;
    if (int64_t{srcRight} - srcLeft == int64_t{dx2} - dx1 && int64_t{srcBottom} - srcTop == int64_t{dy2} - dy1) {
        DrawEx(dest, dx1, dy1, srcLeft, srcTop, srcRight, srcBottom, addColour, mulColour, alpha, mode, clipTop,
               clipBottom);
        return;
    }
    // Proportional clipping in single precision: every new value is rounded to
    // a float when stored; each step reads the values from before it.
    const int64_t sw = Width(), sh = Height(), dw = dest.Width(), dh = dest.Height();
    float x1 = static_cast<float>(dx1), y1 = static_cast<float>(dy1);
    float x2 = static_cast<float>(dx2), y2 = static_cast<float>(dy2);
    float sl = static_cast<float>(srcLeft), st = static_cast<float>(srcTop);
    float sr = static_cast<float>(srcRight), sb = static_cast<float>(srcBottom);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (sl > sr) std::swap(sl, sr);
    if (st > sb) std::swap(st, sb);
    auto tooSmall = [&] {
        return double{sr} - sl < 0.1 || double{sb} - st < 0.1 || double{x2} - x1 < 1 || double{y2} - y1 < 1;
    };
    if (tooSmall()) return;
    {
        const float cl = std::max(0.0f, x1), ct = std::max(0.0f, y1);
        const float cr = std::min(static_cast<float>(dw), x2), cb = std::min(static_cast<float>(dh), y2);
        const double w = double{x2} - x1, h = double{y2} - y1;
        const float nl = static_cast<float>(((double{cl} - x1) * sr + (double{x2} - cl) * sl) / w);
        const float nt = static_cast<float>(((double{ct} - y1) * sb + (double{y2} - ct) * st) / h);
        const float nr = static_cast<float>(((double{cr} - x1) * sr + (double{x2} - cr) * sl) / w);
        const float nb = static_cast<float>(((double{cb} - y1) * sb + (double{y2} - cb) * st) / h);
        sl = nl, st = nt, sr = nr, sb = nb;
        x1 = cl, y1 = ct, x2 = cr, y2 = cb;
    }
    if (static_cast<float>(dw) < x1 || static_cast<float>(dh) < y1 || x2 < 0 || y2 < 0) return;
    if (tooSmall()) return;
    {
        const float csl = std::max(0.0f, sl), cst = std::max(0.0f, st);
        const float csr = std::min(static_cast<float>(sw), sr), csb = std::min(static_cast<float>(sh), sb);
        const double w = double{sr} - sl, h = double{sb} - st;
        const float n1 = static_cast<float>(((double{csl} - sl) * x2 + (double{sr} - csl) * x1) / w);
        const float m1 = static_cast<float>(((double{cst} - st) * y2 + (double{sb} - cst) * y1) / h);
        const float n2 = static_cast<float>(((double{csr} - sl) * x2 + (double{sr} - csr) * x1) / w);
        const float m2 = static_cast<float>(((double{csb} - st) * y2 + (double{sb} - csb) * y1) / h);
        x1 = n1, y1 = m1, x2 = n2, y2 = m2;
        sl = csl, st = cst, sr = csr, sb = csb;
    }
    if (static_cast<float>(sw) < sl || static_cast<float>(sh) < st || sr < 0 || sb < 0) return;

    int64_t w = TruncToInt64(double{x2} - x1);
    const int64_t h = TruncToInt64(double{y2} - y1);
    if (!(w > 1 && h > 0)) return;
    const int64_t xstep = TruncToInt64((double{sr} - sl) * 4096.0 / static_cast<double>(w));
    const int64_t ystep = TruncToInt64((double{sb} - st) * 4096.0 / static_cast<double>(h));
    const int64_t xfrac = TruncToInt64((double{sl} - std::trunc(double{sl})) * 4096.0);
    const int64_t yfrac = TruncToInt64((double{st} - std::trunc(double{st})) * 4096.0);
    const int64_t row0 = TruncToInt64(st), col0 = TruncToInt64(sl);
    const int64_t X = TruncToInt64(x1), Y = TruncToInt64(y1);
    // Float rounding must never take a pixel outside either image.
    if (X < 0 || Y < 0 || X >= dw) return;
    w = std::min(w, dw - X);
    const int64_t pairs = w / 2;
    int64_t first, last;
    if (pairs < 1 || !RowBand(Y, std::min(h, dh - Y), clipTop, clipBottom, first, last)) return;

    uint8_t effMode = mode;
    if (mode == 2 && alpha == 255 && !HasTransparency()) effMode = 1;
    const uint32_t m = uint32_t{alpha} << 24 | (mulColour & 0xFFFFFFu);
    const uint32_t a = addColour & 0xFFFFFFu;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), Y, first, last, [&](int64_t j) {
        const int64_t row = std::clamp<int64_t>(row0 + (yfrac + j * ystep) / 4096, 0, sh - 1);
        const uint32_t* srcRow = Row(static_cast<int32_t>(row));
        uint32_t* dstRow = dest.Row(static_cast<int32_t>(Y + j)) + X;
        uint32_t gathered[2 * kGatherPairs];
        for (int64_t p0 = 0; p0 < pairs; p0 += kGatherPairs) {
            const int64_t n = std::min(kGatherPairs, pairs - p0);
            for (int64_t i = 0; i < n; ++i) {
                const int64_t u = xfrac + 2 * (p0 + i) * xstep;
                gathered[2 * i] = srcRow[std::clamp<int64_t>(col0 + (u >> 12), 0, sw - 1)];
                gathered[2 * i + 1] = srcRow[std::clamp<int64_t>(col0 + ((u + xstep) >> 12), 0, sw - 1)];
            }
            k.blendRow(dstRow + 2 * p0, gathered, static_cast<int32_t>(n), effMode, m, a);
        }
    });
}

void TARGB8888::RotateDraw(TARGB8888& dest, int32_t cx, int32_t cy, int32_t scaleX, int32_t scaleY, int32_t angle,
                           int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom, uint32_t addColour,
                           uint32_t mulColour, uint8_t alpha, uint8_t mode, int32_t clipTop,
                           int32_t clipBottom) const {
    if (Empty() || scaleX <= 1 || scaleY <= 1 || int64_t{srcRight} - srcLeft < 1) return;
    // Alpha 0 draws nothing, as in every other blit.
    if (dest.Empty() || alpha == 0) return;
    const int64_t hw = (int64_t{srcRight} - srcLeft) >> 1;
    const int64_t hh = (int64_t{srcBottom} - srcTop) >> 1;
    const int64_t vx = int64_t{scaleX} * hw / 4096, vy = int64_t{scaleY} * hh / 4096;
    if (angle % 4096 == 0) {
        if (scaleX == 4096 && scaleY == 4096)
            DrawEx(dest, SatInt32(cx - hw), SatInt32(cy - hh), srcLeft, srcTop, srcRight, srcBottom, addColour,
                   mulColour, alpha, mode, clipTop, clipBottom);
        else
            StretchDraw(dest, SatInt32(cx - vx), SatInt32(cy - vy), SatInt32(cx + vx), SatInt32(cy + vy), srcLeft,
                        srcTop, srcRight, srcBottom, addColour, mulColour, alpha, mode, clipTop, clipBottom);
        return;
    }

    // The destination box of the rotated rectangle.
    const double theta = static_cast<double>(angle) * 3.1415 / 2048.0;
    const float sinT = static_cast<float>(std::sin(theta)), cosT = static_cast<float>(std::cos(theta));
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    for (int c = 0; c < 4; ++c) {
        const double px = static_cast<double>((c & 1) ? vx : -vx), py = static_cast<double>((c & 2) ? vy : -vy);
        const int64_t rx = TruncToInt64(px * cosT - py * sinT);
        const int64_t ry = TruncToInt64(px * sinT + py * cosT);
        minX = std::min(minX, rx), maxX = std::max(maxX, rx);
        minY = std::min(minY, ry), maxY = std::max(maxY, ry);
    }
    // Source points of three box corners, by the inverse rotation.
    const int64_t csx = (int64_t{srcLeft} + srcRight) >> 1, csy = (int64_t{srcTop} + srcBottom) >> 1;
    const double phi = -static_cast<double>(angle) * 3.1415 / 2048.0;
    const float sinP = static_cast<float>(std::sin(phi)), cosP = static_cast<float>(std::cos(phi));
    auto sourceOf = [&](int64_t px, int64_t py, int64_t& sx, int64_t& sy) {
        const double x = static_cast<double>(px), y = static_cast<double>(py);
        const int64_t u = TruncToInt64(x * cosP - y * sinP);
        const int64_t v = TruncToInt64(x * sinP + y * cosP);
        sx = SatAdd(SatMul(u, 4096) / scaleX, csx);
        sy = SatAdd(SatMul(v, 4096) / scaleY, csy);
    };
    int64_t ax, ay, bx, by, cxs, cys;
    sourceOf(minX, minY, ax, ay);
    sourceOf(maxX, minY, bx, by);
    sourceOf(minX, maxY, cxs, cys);
    const int64_t left = SatAdd(cx, minX), right = SatAdd(cx, maxX);
    const int64_t top = SatAdd(cy, minY), bottom = SatAdd(cy, maxY);
    if (SatSub(right, left) < 2) return;
    const double boxWidth = static_cast<double>(SatSub(right, left));
    const int64_t stepX = RoundHalfEven64(static_cast<double>(SatSub(bx, ax)) * 4096.0 / boxWidth);
    const int64_t stepY = RoundHalfEven64(static_cast<double>(SatSub(by, ay)) * 4096.0 / boxWidth);

    uint8_t effMode = mode;
    if (mode == 2 && alpha == 255 && !HasTransparency()) effMode = 1;
    const uint32_t m = uint32_t{alpha} << 24 | (mulColour & 0xFFFFFFu);
    const uint32_t a = addColour & 0xFFFFFFu;
    const int64_t sw = Width(), sh = Height(), dw = dest.Width(), dh = dest.Height();
    const int64_t winL = std::max<int64_t>(0, srcLeft), winT = std::max<int64_t>(0, srcTop);
    const int64_t winR = std::min<int64_t>(sw, srcRight), winB = std::min<int64_t>(sh, srcBottom);
    const TPixelKernels& k = ActiveKernels();

    // Rows outside the destination draw nothing, so the loop runs over the
    // rows the destination has.
    const int64_t r0 = std::max({int64_t{clipTop}, top, int64_t{0}});
    const int64_t r1 = std::min({int64_t{clipBottom}, bottom, dh});
    for (int64_t r = r0; r < r1; ++r) {
        if (RowSkipped(dest.DrawParity(), r)) continue;
        const int64_t g = SatMul(SatSub(r, top), 4096) / SatSub(bottom, top);
        int64_t x = SatAdd(SatMul(4096 - g, ax), SatMul(g, cxs));
        int64_t y = SatAdd(SatMul(4096 - g, ay), SatMul(g, cys));
        int64_t L = left, R = right;
        if (L >= dw) continue;
        if (stepX != 0 && stepY != 0) {
            const int64_t n = SatSub(R, L);
            float f1, f2;
            Crossings(x, y, SatAdd(x, SatMul(n, stepX)), SatAdd(y, SatMul(n, stepY)), SatMul(winL, 4096),
                      SatMul(winT, 4096), SatMul(winR, 4096), SatMul(winB, 4096), f1, f2);
            const int64_t skip = RoundHalfEven64(static_cast<double>(n) * f1);
            x = SatAdd(x, SatMul(skip, stepX));
            y = SatAdd(y, SatMul(skip, stepY));
            R = SatAdd(L, RoundHalfEven64(static_cast<double>(n) * f2));
            L = SatAdd(L, skip);
        }
        if (L < 0) {
            x = SatAdd(x, SatMul(SatSub(0, L), stepX));
            y = SatAdd(y, SatMul(SatSub(0, L), stepY));
            L = 0;
        }
        R = std::min(R, dw);
        if (L >= R) continue;
        const int64_t pairs = (R - L) / 2;
        uint32_t* dstRow = dest.Row(static_cast<int32_t>(r)) + L;
        uint32_t gathered[2 * kGatherPairs];
        for (int64_t p0 = 0; p0 < pairs; p0 += kGatherPairs) {
            const int64_t n = std::min(kGatherPairs, pairs - p0);
            for (int64_t i = 0; i < 2 * n; ++i) {
                x = SatAdd(x, stepX);
                y = SatAdd(y, stepY);
                const int64_t col = x >> 12, row = y >> 12;
                gathered[i] = (col >= winL && col < winR && row >= winT && row < winB)
                                  ? Row(static_cast<int32_t>(row))[col]
                                  : 0u;
            }
            k.blendRow(dstRow + 2 * p0, gathered, static_cast<int32_t>(n), effMode, m, a);
        }
    }
}

void TARGB8888::RuleDraw(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                         int32_t srcBottom, uint32_t /*addColour*/, uint32_t /*mulColour*/, uint8_t alpha,
                         uint8_t mode, int32_t clipTop, int32_t clipBottom) const {
    if (Empty() || dest.Empty() || alpha == 0) return;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), dest.Width(), dest.Height(), x, y, srcLeft, srcTop, srcRight, srcBottom, b))
        return;
    const int64_t pairs = b.w / 2;
    int64_t first, last;
    if (pairs < 1 || !RowBand(b.y, b.h, clipTop, clipBottom, first, last)) return;
    uint8_t effMode = mode;
    if (mode == 2 && alpha == 255 && !HasTransparency()) effMode = 1;
    const int effective = effMode & 0x7F;
    if (effective < 1 || effective > 7) return;
    const int32_t t = (int32_t{alpha} * 288) / 255 - 32;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), b.y, first, last, [&](int64_t j) {
        uint32_t* dp = dest.current_.pixels + dest.current_.stride * (b.y + j) + b.x;
        k.ruleRow(dp, current_.pixels + current_.stride * (b.st + j) + b.sl, dp, static_cast<int32_t>(pairs), t);
    });
}

void TARGB8888::HalfBlend(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                          int32_t srcBottom) const {
    if (Empty() || dest.Empty()) return;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), dest.Width(), dest.Height(), x, y, srcLeft, srcTop, srcRight, srcBottom, b))
        return;
    const int64_t pairs = b.w / 2;
    if (pairs < 1) return;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), b.y, 0, b.h, [&](int64_t j) {
        k.halfBlendRow(dest.current_.pixels + dest.current_.stride * (b.y + j) + b.x,
                       current_.pixels + current_.stride * (b.st + j) + b.sl, static_cast<int32_t>(pairs));
    });
}

void TARGB8888::CrossFade(TARGB8888& dest, const TARGB8888& other, int32_t x, int32_t y, int32_t srcLeft,
                          int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t level) const {
    if (Empty() || dest.Empty() || other.Empty()) return;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), dest.Width(), dest.Height(), x, y, srcLeft, srcTop, srcRight, srcBottom, b))
        return;
    const int64_t pairs = b.w / 2;
    if (pairs < 1) return;
    // The other image is read at the source coordinates: it must cover them.
    if (other.Width() < b.sl + b.w || other.Height() < b.st + b.h) return;
    const int32_t kLevel = (255 - Clamp<int32_t>(level, 0, 255)) >> 1;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), b.y, 0, b.h, [&](int64_t j) {
        k.crossFadeRow(dest.current_.pixels + dest.current_.stride * (b.y + j) + b.x,
                       current_.pixels + current_.stride * (b.st + j) + b.sl,
                       other.current_.pixels + other.current_.stride * (b.st + j) + b.sl,
                       static_cast<int32_t>(pairs), kLevel);
    });
}

void TARGB8888::RuleCrossFade(TARGB8888& dest, const TARGB8888& other, int32_t x, int32_t y, int32_t srcLeft,
                              int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t level) const {
    if (level < 1 || Empty() || dest.Empty() || other.Empty()) return;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), dest.Width(), dest.Height(), x, y, srcLeft, srcTop, srcRight, srcBottom, b))
        return;
    const int64_t pairs = b.w / 2;
    if (pairs < 1) return;
    if (other.Width() < b.sl + b.w || other.Height() < b.st + b.h) return;
    const int32_t t = (std::min(level, 255) * 288) / 255 - 32;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), b.y, 0, b.h, [&](int64_t j) {
        k.ruleRow(dest.current_.pixels + dest.current_.stride * (b.y + j) + b.x,
                  current_.pixels + current_.stride * (b.st + j) + b.sl,
                  other.current_.pixels + other.current_.stride * (b.st + j) + b.sl, static_cast<int32_t>(pairs), t);
    });
}

bool TARGB8888::CopyToSurface(const TLockedSurface* surface, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop,
                              int32_t srcRight, int32_t srcBottom) const {
    if (surface == nullptr || surface->pixels == nullptr) return false;
    const TLockedSurface& sf = *surface;
    const int bytes = sf.bitDepth == 16 ? 2 : sf.bitDepth == 24 ? 3 : sf.bitDepth == 32 ? 4 : 0;
    if (bytes == 0) return true;  // a depth we do not convert to
    if (sf.width < 0 || sf.height < 0 || sf.pitch < ptrdiff_t{sf.width} * bytes) return false;
    // 16- and 32-bit pixels are written as words.
    if (bytes != 3 && (sf.pitch % bytes != 0 || reinterpret_cast<uintptr_t>(sf.pixels) % bytes != 0)) return false;
    if (Empty()) return true;
    TBlitRect b;
    if (!ClipBlit(Width(), Height(), sf.width, sf.height, x, y, srcLeft, srcTop, srcRight, srcBottom, b)) return true;
    const TPixelKernels& k = ActiveKernels();
    auto* base = static_cast<uint8_t*>(sf.pixels);
    ForRows(sf.parity, b.y, 0, b.h, [&](int64_t j) {
        uint8_t* out = base + sf.pitch * (b.y + j) + b.x * bytes;
        const uint32_t* in = current_.pixels + current_.stride * (b.st + j) + b.sl;
        if (bytes == 4) {
            if (b.w >= 2) k.toSurface32Row(reinterpret_cast<uint32_t*>(out), in, static_cast<int32_t>(b.w / 2));
        } else if (bytes == 2) {
            if (b.w >= 4)
                k.toSurface16Row(reinterpret_cast<uint16_t*>(out), in, static_cast<int32_t>(b.w / 4),
                                 sf.greenMask == 0x07E0u);
        } else {
            k.toSurface24Row(out, in, static_cast<int32_t>(b.w));
        }
    });
    return true;
}

// ---- Fills and pixel edits ----

void TARGB8888::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour) {
    FillRectEx(left, top, right, bottom, colour, 1, 0, 1024);
}

void TARGB8888::FillRectEx(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour, uint8_t mode,
                           int32_t clipTop, int32_t clipBottom) {
    if (Empty()) return;
    if (mode != 1 && (colour >> 24) == 0) return;
    TFillRect f;
    if (!ClipFill(Width(), Height(), left, top, right, bottom, f)) return;
    const int64_t pairs = f.w / 2;
    int64_t first, last;
    if (pairs < 1 || !RowBand(f.t, f.h, clipTop, clipBottom, first, last)) return;
    const uint8_t effMode = (mode == 2 && (colour >> 24) == 0xFFu) ? 1 : mode;
    const TPixelKernels& k = ActiveKernels();
    ForRows(drawParity_, f.t, first, last, [&](int64_t j) {
        uint32_t* p = current_.pixels + current_.stride * (f.t + j) + f.l;
        k.colourRow(p, p, static_cast<int32_t>(pairs), colour, effMode);
    });
}

void TARGB8888::FillRectSum(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour2,
                            uint32_t colour1, uint8_t alpha, uint8_t mode, int32_t clipTop, int32_t clipBottom) {
    FillRectEx(left, top, right, bottom, (AddColours(colour1, colour2) & 0xFFFFFFu) | uint32_t{alpha} << 24, mode,
               clipTop, clipBottom);
}

void TARGB8888::SetAlphaRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t alpha) {
    if (Empty()) return;
    TFillRect f;
    if (!ClipFill(Width(), Height(), left, top, right, bottom, f)) return;
    const int64_t pixels = (f.w / 2) * 2;
    if (pixels < 2) return;
    const uint32_t a = std::min<uint32_t>(static_cast<uint32_t>(alpha), 255u) << 24;
    for (int64_t j = 0; j < f.h; ++j) {
        uint32_t* p = current_.pixels + current_.stride * (f.t + j) + f.l;
        for (int64_t i = 0; i < pixels; ++i) p[i] = a | (p[i] & 0xFFFFFFu);
    }
}

void TARGB8888::CopyAlpha(const TARGB8888& mask) {
    if (Empty() || mask.Empty()) return;
    const int32_t w = std::min(Width(), mask.Width()), h = std::min(Height(), mask.Height());
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* p = Row(y);
        const uint32_t* q = mask.Row(y);
        for (int32_t x = 0; x < w; ++x) p[x] = (p[x] & 0xFFFFFFu) | (q[x] & 0xFFu) << 24;
    }
}

void TARGB8888::ColourBlendTo(TARGB8888& dest, int32_t left, int32_t top, int32_t right, int32_t bottom,
                              uint32_t colour, uint8_t mode) const {
    if (Empty() || dest.Empty()) return;
    TFillRect f;
    if (!ClipFill(Width(), Height(), left, top, right, bottom, f)) return;
    const int64_t pairs = f.w / 2;
    if (pairs < 1) return;
    // The result goes to the same coordinates of dest, which must have them.
    if (dest.Width() < f.l + f.w || dest.Height() < f.t + f.h) return;
    const uint8_t effMode = (mode == 2 && (colour >> 24) == 0xFFu) ? 1 : mode;
    const TPixelKernels& k = ActiveKernels();
    ForRows(dest.DrawParity(), f.t, 0, f.h, [&](int64_t j) {
        k.colourRow(dest.current_.pixels + dest.current_.stride * (f.t + j) + f.l,
                    current_.pixels + current_.stride * (f.t + j) + f.l, static_cast<int32_t>(pairs), colour, effMode);
    });
}

void TARGB8888::ScrollImage(int32_t dx, int32_t dy, uint32_t colour) {
    if (Empty()) return;
    TARGB8888 copy;
    copy.AssignImage(*this);
    FillRect(0, 0, Width(), Height(), colour);
    copy.Draw(*this, dx, dy, 0, 0, copy.Width(), copy.Height());
}

}  // namespace zel
