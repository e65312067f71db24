// TARGB8888, the engine's one image type, and every drawing step on it.
//
// Pixels are 32-bit words 0xAARRGGBB with straight (not premultiplied)
// alpha, so the bytes in memory are B, G, R, A; 255 is opaque. Rows are
// stored top-down, row 0 first. An image either owns its pixels or
// borrows a buffer lent by another object (a movie frame); the borrowed
// buffer, while set, is the one every operation reads and writes.
//
// Rules shared by the blits, fills and transitions:
// - Rectangles are left, top, right, bottom with right and bottom exclusive.
// - Pair rule: after clipping, a rectangle w pixels wide is processed as
//   floor(w / 2) horizontal pairs from its left column; an odd rightmost
//   column is left untouched and a rectangle narrower than 2 draws nothing.
// - Row band: operations taking clipTop/clipBottom touch only destination
//   rows in [clipTop, clipBottom); the callers draw one image in slices.
// - Interlace: while interlace mode is on, only destination rows whose
//   parity is the current interlace parity are touched.
// - An empty image (no buffer) as source or target makes every operation do
//   nothing; no drawing operation reports an error.
// Blend modes are a byte of which only the low 7 bits count: 0, 1 and 9..127
// copy, 2 alpha, 3 screen, 4 multiply, 5 difference, 6 lighten, 7 darken,
// 8 add (the arithmetic is in graphics/ARGB8888Kernels.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "base/Errors.h"

namespace zel {

// A size an image cannot be given (negative, or too large to allocate), or a
// malformed borrowed buffer.
class EImageError : public EZelError {
public:
    explicit EImageError(const std::string& msg) : EZelError(msg) {}
};

// A view of pixels: `stride` is the distance between rows in pixels.
struct TPixelBuffer {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t stride = 0;
};

// A locked output surface for CopyToSurface: `pitch` is in bytes; bitDepth
// 16 (5-6-5 when greenMask is 0x07E0, else 5-5-5), 24 or 32.
struct TLockedSurface {
    void* pixels = nullptr;
    ptrdiff_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitDepth = 0;
    uint32_t greenMask = 0;
    int32_t parity = -1;  // 0 or 1: copies touch only rows of that parity; -1: every row
};

// ---- Colour helpers ----
// Exchanges the R and B bytes.
uint32_t SwapRB(uint32_t c);
// a << 24 | (r << 16 & 0xFF0000) | (g as a byte) << 8 | (b & 0xFF).
uint32_t MakeARGB(int32_t a, int32_t r, int32_t g, int32_t b);
// Per channel min(255, c1 + c2), all four channels.
uint32_t AddColours(uint32_t c1, uint32_t c2);
// Per channel (c1 * (255 - t) + c2 * t) / 255 (integer division), all four
// channels; t is limited to 0..255.
uint32_t LerpColour(uint32_t c1, uint32_t c2, int32_t t);

// ---- Interlaced drawing ----
// An interlaced draw pass touches only the destination rows of one parity
// (row & 1). The parity is a property of the destination for the length of
// the pass: the compositor and the cell drawer, which own the frame parity
// and flip it once per frame, open a TInterlacePass on the pictures they draw
// into; every blit and fill into such a picture, and every copy to a surface
// whose parity is set, leaves the other rows alone.
class TARGB8888;
class TInterlacePass {
public:
    // on: draw only rows of the parity; off: every row (the pass still
    // restores what the picture had before).
    TInterlacePass(TARGB8888& dest, bool on, int32_t parity);
    ~TInterlacePass();
    TInterlacePass(const TInterlacePass&) = delete;
    TInterlacePass& operator=(const TInterlacePass&) = delete;

private:
    TARGB8888& dest_;
    int32_t previous_;
};

// Takes the next value of the engine-wide 24-bit content serial counter.
int32_t TakeContentSerial();

// A rectangle: left, top, right, bottom, with right and bottom exclusive.
struct TRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// How a blit or a fill mixes into the destination: the colour stage (add,
// then multiply per channel), the alpha, the blend mode and the band of
// destination rows [clipTop, clipBottom) it may touch.
struct TBlend {
    uint32_t addColour = 0;
    uint32_t mulColour = 0xFFFFFFFFu;
    uint8_t alpha = 255;
    uint8_t mode = 1;
    int32_t clipTop = 0, clipBottom = 1024;
};

// A scaled and rotated placement: the destination point the source centre
// goes to, the scales (4096 = 1.0) and the angle (1/4096 turns).
struct TRotation {
    int32_t centreX = 0, centreY = 0;
    int32_t scaleX = 4096, scaleY = 4096;
    int32_t angle = 0;
};

// Pixel storage takes zeroed memory from calloc and leaves it as it is when
// a vector grows from nothing, so a large picture of zeros costs resident
// memory only where it is drawn into.
template <class T>
struct TPixelAllocator {
    using value_type = T;
    TPixelAllocator() = default;
    template <class U>
    TPixelAllocator(const TPixelAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        if (void* p = std::calloc(n, sizeof(T))) return static_cast<T*>(p);
        throw std::bad_alloc();
    }
    void deallocate(T* p, size_t) noexcept { std::free(p); }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    template <class U>
    bool operator==(const TPixelAllocator<U>&) const noexcept {
        return true;
    }
};
using TPixelVector = std::vector<uint32_t, TPixelAllocator<uint32_t>>;

class TARGB8888 {
public:
    // Largest side and pixel count an image may have (4 GiB of address space
    // would not hold much more, and scripts choose sizes).
    static constexpr int32_t kMaxSide = 32767;
    static constexpr int64_t kMaxPixels = int64_t{1} << 28;

    using TFrameHook = std::function<void(int32_t frame)>;
    using TTransparencyHook = std::function<bool()>;

    TARGB8888();
    ~TARGB8888();
    TARGB8888(const TARGB8888&) = delete;
    TARGB8888& operator=(const TARGB8888&) = delete;
    TARGB8888(TARGB8888&&) noexcept;
    TARGB8888& operator=(TARGB8888&&) noexcept;

    // ---- Life and state ----
    // Frees the owned pixels, drops the borrowed buffer and both hooks,
    // takes a new content serial and recomputes the transparency flag.
    void Clear();
    // A new owned buffer of width x height pixels, all `fill` (0x00000000
    // unless given). A zero side gives an empty image; a negative or absurd
    // size raises EImageError and leaves the image as it was.
    void NewImage(int32_t width, int32_t height, uint32_t fill = 0);
    // A copy of the source's current pixels; the transparency flag is taken
    // from the source's HasTransparency. Assigning an image to itself makes
    // it own a copy of its current pixels.
    void AssignImage(const TARGB8888& source);
    // Copies of 32-bit pixels (alpha kept) or 24-bit B, G, R pixels (alpha
    // 255), rows top-down; rowBytes 0 means tightly packed. Sizes as NewImage.
    void AssignPixels(const uint32_t* pixels, int32_t width, int32_t height, ptrdiff_t rowBytes = 0);
    void AssignPixels24(const uint8_t* bgr, int32_t width, int32_t height, ptrdiff_t rowBytes = 0);
    // Lends pixels that another object owns; a buffer without pixels makes
    // the owned buffer current again. A buffer with pixels but a bad size or
    // stride raises EImageError.
    void AttachBuffer(const TPixelBuffer& buffer);
    void DetachBuffer() { AttachBuffer(TPixelBuffer{}); }
    bool HasBorrowedBuffer() const { return borrowed_.pixels != nullptr; }

    int32_t Width() const { return current_.width; }
    int32_t Height() const { return current_.height; }
    bool Empty() const { return current_.pixels == nullptr; }
    // The current buffer (the borrowed one when set).
    const TPixelBuffer& Buffer() const { return current_; }
    // Row y of the current buffer; y must be in 0..Height()-1.
    uint32_t* Row(int32_t y) { return current_.pixels + current_.stride * y; }
    const uint32_t* Row(int32_t y) const { return current_.pixels + current_.stride * y; }
    // Bounds-checked pixel access: 0 outside the image, writes outside ignored.
    uint32_t Pixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint32_t colour);

    // The transparency hook's answer when one is set, else the flag (1 when
    // some owned pixel has an alpha other than 255, or when nothing is owned).
    bool HasTransparency() const;
    // Rescans the owned pixels for the flag (after loading pixels directly).
    void UpdateTransparency();
    void SetTransparencyFlag(bool on) { transparent_ = on; }
    void SetTransparencyHook(TTransparencyHook hook) { transparencyHook_ = std::move(hook); }

    // Asked to move a borrowed movie frame to a frame number.
    void SetFrameHook(TFrameHook hook) { frameHook_ = std::move(hook); }
    bool HasFrameHook() const { return static_cast<bool>(frameHook_); }
    // Calls the frame hook; false when there is none.
    bool RequestFrame(int32_t frame) const;

    // Change stamp 0..0xFFFFFF: new on every Clear and Touch. Drawing does not
    // change it; code that draws into an image others cache calls Touch.
    int32_t ContentSerial() const { return serial_; }
    void Touch();

    // The row parity an interlaced draw pass restricts drawing into this
    // picture to (0 or 1), or -1 outside such a pass. See TInterlacePass.
    int32_t DrawParity() const { return drawParity_; }
    void SetDrawParity(int32_t parity) { drawParity_ = parity < 0 ? -1 : (parity & 1); }

    // ---- Blits: this image is the source ----
    // DrawEx with no colour stage, alpha 255, mode 1 and the band 0..1024.
    void Draw(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
              int32_t srcBottom) const;
    void DrawEx(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                int32_t srcBottom, uint32_t addColour, uint32_t mulColour, uint8_t alpha, uint8_t mode,
                int32_t clipTop, int32_t clipBottom) const;
    void DrawEx(TARGB8888& dest, int32_t x, int32_t y, const TRect& src, const TBlend& blend) const {
        DrawEx(dest, x, y, src.left, src.top, src.right, src.bottom, blend.addColour, blend.mulColour, blend.alpha,
               blend.mode, blend.clipTop, blend.clipBottom);
    }
    // Nearest-neighbour scaling of the source rectangle onto dx1..dy2.
    void StretchDraw(TARGB8888& dest, int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int32_t srcLeft,
                     int32_t srcTop, int32_t srcRight, int32_t srcBottom, uint32_t addColour, uint32_t mulColour,
                     uint8_t alpha, uint8_t mode, int32_t clipTop, int32_t clipBottom) const;
    // Scaled (4096 = 1.0) and rotated (angle in 1/4096 turns) about the
    // destination point (cx, cy).
    void RotateDraw(TARGB8888& dest, int32_t cx, int32_t cy, int32_t scaleX, int32_t scaleY, int32_t angle,
                    int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom, uint32_t addColour,
                    uint32_t mulColour, uint8_t alpha, uint8_t mode, int32_t clipTop, int32_t clipBottom) const;
    void RotateDraw(TARGB8888& dest, const TRotation& at, const TRect& src, const TBlend& blend) const {
        RotateDraw(dest, at.centreX, at.centreY, at.scaleX, at.scaleY, at.angle, src.left, src.top, src.right,
                   src.bottom, blend.addColour, blend.mulColour, blend.alpha, blend.mode, blend.clipTop,
                   blend.clipBottom);
    }
    // Wipe: the source alpha is the pattern, alpha the progress (255 = all
    // source). The colours are not used.
    void RuleDraw(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                  int32_t srcBottom, uint32_t addColour, uint32_t mulColour, uint8_t alpha, uint8_t mode,
                  int32_t clipTop, int32_t clipBottom) const;
    // dest := (s >> 1) + (d >> 1) per byte.
    void HalfBlend(TARGB8888& dest, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                   int32_t srcBottom) const;
    // dest := this image faded toward `other` (read at the same source
    // coordinates); level 255 = this image, 0 = the other. Nothing is drawn
    // when `other` does not cover the clipped source rectangle.
    void CrossFade(TARGB8888& dest, const TARGB8888& other, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop,
                   int32_t srcRight, int32_t srcBottom, int32_t level) const;
    // dest := this image and `other` mixed by this image's alpha as a rule;
    // level 255 = this image, lower levels turn the highest rule values into
    // the other image first. Same coverage rule as CrossFade.
    void RuleCrossFade(TARGB8888& dest, const TARGB8888& other, int32_t x, int32_t y, int32_t srcLeft,
                       int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t level) const;
    // Converts the source rectangle into a locked surface at (x, y). False
    // when the surface is absent or unusable (no pixels, a pitch too short).
    bool CopyToSurface(const TLockedSurface* surface, int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop,
                       int32_t srcRight, int32_t srcBottom) const;

    // ---- Fills and pixel edits on this image ----
    void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour);
    void FillRectEx(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour, uint8_t mode,
                    int32_t clipTop, int32_t clipBottom);
    // Fills with (AddColours(colour1, colour2) & 0xFFFFFF) | alpha << 24.
    // (The colours come second first, as the cell drawer hands them over.)
    void FillRectSum(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour2, uint32_t colour1,
                     uint8_t alpha, uint8_t mode, int32_t clipTop, int32_t clipBottom);
    // The same fill, its two colours being the blend's add and multiply
    // colours: (AddColours(addColour, mulColour) & 0xFFFFFF) | alpha << 24.
    void FillRectSum(const TRect& r, const TBlend& blend) {
        FillRectSum(r.left, r.top, r.right, r.bottom, blend.mulColour, blend.addColour, blend.alpha, blend.mode,
                    blend.clipTop, blend.clipBottom);
    }
    void FillRectEx(const TRect& r, uint32_t colour, const TBlend& blend) {
        FillRectEx(r.left, r.top, r.right, r.bottom, colour, blend.mode, blend.clipTop, blend.clipBottom);
    }
    // Sets the alpha byte; the argument is taken as unsigned and limited to
    // 255. Ignores interlace.
    void SetAlphaRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t alpha);
    // Alpha := the mask's blue byte over the common size. Ignores interlace.
    void CopyAlpha(const TARGB8888& mask);
    // dest pixel := blend(s = colour, d = this image's pixel) at the same
    // coordinates; this image is unchanged. Nothing is drawn when dest does
    // not cover the clipped rectangle.
    void ColourBlendTo(TARGB8888& dest, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour,
                       uint8_t mode) const;
    // Moves the content by (dx, dy), filling what is uncovered with colour.
    void ScrollImage(int32_t dx, int32_t dy, uint32_t colour);

private:
    void SetOwned(TPixelVector pixels, int32_t width, int32_t height);
    void UpdateCurrent();

    TPixelVector owned_;
    int32_t ownedWidth_ = 0;
    int32_t ownedHeight_ = 0;
    TPixelBuffer borrowed_;
    TPixelBuffer current_;
    bool transparent_ = true;
    TFrameHook frameHook_;
    TTransparencyHook transparencyHook_;
    int32_t serial_ = 0;
    int32_t drawParity_ = -1;
};

}  // namespace zel
