#include "graphics/ARGB8888CellDrawLib.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "base/IntMath.h"
#include "base/MemStream.h"
#include "graphics/ImageFiles.h"
#include "platform/Devices.h"

namespace zel {

namespace {

constexpr int32_t kBackgroundLayer = -0x10000;

int32_t Sat(int64_t v) { return SatInt32(v); }

int64_t BandOf(int64_t y, int64_t bands) {
    return std::clamp<int64_t>(y / TARGB8888CellDraw::kBandRows, 0, bands - 1);
}

// Vertical extent of a rotated cell: the box RotateDraw fills.
void RotatedRows(const TDrawCell& c, int64_t& top, int64_t& bottom) {
    const int64_t hw = (int64_t{c.srcRight} - c.srcLeft) >> 1;
    const int64_t hh = (int64_t{c.srcBottom} - c.srcTop) >> 1;
    const int64_t vx = int64_t{c.x2} * hw / 4096, vy = int64_t{c.y2} * hh / 4096;
    const double theta = static_cast<double>(c.angle) * 3.1415 / 2048.0;
    const float sinT = static_cast<float>(std::sin(theta)), cosT = static_cast<float>(std::cos(theta));
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    for (int k = 0; k < 4; ++k) {
        const double px = static_cast<double>((k & 1) ? vx : -vx), py = static_cast<double>((k & 2) ? vy : -vy);
        const int64_t ry = TruncToInt64(px * sinT + py * cosT);
        minY = std::min(minY, ry);
        maxY = std::max(maxY, ry);
    }
    top = int64_t{c.y1} + minY;
    bottom = int64_t{c.y1} + maxY;
}

}  // namespace

bool TDrawCell::SameAs(const TDrawCell& o) const {
    return type == o.type && mode == o.mode && image == o.image && aux == o.aux && srcLeft == o.srcLeft &&
           srcTop == o.srcTop && srcRight == o.srcRight && srcBottom == o.srcBottom && x1 == o.x1 && y1 == o.y1 &&
           x2 == o.x2 && y2 == o.y2 && angle == o.angle && sortKey == o.sortKey && addColour == o.addColour &&
           mulColour == o.mulColour && alpha == o.alpha && serial == o.serial;
}

void CopyTopLeft(const TARGB8888& src, TARGB8888& dst, int32_t w, int32_t h) {
    dst.NewImage(w, h);
    if (dst.Empty() || src.Empty()) return;
    const int32_t cw = std::min(w, src.Width()), ch = std::min(h, src.Height());
    for (int32_t y = 0; y < ch; ++y) std::memcpy(dst.Row(y), src.Row(y), sizeof(uint32_t) * static_cast<size_t>(cw));
    dst.Touch();
}

TARGB8888CellDraw::TARGB8888CellDraw() {
    cells_.reserve(kMaxCells + 1);
    order_.reserve(kMaxCells + 1);
    SetSize(128, 128);
}

// ---------------------------------------------------------------------------
// Submitting

void TARGB8888CellDraw::Submit(TDrawCell cell, int32_t layer, bool always) {
    if (!always && static_cast<int32_t>(cells_.size()) >= kMaxCells) return;
    // An empty rectangle draws nothing. A rotated cell keeps its centre and
    // scales in these fields, so it is never taken as empty here (its scales
    // were checked when it was submitted).
    if (cell.type != ctRotate && cell.x1 == cell.x2 && cell.y1 == cell.y2) return;
    cell.mode &= 0x7F;
    cell.alpha = std::clamp(cell.alpha, 0, 255);
    cell.sortKey = (static_cast<uint32_t>(layer) & 0xFFFFFFu) * 1024u + static_cast<uint32_t>(cells_.size());
    // A movie image moves to its frame first, so that the serial taken below
    // is the serial of the picture that will be drawn.
    if (cell.image && cell.image->HasFrameHook()) cell.image->RequestFrame(cell.frame);
    cell.serial = (cell.image ? cell.image->ContentSerial() : 0) | (cell.aux ? cell.aux->ContentSerial() : 0);
    cells_.push_back(cell);
}

void TARGB8888CellDraw::AddImageCell(int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                     int32_t srcBottom, int32_t layer, int32_t angle, const TARGB8888* image,
                                     int32_t frame, int32_t alpha, uint32_t addColour, uint32_t mulColour,
                                     uint8_t mode, const TARGB8888* aux) {
    TDrawCell c;
    c.type = ctImage;
    c.mode = mode;
    c.image = image;
    c.aux = aux;
    c.srcLeft = srcLeft, c.srcTop = srcTop, c.srcRight = srcRight, c.srcBottom = srcBottom;
    c.x1 = x;
    c.y1 = y;
    c.x2 = Sat(int64_t{x} + (int64_t{srcRight} - srcLeft));
    c.y2 = Sat(int64_t{y} + (int64_t{srcBottom} - srcTop));
    c.angle = angle;
    c.frame = frame;
    c.alpha = alpha;
    c.addColour = addColour;
    c.mulColour = mulColour;
    Submit(c, layer);
}

void TARGB8888CellDraw::AddStretchCell(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t srcLeft,
                                       int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t layer,
                                       int32_t angle, const TARGB8888* image, int32_t frame, int32_t alpha,
                                       uint32_t addColour, uint32_t mulColour, uint8_t mode,
                                       const TARGB8888* aux) {
    if (int64_t{x2} - x1 == int64_t{srcRight} - srcLeft && int64_t{y2} - y1 == int64_t{srcBottom} - srcTop) {
        AddImageCell(x1, y1, srcLeft, srcTop, srcRight, srcBottom, layer, angle, image, frame, alpha, addColour,
                     mulColour, mode, aux);
        return;
    }
    TDrawCell c;
    c.type = ctStretch;
    c.mode = mode;
    c.image = image;
    c.aux = aux;
    c.srcLeft = srcLeft, c.srcTop = srcTop, c.srcRight = srcRight, c.srcBottom = srcBottom;
    c.x1 = x1, c.y1 = y1, c.x2 = x2, c.y2 = y2;
    c.angle = angle;
    c.frame = frame;
    c.alpha = alpha;
    c.addColour = addColour;
    c.mulColour = mulColour;
    Submit(c, layer);
}

void TARGB8888CellDraw::AddRotateCell(int32_t cx, int32_t cy, int32_t scaleX, int32_t scaleY, int32_t srcLeft,
                                      int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t layer,
                                      int32_t angle, const TARGB8888* image, int32_t frame, int32_t alpha,
                                      uint32_t addColour, uint32_t mulColour, uint8_t mode,
                                      const TARGB8888* aux) {
    if (scaleX <= 0 || scaleY <= 0 || srcRight <= srcLeft || srcBottom <= srcTop) return;
    const int64_t hw = (int64_t{srcRight} - srcLeft) / 2, hh = (int64_t{srcBottom} - srcTop) >> 1;
    if (angle % 4096 == 0) {
        if (scaleX == 4096 && scaleY == 4096) {
            AddImageCell(Sat(cx - hw), Sat(cy - hh), srcLeft, srcTop, srcRight, srcBottom, layer, angle, image, frame,
                         alpha, addColour, mulColour, mode, aux);
        } else {
            const int64_t vx = int64_t{scaleX} * hw / 4096, vy = int64_t{scaleY} * hh / 4096;
            AddStretchCell(Sat(cx - vx), Sat(cy - vy), Sat(cx + vx), Sat(cy + vy), srcLeft, srcTop, srcRight,
                           srcBottom, layer, angle, image, frame, alpha, addColour, mulColour, mode, aux);
        }
        return;
    }
    TDrawCell c;
    c.type = ctRotate;
    c.mode = mode;
    c.image = image;
    c.aux = aux;
    c.srcLeft = srcLeft, c.srcTop = srcTop, c.srcRight = srcRight, c.srcBottom = srcBottom;
    c.x1 = cx, c.y1 = cy, c.x2 = scaleX, c.y2 = scaleY;
    c.angle = angle;
    c.frame = frame;
    c.alpha = alpha;
    c.addColour = addColour;
    c.mulColour = mulColour;
    Submit(c, layer);
}

void TARGB8888CellDraw::AddRuleCell(int32_t x, int32_t y, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                    int32_t srcBottom, int32_t layer, int32_t angle, const TARGB8888* image,
                                    int32_t alpha, uint32_t addColour, uint32_t mulColour, uint8_t mode) {
    TDrawCell c;
    c.type = ctRule;
    c.mode = mode;
    c.image = image;
    c.srcLeft = srcLeft, c.srcTop = srcTop, c.srcRight = srcRight, c.srcBottom = srcBottom;
    c.x1 = x;
    c.y1 = y;
    c.x2 = Sat(int64_t{x} + (int64_t{srcRight} - srcLeft));
    c.y2 = Sat(int64_t{y} + (int64_t{srcBottom} - srcTop));
    c.angle = angle;
    c.alpha = alpha;
    c.addColour = addColour;
    c.mulColour = mulColour;
    Submit(c, layer);
}

void TARGB8888CellDraw::AddColourCell(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer, int32_t angle,
                                      int32_t alpha, uint32_t addColour, uint32_t colour, uint8_t mode) {
    TDrawCell c;
    c.type = ctColour;
    c.mode = mode;
    c.x1 = x1, c.y1 = y1, c.x2 = x2, c.y2 = y2;
    c.angle = angle;
    c.alpha = alpha;
    c.addColour = addColour;
    c.mulColour = colour & 0xFFFFFFu;
    Submit(c, layer);
}

void TARGB8888CellDraw::AddColourCellARGB(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t layer,
                                          int32_t angle, uint32_t colour, uint8_t mode) {
    AddColourCell(x1, y1, x2, y2, layer, angle, static_cast<int32_t>(colour >> 24), 0, colour & 0xFFFFFFu, mode);
}

void TARGB8888CellDraw::AddRedrawMarker() {
    TDrawCell c;
    c.type = ctRedrawMarker;
    c.mulColour = 0xFFFFFF;
    c.alpha = 255;
    c.x2 = 4095;
    c.y2 = 4095;
    Submit(c, 0);
}

// ---------------------------------------------------------------------------
// Rendering

int32_t TARGB8888CellDraw::CoverageClass(const TDrawCell& c) {
    const bool imageType = c.type >= ctImage && c.type <= ctRule;
    if (c.alpha == 0 || (imageType && (!c.image || c.image->Empty()))) return 0;
    const uint32_t s = AddColours(c.mulColour, c.addColour) & 0xFFFFFFu;
    const uint8_t m = c.mode;
    const bool full = c.alpha == 255;
    if (c.type == ctColour) {
        const bool opaque = full && ((m == 1 || m == 2) || ((m == 3 || m == 6) && s == 0xFFFFFFu) ||
                                     ((m == 4 || m == 7) && s == 0));
        return opaque ? 1 : 2;
    }
    if (c.type == ctImage || c.type == ctStretch) {
        const bool modeOpaque = full && ((m == 1 || m == 2) || ((m == 3 || m == 6) && c.addColour == s) ||
                                         ((m == 4 || m == 7) && s == 0));
        const bool inside = c.srcLeft >= 0 && c.srcTop >= 0 && c.srcRight <= c.image->Width() &&
                            c.srcBottom <= c.image->Height();
        return modeOpaque && inside && !c.image->HasTransparency() ? 1 : 2;
    }
    return 2;
}

void TARGB8888CellDraw::DrawCell(const TDrawCell& c, TARGB8888& target, int32_t offsetY, int32_t clipTop,
                                 int32_t clipBottom) {
    const int32_t y1 = Sat(int64_t{c.y1} + offsetY);
    const auto alpha = static_cast<uint8_t>(c.alpha);
    const TBlend blend{c.addColour, c.mulColour, alpha, c.mode, clipTop, clipBottom};
    const TRect src{c.srcLeft, c.srcTop, c.srcRight, c.srcBottom};
    switch (c.type) {
        case ctColour: target.FillRectSum(TRect{c.x1, y1, c.x2, Sat(int64_t{c.y2} + offsetY)}, blend); break;
        case ctImage: c.image->DrawEx(target, c.x1, y1, src, blend); break;
        case ctStretch:
            c.image->StretchDraw(target, c.x1, y1, c.x2, Sat(int64_t{c.y2} + offsetY), c.srcLeft, c.srcTop,
                                 c.srcRight, c.srcBottom, c.addColour, c.mulColour, alpha, c.mode, clipTop,
                                 clipBottom);
            break;
        case ctRotate:
            // A rotated cell keeps its scales in x2 and y2.
            c.image->RotateDraw(target, TRotation{c.x1, y1, c.x2, c.y2, c.angle}, src, blend);
            break;
        case ctRule:
            c.image->RuleDraw(target, c.x1, y1, c.srcLeft, c.srcTop, c.srcRight, c.srcBottom, c.addColour,
                              c.mulColour, alpha, c.mode, clipTop, clipBottom);
            break;
        default: break;
    }
}

void TARGB8888CellDraw::Render(uint32_t background, bool drawMode, int32_t layerLimit) {
    // Cells go into the frame, or into the band buffer and from there into
    // the frame: both draw only the rows of this frame's parity.
    TInterlacePass framePass(frame_, drawMode, frameParity_), bandPass(band_, drawMode, frameParity_);
    const int64_t nBands = static_cast<int64_t>(bands_.size());

    // The background goes in even when the frame is full: without it a band
    // would keep whatever it showed before.
    {
        TDrawCell bg;
        bg.type = ctColour;
        bg.mode = 2;
        bg.x2 = std::max(2048, width_);
        bg.y2 = std::max(2048, height_);
        bg.alpha = static_cast<int32_t>(background >> 24);
        bg.mulColour = background & 0xFFFFFFu;
        Submit(bg, kBackgroundLayer, true);
    }

    for (TBand& b : bands_) {
        Current(b).count = 0;
        Current(b).redrawn = false;
    }

    order_.resize(cells_.size());
    for (size_t i = 0; i < cells_.size(); ++i) order_[i] = static_cast<uint32_t>(i);
    std::sort(order_.begin(), order_.end(),
              [this](uint32_t a, uint32_t b) { return cells_[a].SortOrder() < cells_[b].SortOrder(); });

    const uint32_t limit = (static_cast<uint32_t>(layerLimit) * 1024u) ^ 0x80000000u;
    bool fullRedraw = false;
    for (uint32_t idx : order_) {
        const TDrawCell& c = cells_[idx];
        if (c.SortOrder() >= limit) continue;
        int64_t top, bottom;
        if (c.type == ctRotate) {
            RotatedRows(c, top, bottom);
        } else {
            if ((c.x1 < 0 && c.x2 < 0) || (c.y1 < 0 && c.y2 < 0) || (c.x1 >= width_ && c.x2 >= width_) ||
                (c.y1 >= height_ && c.y2 >= height_))
                continue;
            top = c.y1;
            bottom = c.y2;
        }
        const int32_t cls = CoverageClass(c);
        if (cls == 0) continue;
        int64_t first = BandOf(top, nBands), last = BandOf(bottom, nBands);
        if (first > last) std::swap(first, last);
        if (c.type == ctRedrawMarker) {
            fullRedraw = true;
            continue;
        }
        for (int64_t i = first; i <= last; ++i) {
            TBandList& list = Current(bands_[static_cast<size_t>(i)]);
            bool opaque = cls == 1 && c.type != ctRotate;
            if (opaque) {
                const int64_t bandTop = i * kBandRows;
                const int64_t bandBottom = std::min<int64_t>(bandTop + kBandRows, height_);
                if (c.x1 > 0 || c.x2 < width_ || c.y1 > bandTop || c.y2 < bandBottom) opaque = false;
            }
            if (opaque) list.count = 0;
            if (list.count < kMaxBandCells) list.cells[static_cast<size_t>(list.count++)] = c;
        }
    }

    for (TBand& b : bands_) {
        if (b.dirty) Current(b).redrawn = true;
        b.dirty = false;
    }

    for (size_t i = 0; i < bands_.size(); ++i) {
        TBand& b = bands_[i];
        TBandList& cur = Current(b);
        const TBandList& prev = Previous(b);
        bool changed = cur.redrawn || b.blend >= 1 || cur.count != prev.count;
        for (int32_t k = 0; !changed && k < cur.count; ++k)
            changed = !cur.cells[static_cast<size_t>(k)].SameAs(prev.cells[static_cast<size_t>(k)]);
        if (changed) b.hold = kHoldFrames;
        if (!changed && b.hold <= 0) continue;
        if (b.hold > 0) --b.hold;
        if (fullRedraw) b.blend = kBlendFrames;
        cur.redrawn = true;
        const int32_t top = static_cast<int32_t>(i) * kBandRows;
        const int32_t rows = std::min(kBandRows, height_ - top);
        const bool viaBand = b.blend > 0 || throughBandBuffer_;
        for (int32_t k = 0; k < cur.count; ++k) {
            const TDrawCell& c = cur.cells[static_cast<size_t>(k)];
            if (viaBand)
                DrawCell(c, band_, -top, 0, kBandRows);
            else
                DrawCell(c, frame_, 0, top, top + kBandRows);
        }
        if (!viaBand) continue;
        if (b.blend < 1) {
            band_.DrawEx(frame_, 0, top, 0, 0, band_.Width(), rows, 0, 0xFFFFFFFFu, 255, 1, 0, INT32_MAX);
        } else {
            band_.HalfBlend(frame_, 0, top, 0, 0, band_.Width(), rows);
            --b.blend;
        }
    }

    curr_ ^= 1;
    cells_.clear();
}

bool TARGB8888CellDraw::PresentBands(IDisplayDevice& device, bool full, bool drawMode) {
    int pitch = 0;
    uint32_t* pixels = device.Lock(&pitch);
    if (!pixels) return false;
    TLockedSurface surface;
    surface.pixels = pixels;
    surface.pitch = pitch;
    surface.width = device.ScreenWidth();
    surface.height = device.ScreenHeight();
    surface.bitDepth = 32;
    surface.parity = drawMode ? frameParity_ : -1;
    {
        const int32_t parity = frameParity_;
        auto show = [&](int32_t top, int32_t bottom) {
            frame_.CopyToSurface(&surface, 0, top, 0, top, width_, bottom);
            if (drawMode)
                device.MarkRowsOfParity(top, bottom, parity);
            else
                device.MarkRows(top, bottom);
        };
        if (full) {
            show(0, height_);
        } else {
            for (size_t i = 0; i < bands_.size(); ++i) {
                if (!LastRendered(bands_[i]).redrawn) continue;
                const int32_t top = static_cast<int32_t>(i) * kBandRows;
                show(top, std::min(top + kBandRows, height_));
            }
        }
    }
    device.Unlock();
    device.Present(false);
    return true;
}

// ---------------------------------------------------------------------------
// State

void TARGB8888CellDraw::InvalidateRows(int32_t top, int32_t bottom) {
    if (bands_.empty()) return;
    const int64_t n = static_cast<int64_t>(bands_.size());
    int64_t first = BandOf(top, n), last = BandOf(bottom, n);
    if (first > last) std::swap(first, last);
    for (int64_t i = first; i <= last; ++i) bands_[static_cast<size_t>(i)].dirty = true;
}

void TARGB8888CellDraw::InvalidateAll() { InvalidateRows(0, height_); }

void TARGB8888CellDraw::SetSize(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    TARGB8888 frame, band;
    frame.NewImage(width + kExtraColumns, height);
    band.NewImage(width + kExtraColumns, kBandRows);
    frame_ = std::move(frame);
    band_ = std::move(band);
    width_ = width;
    height_ = height;
    bands_.assign(static_cast<size_t>((height + kBandRows - 1) / kBandRows), TBand{});
    cells_.clear();
    curr_ = 0;
}

void TARGB8888CellDraw::Clear() {
    cells_.clear();
    for (TBand& b : bands_) {
        for (TBandList& l : b.lists) {
            l.count = 0;
            l.redrawn = false;
        }
        b.blend = 0;
    }
}

bool TARGB8888CellDraw::SaveFrameBmp(TMemoryStream& stream) const {
    TARGB8888 copy;
    CopyTopLeft(frame_, copy, width_, height_);
    copy.SetAlphaRect(0, 0, width_, height_, 255);
    return SaveBmp(copy, stream);
}

bool TARGB8888CellDraw::BandRedrawn(int32_t band) const {
    if (band < 0 || band >= BandCount()) return false;
    return LastRendered(bands_[static_cast<size_t>(band)]).redrawn;
}

std::vector<TDrawCell> TARGB8888CellDraw::BandCells(int32_t band) const {
    if (band < 0 || band >= BandCount()) return {};
    const TBandList& l = LastRendered(bands_[static_cast<size_t>(band)]);
    return {l.cells.begin(), l.cells.begin() + l.count};
}

}  // namespace zel
