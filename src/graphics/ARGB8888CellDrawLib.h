// TARGB8888CellDraw: the renderer every visible thing goes through.
//
// Each frame the objects submit cells (an image or a colour, where it goes,
// in which blend mode, at which layer). Render sorts them by layer (equal
// layers in submission order), splits the screen into bands of 60 rows and
// gives each band the list of cells that touch it. A band whose list equals
// the previous frame's (same cells, same image content serials) is neither
// redrawn nor presented; a changed band is redrawn for 3 frames, and under a
// full-redraw request bands are mixed in over 16 frames (a dissolve).
//
// Limits: 1024 cells per frame, 64 cells per band; more are dropped without
// a report. An opaque cell that covers a whole band empties that band's list
// first, so what lies under it is not drawn at all.
//
// The frame buffer is 4 pixels wider than the screen so that pair-wise blits
// at the right edge stay inside it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/ARGB8888Lib.h"

namespace zel {

class IDisplayDevice;
class TMemoryStream;

enum TCellType : uint8_t {
    ctColour = 0,
    ctImage = 1,
    ctStretch = 2,
    ctRotate = 3,
    ctRule = 4,
    ctRedrawMarker = 5,
};

// One submitted drawing step.
struct TDrawCell {
    uint8_t type = ctColour;
    uint8_t mode = 0;  // blend mode & 0x7F
    const TARGB8888* image = nullptr;
    const TARGB8888* aux = nullptr;
    int32_t srcLeft = 0, srcTop = 0, srcRight = 0, srcBottom = 0;
    // Destination rectangle; for rotated cells centre x, centre y, scaleX, scaleY (4096 = 1.0).
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t angle = 0;  // rotated cells: 1/4096 turns
    // (layer & 0xFFFFFF) * 1024 + submission index, modulo 2^32. It orders
    // as the signed value it was in the original layout, so the background
    // (layer -0x10000) sorts before every ordinary layer: compare SortOrder().
    uint32_t sortKey = 0;
    uint32_t addColour = 0, mulColour = 0;
    int32_t alpha = 0;
    int32_t serial = 0;  // content serial of image | aux image
    int32_t frame = 0;   // handed to the image's frame hook (not compared)

    // Monotonic form of the sort key for unsigned comparison.
    uint32_t SortOrder() const { return sortKey ^ 0x80000000u; }
    // Two frames compare cells by everything that decides their pixels.
    bool SameAs(const TDrawCell& o) const;
};

// dst := a new w x h image holding the top-left w x h pixels of src (rows
// past src's size are left 0); no blending, interlace is ignored.
void CopyTopLeft(const TARGB8888& src, TARGB8888& dst, int32_t w, int32_t h);

class TARGB8888CellDraw {
public:
    static constexpr int32_t kBandRows = 60;
    static constexpr int32_t kMaxCells = 1024;
    static constexpr int32_t kMaxBandCells = 64;
    static constexpr int32_t kHoldFrames = 3;
    static constexpr int32_t kBlendFrames = 16;
    static constexpr int32_t kExtraColumns = 4;

    TARGB8888CellDraw();
    TARGB8888CellDraw(const TARGB8888CellDraw&) = delete;
    TARGB8888CellDraw& operator=(const TARGB8888CellDraw&) = delete;

    // ---- Submitting cells (dropped when the frame already holds 1024) ----
    // The frame hook of a movie image runs here, before the content serial is
    // taken, so a new movie frame makes the cell differ from the last one.
    void AddImageCell(int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom,
                      int32_t layer, int32_t angle, const TARGB8888* image, int32_t frame, int32_t alpha,
                      uint32_t addColour, uint32_t mulColour, uint8_t mode, const TARGB8888* aux = nullptr);
    void AddStretchCell(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t srcLeft, int32_t srcTop,
                        int32_t srcRight, int32_t srcBottom, int32_t layer, int32_t angle, const TARGB8888* image,
                        int32_t frame, int32_t alpha, uint32_t addColour, uint32_t mulColour, uint8_t mode,
                        const TARGB8888* aux = nullptr);
    void AddRotateCell(int32_t cx, int32_t cy, int32_t scaleX, int32_t scaleY, int32_t srcLeft, int32_t srcTop,
                       int32_t srcRight, int32_t srcBottom, int32_t layer, int32_t angle, const TARGB8888* image,
                       int32_t frame, int32_t alpha, uint32_t addColour, uint32_t mulColour, uint8_t mode,
                       const TARGB8888* aux = nullptr);
    void AddRuleCell(int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom,
                     int32_t layer, int32_t angle, const TARGB8888* image, int32_t alpha, uint32_t addColour,
                     uint32_t mulColour, uint8_t mode);
    // colour: RGB (its top byte is not used).
    void AddColourCell(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer, int32_t angle, int32_t alpha,
                       uint32_t addColour, uint32_t colour, uint8_t mode);
    // colour: ARGB; its alpha byte becomes the cell's alpha.
    void AddColourCellARGB(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer, int32_t angle,
                           uint32_t colour, uint8_t mode);
    // Asks for a full redraw of the frame's changed bands, dissolved over 16 frames.
    void AddRedrawMarker();

    // ---- Frames ----
    // Composes the submitted cells over the background into the frame buffer
    // (drawMode: interlaced drawing); cells of layers >= layerLimit are left out.
    void Render(uint32_t background, bool drawMode, int32_t layerLimit);
    // Copies the bands redrawn by the last Render (all rows when full) to the
    // device's back buffer and presents. Nothing (false) when the lock fails.
    bool PresentBands(IDisplayDevice& device, bool full, bool drawMode);
    void InvalidateRows(int32_t top, int32_t bottom);
    void InvalidateAll();
    void SetSize(int32_t width, int32_t height);
    void Clear();
    // The frame buffer's W x H area with alpha 255 as a 32-bit BMP.
    bool SaveFrameBmp(TMemoryStream& stream) const;

    // The row parity (0 or 1) that interlaced rendering and presenting touch;
    // the frame loop flips it once a frame.
    int32_t FrameParity() const { return frameParity_; }
    void SetFrameParity(int32_t parity) { frameParity_ = parity & 1; }
    void ToggleFrameParity() { frameParity_ ^= 1; }

    // Every band composes through the band buffer (off by default).
    void SetComposeThroughBandBuffer(bool on) { throughBandBuffer_ = on; }

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t BandCount() const { return static_cast<int32_t>(bands_.size()); }
    // (W + 4) x H; the composed screen.
    TARGB8888& FrameBuffer() { return frame_; }
    const TARGB8888& FrameBuffer() const { return frame_; }
    int32_t SubmittedCount() const { return static_cast<int32_t>(cells_.size()); }

    // ---- Inspection (tests, tools) ----
    // Whether band i was redrawn by the last Render.
    bool BandRedrawn(int32_t band) const;
    // The cells the last Render kept for band i, in drawing order.
    std::vector<TDrawCell> BandCells(int32_t band) const;
    // 0 skip, 1 opaque, 2 translucent, before the whole-band test.
    static int32_t CoverageClass(const TDrawCell& cell);

private:
    struct TBandList {
        int32_t count = 0;
        bool redrawn = false;
        std::array<TDrawCell, kMaxBandCells> cells;
    };
    struct TBand {
        TBandList lists[2];  // current / previous, by curr_
        bool dirty = false;
        int32_t blend = 0;
        int32_t hold = 0;
    };

    void Submit(TDrawCell cell, int32_t layer, bool always = false);
    void DrawCell(const TDrawCell& c, TARGB8888& target, int32_t offsetY, int32_t clipTop, int32_t clipBottom);
    TBandList& Current(TBand& b) { return b.lists[curr_]; }
    TBandList& Previous(TBand& b) { return b.lists[curr_ ^ 1]; }
    const TBandList& LastRendered(const TBand& b) const { return b.lists[curr_ ^ 1]; }

    int32_t width_ = 0, height_ = 0;
    TARGB8888 frame_;
    TARGB8888 band_;
    int32_t frameParity_ = 0;
    std::vector<TDrawCell> cells_;
    std::vector<uint32_t> order_;
    std::vector<TBand> bands_;
    int curr_ = 0;
    bool throughBandBuffer_ = false;
};

}  // namespace zel
