// The player's cells: interpolation of a layer between its keys, the key
// stack of layer groups, and the cells handed to the cell drawer.
#include <algorithm>
#include <cmath>

#include "anim/AnimationBmpLib.h"
#include "base/IntMath.h"
#include "base/MiscMath.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888CellDrawLib.h"

namespace zel {
namespace {

int32_t Round(double v) { return RoundHalfEven(v); }

uint32_t MulColours(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((a >> shift) & 0xFF) * ((b >> shift) & 0xFF) / 255) << shift;
    return out;
}

bool HasHook(const std::string& name, std::string_view hook) {
    if (name.empty() || name[0] != '*') return false;
    return AsciiLower(name).find(hook) != std::string::npos;
}

// c := c combined with the top of the stack.
void Combine(TABMPCellState& c, const TABMPCellState& top) {
    c.x = SatInt32(int64_t{c.x} + top.x);
    c.y = SatInt32(int64_t{c.y} + top.y);
    if (c.kind != akRotate) {
        c.right = SatInt32(int64_t{c.right} + top.right);
        c.bottom = SatInt32(int64_t{c.bottom} + top.bottom);
    }
    c.layer = SatInt32(int64_t{c.layer} + top.layer);
    c.angle = SatInt32(int64_t{c.angle} + top.angle);
    c.srcLeft = SatInt32(int64_t{c.srcLeft} + top.srcLeft);
    c.srcRight = SatInt32(int64_t{c.srcRight} + top.srcLeft);
    c.srcTop = SatInt32(int64_t{c.srcTop} + top.srcTop);
    c.srcBottom = SatInt32(int64_t{c.srcBottom} + top.srcTop);
    c.addColour = AddColours(c.addColour, top.addColour);
    c.baseColour = MulColours(c.baseColour, top.baseColour);
    c.opacity = c.opacity * top.opacity / 255;
}

}  // namespace

int KeyIndexAt(const TABMPLayer& layer, double t) {
    const int64_t rt = RoundHalfEven64(t);
    for (int i = TABMPLayer::kKeys - 1; i >= 0; --i)
        if (layer.keys[i].time <= rt) return i;
    return -1;
}

double InterpolateKeyValue(int mode, double p, double a, double b, double q, double f, bool shake) {
    switch (mode) {
        case 1: return a * (1 - f) + b * f;
        case 2: {
            if (a == b && p == q && a == p) return a;
            const double f2 = f * f, f3 = f2 * f, g = 1 - f;
            return (g * g * g * p + (3 * f3 - 6 * f2 + 4) * a + (-3 * f3 + 3 * f2 + 3 * f + 1) * b + f3 * q) / 6;
        }
        case 3:
        case 6: {
            double v = a;
            if (a != b) {
                const double e = 1 - std::pow(1 - f, 2.4);
                v = a * (1 - e) + b * e;
            }
            if (mode == 6 && shake) v += (Random(40) - 20) * (1 - f);
            return v;
        }
        case 4: {
            if (a == b) return a;
            const double e = std::pow(f, 2.4);
            return a * (1 - e) + b * e;
        }
        case 5: {
            if (a == b && p == q) return a;
            double t1 = f * (1 - f) * (1 - f) * (b - p);
            double t2 = f * f * (f - 1) * (q - a);
            if (a == b) t1 *= 0.25, t2 *= 0.25;
            return a * (f - 1) * (f - 1) * (2 * f + 1) + b * f * f * (3 - 2 * f) + t1 + t2;
        }
        default: return a;
    }
}

int32_t CellStep(int32_t a, int32_t b, int32_t cell, double f) {
    const int64_t cells = TruncToInt64(f * (double(b) - a) / cell);
    return SatInt32(a + cells * cell);
}

int TAnimationBmp::CellState(int index, TABMPCellState& c) {
    c = TABMPCellState{};
    if (motion_ < 0 || motion_ >= MotionCount()) return -1;
    const auto& layers = data_.motions[motion_].layers;
    if (index < 0 || index >= static_cast<int>(layers.size()) || index >= kMaxLayers) return -1;
    const auto& keys = layers[index].keys;
    const double t = clocks_[index].time;
    const int k = KeyIndexAt(layers[index], t);
    if (k < 0) return -1;
    const TABMPKey& A = keys[k];
    const TABMPKey& P = keys[std::max(k - 1, 0)];
    const TABMPKey& B = keys[std::min(k + 1, 31)];
    const TABMPKey& Q = keys[std::min(k + 2, 31)];
    double f = B.time == A.time ? 0.0 : (t - A.time) / (double(B.time) - A.time);
    f = std::clamp(f, 0.0, 1.0);

    c.kind = A.kind;
    c.blend = (A.blend >= 1 && A.blend <= 6) ? static_cast<uint8_t>(A.blend + 2) : 2;
    c.image = A.image;
    c.image2 = A.image2;
    c.action = {A.action, A.args[0], A.args[1], A.args[2], A.args[3]};

    // Source rectangle.
    int32_t* src[4] = {&c.srcLeft, &c.srcTop, &c.srcRight, &c.srcBottom};
    if (A.srcInterp == 7) {
        const int32_t w = std::max(1, std::abs(A.src[2] - A.src[0]));
        const int32_t h = std::max(1, std::abs(A.src[3] - A.src[1]));
        c.srcLeft = CellStep(A.src[0], B.src[0], w, f);
        c.srcTop = CellStep(A.src[1], B.src[1], h, f);
        c.srcRight = c.srcLeft + w;
        c.srcBottom = c.srcTop + h;
    } else {
        for (int j = 0; j < 4; ++j)
            *src[j] = Round(InterpolateKeyValue(A.srcInterp, P.src[j], A.src[j], B.src[j], Q.src[j], f, true));
    }

    // Destination, drawing layer and angle.
    const int dm = A.dstInterp;
    auto value = [&](double p, double a, double b, double q, bool shake) {
        return Round(InterpolateKeyValue(dm, p, a, b, q, f, shake));
    };
    if (dm == 7) {
        const int32_t w = std::max(1, std::abs(A.dst[2] - A.dst[0]));
        const int32_t h = std::max(1, std::abs(A.dst[3] - A.dst[1]));
        c.x = CellStep(A.dst[0], B.dst[0], w, f);
        c.y = CellStep(A.dst[1], B.dst[1], h, f);
        c.right = c.x + w;
        c.bottom = c.y + h;
    } else {
        c.x = value(P.dst[0], A.dst[0], B.dst[0], Q.dst[0], true);
        c.y = value(P.dst[1], A.dst[1], B.dst[1], Q.dst[1], true);
        c.right = value(P.dst[2], A.dst[2], B.dst[2], Q.dst[2], true);
        c.bottom = value(P.dst[3], A.dst[3], B.dst[3], Q.dst[3], true);
    }
    if (c.kind == akRotate) {
        auto scale = [](int16_t v) { return v * 4096.0 / 100; };
        c.right = value(scale(P.dst[2]), scale(A.dst[2]), scale(B.dst[2]), scale(Q.dst[2]), false);
        c.bottom = value(scale(P.dst[3]), scale(A.dst[3]), scale(B.dst[3]), scale(Q.dst[3]), false);
    }
    c.layer = value(P.layer, A.layer, B.layer, Q.layer, false);
    auto deg = [](int16_t v) { return v * 4096.0 / 360; };
    c.angle = value(deg(P.angle), deg(A.angle), deg(B.angle), deg(Q.angle), false);

    // Colours and opacity.
    if (A.colourInterp == 1) {
        const int32_t d = static_cast<int32_t>(f * 255);
        c.addColour = LerpColour(A.addColour, B.addColour, d);
        c.baseColour = LerpColour(A.baseColour, B.baseColour, d);
        c.opacity = (A.opacity * (255 - d) + B.opacity * d) / 255;
    } else {
        c.addColour = A.addColour;
        c.baseColour = A.baseColour;
        c.opacity = A.opacity;
    }
    c.frame = Round(A.frame * (1 - f) + B.frame * f);
    c.param = Round(A.param * (1 - f) + B.param * f);

    // Completion: a zero source rectangle is the whole picture.
    if (c.kind == akImage || c.kind == akStretch || c.kind == akRotate) {
        if (c.srcLeft == 0 && c.srcTop == 0 && c.srcRight == 0 && c.srcBottom == 0) {
            const TARGB8888* pic = Picture(c.image);
            if (pic && messageSurface_ && c.image < ImageCount() && HasHook(images_[c.image].name, "*messurface"))
                pic = messageSurface_;
            if (pic) c.srcRight = pic->Width(), c.srcBottom = pic->Height();
        }
        if (c.kind == akRotate && c.right == 0 && c.bottom == 0) c.right = c.bottom = 4096;
    }
    return k;
}

void TAnimationBmp::CellPass(TARGB8888CellDraw* drawer, int32_t x, int32_t y, int32_t opacity,
                             int32_t layerOffset) {
    stackSize_ = 0;
    stackOverflow_ = 0;
    if (motion_ < 0 || motion_ >= MotionCount()) return;
    const bool hitPass = drawer == nullptr;
    const auto& layers = data_.motions[motion_].layers;
    const int count = std::min<int>(static_cast<int>(layers.size()), kMaxLayers);
    TABMPCellState c;
    for (int i = 0; i < count; ++i) {
        const TABMPLayer& layer = layers[i];
        const int k = KeyIndexAt(layer, clocks_[i].time);
        if (k < 0) continue;
        const uint8_t kind = layer.keys[k].kind;
        const bool group = layer.groupMode == 1 || layer.groupMode == 2;
        if (!group && (kind == akNothing || (hitPass && kind != akHitArea))) continue;
        CellState(i, c);
        if (layer.groupMode == 1) {
            if (stackSize_ < kMaxStack) {
                TABMPCellState entry = c;
                if (stackSize_ > 0) Combine(entry, stack_[stackSize_ - 1]);
                stack_[stackSize_++] = entry;
            } else {
                ++stackOverflow_;
            }
            if (stackSize_ > 0) Combine(c, stack_[stackSize_ - 1]);
        } else {
            if (stackSize_ > 0) Combine(c, stack_[stackSize_ - 1]);
            if (layer.groupMode == 2) {
                if (stackOverflow_ > 0) --stackOverflow_;
                else if (stackSize_ > 0) --stackSize_;
            }
        }
        if (kind == akNothing || (hitPass && kind != akHitArea)) continue;

        c.x = SatInt32(int64_t{c.x} + x);
        c.y = SatInt32(int64_t{c.y} + y);
        if (c.kind != akRotate) {
            c.right = SatInt32(int64_t{c.right} + x);
            c.bottom = SatInt32(int64_t{c.bottom} + y);
        }
        c.layer = SatInt32(int64_t{c.layer} + layerOffset);
        c.opacity = SatInt32(int64_t{c.opacity} * opacity / 255);
        Emit(drawer, layer, c);
    }
}

void TAnimationBmp::Emit(TARGB8888CellDraw* drawer, const TABMPLayer& layer, TABMPCellState& c) {
    if (c.kind == akHitArea) {
        if (!drawer) PushHit(c.x, c.y, c.right, c.bottom, c.layer);
        else if (edit_) drawer->AddColourCellARGB(c.x, c.y, c.right, c.bottom, 5000, 0, 0x60FF0000u, 2);
        return;
    }
    if (!drawer) return;
    const TARGB8888* pic = Picture(c.image);
    const std::string* picName = c.image < ImageCount() ? &images_[c.image].name : nullptr;
    if (HasHook(layer.name, "*message") || HasHook(layer.name, "*mesalpha") ||
        (picName && AsciiLower(*picName).find("*mesalpha") != std::string::npos))
        c.opacity = c.opacity * std::clamp(messageOpacity_, 0, 255) / 255;
    if (picName && messageSurface_ && HasHook(*picName, "*messurface")) pic = messageSurface_;
    switch (c.kind) {
        case akRectangle:
            drawer->AddColourCell(c.x, c.y, c.right, c.bottom, c.layer, 0, c.opacity, c.addColour, c.baseColour,
                                  c.blend);
            break;
        case akImage:
            if (pic)
                drawer->AddImageCell(c.x, c.y, c.srcLeft, c.srcTop, c.srcRight, c.srcBottom, c.layer, 0, pic,
                                     c.frame, c.opacity, c.addColour, c.baseColour, c.blend);
            break;
        case akStretch:
            if (pic)
                drawer->AddStretchCell(c.x, c.y, c.right, c.bottom, c.srcLeft, c.srcTop, c.srcRight, c.srcBottom,
                                       c.layer, 0, pic, c.frame, c.opacity, c.addColour, c.baseColour, c.blend);
            break;
        case akRotate:
            if (pic)
                drawer->AddRotateCell(c.x, c.y, c.right, c.bottom, c.srcLeft, c.srcTop, c.srcRight, c.srcBottom,
                                      c.layer, c.angle, pic, c.frame, c.opacity, c.addColour, c.baseColour,
                                      c.blend);
            break;
        case akRedrawMarker: drawer->AddRedrawMarker(); break;
        default: break;
    }
}

void TAnimationBmp::Draw(TARGB8888CellDraw& drawer, int32_t x, int32_t y, int32_t opacity, int32_t layerOffset) {
    CellPass(&drawer, x, y, opacity, layerOffset);
}

}  // namespace zel
