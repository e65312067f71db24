#include "graphics/Compositor.h"

#include <algorithm>
#include <cstring>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ImageFiles.h"
#include "platform/Devices.h"
#include "storage/GameFiles.h"

namespace zel {

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr size_t kNameField = 128;  // length byte + 127 bytes
constexpr size_t kMaxName = kNameField - 1;
constexpr int32_t kCellLayerCap = 60000;
constexpr int kJpegQuality = 90;

void FillAll(TARGB8888& img, uint32_t colour) {
    for (int32_t y = 0; y < img.Height(); ++y) std::fill_n(img.Row(y), img.Width(), colour);
    img.SetTransparencyFlag((colour >> 24) != 0xFF);
    img.Touch();
}

// Copies rows [top, bottom) of src's pixels into dst's top-left corner
// (what fits), no blending.
void PasteRows(const TARGB8888& src, TARGB8888& dst, int32_t top, int32_t bottom) {
    if (src.Empty() || dst.Empty()) return;
    const int32_t w = std::min(src.Width(), dst.Width());
    bottom = std::min({bottom, src.Height(), dst.Height()});
    for (int32_t y = std::max(top, 0); y < bottom; ++y)
        std::memcpy(dst.Row(y), src.Row(y), sizeof(uint32_t) * static_cast<size_t>(w));
    dst.Touch();
}

void PasteTopLeft(const TARGB8888& src, TARGB8888& dst) { PasteRows(src, dst, 0, src.Height()); }

// PasteTopLeft of a w x h picture that is not held because all of it is
// `fill`.
void PasteOrFill(const TARGB8888& src, uint32_t fill, int32_t w, int32_t h, TARGB8888& dst) {
    if (!src.Empty()) {
        PasteTopLeft(src, dst);
        return;
    }
    if (dst.Empty()) return;
    w = std::min(w, dst.Width());
    h = std::min(h, dst.Height());
    for (int32_t y = 0; y < h; ++y) std::fill_n(dst.Row(y), w, fill);
    dst.Touch();
}

// True when every pixel of img is the same; colour receives it.
bool UniformColour(const TARGB8888& img, uint32_t& colour) {
    if (img.Empty()) return false;
    colour = img.Row(0)[0];
    for (int32_t y = 0; y < img.Height(); ++y) {
        const uint32_t* row = img.Row(y);
        if (!std::all_of(row, row + img.Width(), [c = colour](uint32_t p) { return p == c; })) return false;
    }
    return true;
}

bool IsWipeName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('\\', dot) != std::string::npos) return false;
    return AsciiLower(name.substr(dot)) == ".b";
}

std::string Truncated(const std::string& name) { return name.size() > kMaxName ? name.substr(0, kMaxName) : name; }

bool ValidKind(uint8_t k) { return k <= 5 || k == tkColourFade || k == tkWipe; }

// The state block as stored.
struct TBlock {
    uint32_t background = 0;
    uint8_t redrawAll = 0;
    std::string name;
    uint8_t kind = 0;
    int32_t progress = 0, duration = 0;
    uint32_t target = 0, start = 0;
    uint8_t blend = 0, effect = 0, stream = 0;
    int32_t layer = 0;
    uint8_t flags[4] = {};
};

void WriteBlock(TMemoryStream& s, const TBlock& b) {
    s.WriteU32(b.background);
    s.WriteU8(b.redrawAll);
    uint8_t name[kNameField] = {};
    name[0] = static_cast<uint8_t>(std::min(b.name.size(), kMaxName));
    std::memcpy(name + 1, b.name.data(), name[0]);
    s.Write(name, sizeof name);
    s.WriteU8(b.kind);
    s.WriteI32(b.progress);
    s.WriteI32(b.duration);
    s.WriteU32(b.target);
    s.WriteU32(b.start);
    s.WriteU8(b.blend);
    s.WriteU8(b.effect);
    s.WriteU8(b.stream);
    s.WriteI32(b.layer);
    s.Write(b.flags, 4);
    const uint8_t zero[2048] = {};
    s.Write(zero, sizeof zero);
}

TBlock ReadBlock(TMemoryStream& s) {
    s.Require(TZelGraphic::kStateSize);
    TBlock b;
    b.background = s.ReadU32();
    b.redrawAll = s.ReadU8();
    const std::string name = s.ReadBytes(kNameField);
    const auto len = static_cast<uint8_t>(name[0]);
    if (len > kMaxName) throw EStreamError("screen state: wipe file name length " + std::to_string(len) + " > 127");
    b.name = name.substr(1, len);
    b.kind = s.ReadU8();
    if (!ValidKind(b.kind)) throw EStreamError("screen state: unknown transition kind " + std::to_string(b.kind));
    b.progress = s.ReadI32();
    b.duration = s.ReadI32();
    b.target = s.ReadU32();
    b.start = s.ReadU32();
    b.blend = s.ReadU8();
    b.effect = s.ReadU8();
    b.stream = s.ReadU8();
    b.layer = s.ReadI32();
    s.Read(b.flags, 4);
    s.Skip(2048);
    return b;
}

// One picture list entry, decoded by the extension of its stored name.
void ReadPicture(TMemoryStream& s, TARGB8888& img, IDialogHost* messages) {
    const std::string name = ReadLenString(s);
    const int32_t n = s.ReadI32();
    if (n < 0 || static_cast<size_t>(n) > s.Remaining())
        throw EStreamError("screen state: picture \"" + name + "\" claims " + std::to_string(n) + " bytes, " +
                           std::to_string(s.Remaining()) + " remain");
    TMemoryStream picture(s.ReadBytes(static_cast<size_t>(n)));
    LoadFromStream(img, &picture, name, messages);
}

void WritePicture(TMemoryStream& s, const std::string& name, const std::vector<uint8_t>& jpeg) {
    WriteLenString(s, name);
    s.WriteI32(static_cast<int32_t>(jpeg.size()));
    s.Write(jpeg.data(), jpeg.size());
}

// A JPEG of the top-left w x h pixels with alpha 255; empty on failure.
std::vector<uint8_t> ScreenJpeg(const TARGB8888& img, int32_t w, int32_t h) {
    TARGB8888 copy;
    CopyTopLeft(img, copy, w, h);
    copy.SetAlphaRect(0, 0, w, h, 255);
    TMemoryStream out;
    if (!SaveJpeg(copy, out, kJpegQuality)) return {};
    return out.TakeBytes();
}

// Reads the rule picture `name` from the game files into rule; false when
// there is no such file. A picture that cannot be decoded raises.
bool ReadRulePicture(IGameFiles* files, const std::string& name, TARGB8888& rule, IDialogHost* messages) {
    if (!files || name.empty()) return false;
    auto stream = files->OpenGameFile(name);
    if (!stream) return false;
    LoadFromStream(rule, stream.get(), name, messages);
    return true;
}

}  // namespace

TZelGraphic::TZelGraphic() {
    SetScreenSize(800, 600);
    Reset();
}

TZelGraphic::~TZelGraphic() = default;

void TZelGraphic::SetWipeAnimation(std::unique_ptr<IWipeAnimation> wipe) { wipe_ = std::move(wipe); }

void TZelGraphic::SetScreenSize(int32_t width, int32_t height) {
    if (width == width_ && height == height_) return;
    cells_.SetSize(width, height);
    width_ = cells_.Width();
    height_ = cells_.Height();
    ReleaseFrozen(0);
    ReleaseOutput(0);
    outputDirty_.assign(static_cast<size_t>(cells_.BandCount()), 0);
    redrawPending_ = true;
}

TARGB8888& TZelGraphic::EnsureFrozen() {
    if (frozen_.Empty() && width_ > 0 && height_ > 0) frozen_.NewImage(width_, height_, frozenFill_);
    return frozen_;
}

void TZelGraphic::ReleaseFrozen(uint32_t fill) {
    frozen_.Clear();
    frozenFill_ = fill;
}

void TZelGraphic::ReleaseOutput(uint32_t fill) {
    output_.Clear();
    outputFill_ = fill;
}

// Once no whole-screen transition runs, the output image is not read again
// before the next one composes it.
void TZelGraphic::ReleaseUnusedOutput() {
    if (!WholeScreenOutput() && !output_.Empty()) ReleaseOutput(kOpaqueBlack);
}

int32_t TZelGraphic::Level() const {
    // A fade without a duration shows its start until the next Advance ends
    // it; a colour fade to an opaque colour never ends, so without a
    // duration it shows its colour at once rather than its start for ever.
    if (duration_ <= 0) return kind_ == tkColourFade ? 255 : 0;
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{progress_} * 255 / duration_, 0, 255));
}

uint32_t TZelGraphic::FadeColour() const { return LerpColour(start_, target_, Level()); }

bool TZelGraphic::WholeScreenOutput() const {
    return layer_ == kWholeScreen && kind_ != tkNone && kind_ != tkFrozen && kind_ != tkWipe;
}

const TARGB8888& TZelGraphic::OutputImage() const { return WholeScreenOutput() ? output_ : cells_.FrameBuffer(); }

// ---------------------------------------------------------------------------
// Frames

void TZelGraphic::Advance(int32_t elapsedMs) {
    if (progress_ < duration_)
        progress_ = static_cast<int32_t>(std::min<int64_t>(int64_t{progress_} + elapsedMs, duration_));
    const uint8_t before = kind_;
    const bool done = progress_ >= duration_;
    switch (kind_) {
        case tkFadeIn:
        case tkRuleFadeIn:
            if (done) kind_ = tkNone;
            break;
        case tkFadeOut:
        case tkRuleFadeOut:
            if (done) kind_ = tkFrozen;
            break;
        case tkColourFade:
            if (done && (target_ >> 24) == 0) kind_ = tkNone;
            break;
        case tkWipe: {
            if (!wipe_) {
                kind_ = tkNone;
                break;
            }
            const int32_t length = wipe_->Length();
            const double speed =
                length != 0 && duration_ != 0 ? static_cast<double>(length) / static_cast<double>(duration_) : 1.0;
            if (wipe_->Advance(elapsedMs, speed)) kind_ = tkNone;
            break;
        }
        default: break;
    }
    if (kind_ != before) {
        cells_.InvalidateAll();
        redrawPending_ = true;
        // A fade in that is over keeps its starting picture for a later fade
        // without a capture; one of a single colour (a capture of a black
        // screen) is kept as that colour alone.
        uint32_t colour = 0;
        if (kind_ == tkNone && UniformColour(frozen_, colour)) ReleaseFrozen(colour);
    }
}

void TZelGraphic::Render(bool drawMode, int32_t layerLimit) {
    ReleaseUnusedOutput();
    if (kind_ >= tkFrozen && kind_ <= tkRuleFadeOut) EnsureFrozen();
    if (redrawAll_) cells_.AddRedrawMarker();
    const int32_t level = Level(), inverse = 255 - level;
    if (layer_ != kWholeScreen || kind_ == tkFrozen || kind_ == tkWipe) {
        switch (kind_) {
            case tkFrozen:
                cells_.AddImageCell(0, 0, 0, 0, width_, height_, std::min(layer_, kCellLayerCap), 0, &frozen_, 0, 255,
                                    0, 0xFFFFFF, 1);
                break;
            case tkFadeIn:
            case tkFadeOut:
                cells_.AddImageCell(0, 0, 0, 0, width_, height_, layer_, 0, &frozen_, 0,
                                    kind_ == tkFadeIn ? inverse : level, 0, 0xFFFFFF, 2);
                break;
            case tkRuleFadeIn:
            case tkRuleFadeOut:
                cells_.AddRuleCell(0, 0, 0, 0, width_, height_, layer_, 0, &frozen_,
                                   kind_ == tkRuleFadeIn ? inverse : level, 0, 0xFFFFFF, 2);
                break;
            case tkColourFade:
                if (blendIndex_ <= 6)
                    cells_.AddColourCellARGB(0, 0, width_, height_, layer_, 0, FadeColour(),
                                             static_cast<uint8_t>(2 + blendIndex_));
                break;
            case tkWipe:
                if (wipe_) wipe_->Draw(cells_, std::min(layer_, kCellLayerCap));
                break;
            default: break;
        }
    }
    cells_.Render(background_, drawMode, layerLimit);
    if (WholeScreenOutput()) ComposeOutput(drawMode);
}

void TZelGraphic::ComposeOutput(bool drawMode) {
    if (output_.Empty()) {
        output_.NewImage(width_, height_, outputFill_);
        outputFullPasses_ = 2;
    }
    const int32_t level = Level(), inverse = 255 - level;
    const bool colour = kind_ == tkColourFade;
    const TOutputKey key{kind_, blendIndex_, level, colour ? 0 : frozen_.ContentSerial(), colour ? FadeColour() : 0};
    if (!(key == outputKey_)) {
        outputKey_ = key;
        outputFullPasses_ = 2;
    }
    const int32_t bands = cells_.BandCount();
    if (outputDirty_.size() != static_cast<size_t>(bands)) {
        outputDirty_.assign(static_cast<size_t>(bands), 0);
        outputFullPasses_ = 2;
    }
    const bool full = outputFullPasses_ > 0;
    if (full) --outputFullPasses_;

    TInterlacePass pass(output_, drawMode, cells_.FrameParity());
    const TARGB8888& frame = cells_.FrameBuffer();
    auto compose = [&](int32_t top, int32_t bottom) {
        switch (kind_) {
            case tkFadeIn:
            case tkFadeOut:
                frozen_.CrossFade(output_, frame, 0, top, 0, top, width_, bottom, kind_ == tkFadeIn ? inverse : level);
                break;
            case tkRuleFadeIn:
            case tkRuleFadeOut:
                frozen_.RuleCrossFade(output_, frame, 0, top, 0, top, width_, bottom,
                                      kind_ == tkRuleFadeIn ? inverse : level);
                break;
            case tkColourFade:
                if (blendIndex_ <= 6)
                    frame.ColourBlendTo(output_, 0, top, width_, bottom, FadeColour(),
                                        static_cast<uint8_t>(2 + blendIndex_));
                else
                    PasteRows(frame, output_, top, bottom);  // an unknown blend draws nothing over the frame
                break;
            default: break;
        }
    };
    const uint8_t rows = drawMode ? static_cast<uint8_t>(1u << cells_.FrameParity()) : uint8_t{3};
    constexpr int32_t kBand = TARGB8888CellDraw::kBandRows;
    for (int32_t i = 0; i < bands;) {
        if (!full && !cells_.BandRedrawn(i)) {
            ++i;
            continue;
        }
        const int32_t first = i;
        while (i < bands && (full || cells_.BandRedrawn(i))) outputDirty_[static_cast<size_t>(i++)] |= rows;
        compose(first * kBand, std::min(i * kBand, height_));
    }
}

void TZelGraphic::Present(IDisplayDevice& device, bool forceFull, bool drawMode) {
    bool shown = false;
    if (WholeScreenOutput()) {
        bool all = forceFull || redrawPending_;
        if (output_.Empty()) {
            output_.NewImage(width_, height_, outputFill_);
            outputFullPasses_ = 2;  // nothing of this transition is composed yet
            all = true;
        }
        int pitch = 0;
        if (uint32_t* pixels = device.Lock(&pitch)) {
            TLockedSurface surface;
            surface.pixels = pixels;
            surface.pitch = pitch;
            surface.width = device.ScreenWidth();
            surface.height = device.ScreenHeight();
            surface.bitDepth = 32;
            const int32_t parity = cells_.FrameParity();
            surface.parity = drawMode ? parity : -1;
            // Only the bands composed since they were last shown go up.
            const uint8_t rows = drawMode ? static_cast<uint8_t>(1u << parity) : uint8_t{3};
            auto show = [&](int32_t top, int32_t bottom) {
                output_.CopyToSurface(&surface, 0, top, 0, top, width_, bottom);
                if (drawMode)
                    device.MarkRowsOfParity(top, bottom, parity);
                else
                    device.MarkRows(top, bottom);
            };
            constexpr int32_t kBand = TARGB8888CellDraw::kBandRows;
            const auto bands = static_cast<int32_t>(outputDirty_.size());
            if (all) show(0, height_);
            for (int32_t i = 0; i < bands;) {
                if (all || (outputDirty_[static_cast<size_t>(i)] & rows) == 0) {
                    outputDirty_[static_cast<size_t>(i++)] &= static_cast<uint8_t>(~rows);
                    continue;
                }
                const int32_t first = i;
                while (i < bands && (outputDirty_[static_cast<size_t>(i)] & rows) != 0)
                    outputDirty_[static_cast<size_t>(i++)] &= static_cast<uint8_t>(~rows);
                show(first * kBand, std::min(i * kBand, height_));
            }
            device.Unlock();
            device.Present(false);
            shown = true;
        }
    } else {
        shown = cells_.PresentBands(device, redrawPending_ || forceFull, drawMode);
    }
    // A present that could not lock the back buffer still owes the whole frame.
    if (shown) redrawPending_ = false;
}

// ---------------------------------------------------------------------------
// Transitions

void TZelGraphic::StartTransition() {
    if (wipe_) wipe_->Reset();
    wipeName_.clear();
    progress_ = 0;
    redrawPending_ = true;
}

bool TZelGraphic::LoadRule(const std::string& name) {
    TARGB8888 rule;
    if (!ReadRulePicture(files_, name, rule, messages_)) return false;
    TARGB8888& frozen = EnsureFrozen();
    frozen.CopyAlpha(rule);
    frozen.UpdateTransparency();
    frozen.Touch();
    return true;
}

void TZelGraphic::Capture(int32_t layer) {
    if (kind_ == tkFrozen) return;
    StartTransition();
    auto draw = [this](int32_t limit) {
        if (draw_)
            draw_(false, true, limit);
        else
            Render(false, limit);
    };
    draw(layer);
    CopyTopLeft(cells_.FrameBuffer(), frozen_, width_, height_);
    if (layer != kWholeScreen) draw(kWholeScreen);
    frozen_.SetAlphaRect(0, 0, width_, height_, 255);
    frozen_.SetTransparencyFlag(false);
    frozen_.Touch();
    kind_ = tkFrozen;
    layer_ = layer;
    duration_ = 0;
    target_ = kOpaqueBlack;
    blendIndex_ = 0;
}

void TZelGraphic::EndTransition() {
    TARGB8888& frame = cells_.FrameBuffer();
    if (kind_ == tkFrozen) {
        PasteOrFill(frozen_, frozenFill_, width_, height_, frame);
    } else if ((kind_ == tkFadeOut || kind_ == tkRuleFadeOut || kind_ == tkColourFade) && layer_ == kWholeScreen) {
        // The output image is what was shown only for a whole-screen transition.
        PasteOrFill(output_, outputFill_, width_, height_, frame);
    }
    cells_.InvalidateAll();
    if (wipe_) wipe_->Reset();
    progress_ = 0;
    layer_ = kWholeScreen;
    kind_ = tkNone;
    duration_ = 0;
    target_ = 0;
    blendIndex_ = 0;
    redrawAll_ = false;
    ReleaseFrozen(kOpaqueBlack);
    ReleaseOutput(kOpaqueBlack);
    redrawPending_ = true;
}

void TZelGraphic::StartWipe(int32_t duration, int32_t layer, const std::string& name) {
    layer_ = layer;
    duration_ = duration;
    progress_ = 0;
    if (!wipe_ || !wipe_->Begin(name, effectChannel_, streamChannel_)) {
        // Nothing can play the animation: the plain fade in.
        kind_ = tkFadeIn;
        return;
    }
    wipeName_ = Truncated(name);
    kind_ = tkWipe;
    if (const TARGB8888* first = wipe_->FirstPicture()) {
        TARGB8888& frozen = EnsureFrozen();
        PasteTopLeft(*first, frozen);
        frozen.UpdateTransparency();
    }
}

void TZelGraphic::FadeIn(int32_t duration, int32_t layer, const std::string& name) {
    const bool wipe = !name.empty() && IsWipeName(name);
    // The rule picture is read first, so that one that cannot be decoded
    // raises before anything changed.
    TARGB8888 rule;
    const bool haveRule = !wipe && ReadRulePicture(files_, name, rule, messages_);
    StartTransition();
    layer_ = layer;
    duration_ = duration;
    if (name.empty()) {
        kind_ = tkFadeIn;
    } else if (wipe) {
        StartWipe(duration, layer, name);
    } else {
        kind_ = tkRuleFadeIn;
        wipeName_ = Truncated(name);
        if (haveRule) {
            TARGB8888& frozen = EnsureFrozen();
            frozen.CopyAlpha(rule);
            frozen.UpdateTransparency();
            frozen.Touch();
        }
    }
}

void TZelGraphic::FadeOut(int32_t duration, int32_t layer, const std::string& name) {
    if (!name.empty() && IsWipeName(name)) return;  // an animated wipe only fades in
    TARGB8888 rule;
    const bool haveRule = ReadRulePicture(files_, name, rule, messages_);
    StartTransition();
    layer_ = layer;
    duration_ = duration;
    if (name.empty()) {
        kind_ = tkFadeOut;
    } else {
        kind_ = tkRuleFadeOut;
        wipeName_ = Truncated(name);
        if (haveRule) {
            TARGB8888& frozen = EnsureFrozen();
            frozen.CopyAlpha(rule);
            frozen.UpdateTransparency();
            frozen.Touch();
        }
    }
}

void TZelGraphic::ColourFade(int32_t duration, int32_t layer, uint8_t blendIndex, uint32_t colour) {
    StartTransition();
    start_ = target_;
    target_ = colour;
    kind_ = tkColourFade;
    layer_ = layer;
    duration_ = duration;
    blendIndex_ = blendIndex;
}

void TZelGraphic::ClearState() {
    background_ = 0;
    redrawAll_ = false;
    wipeName_.clear();
    kind_ = tkNone;
    progress_ = duration_ = 0;
    target_ = start_ = 0;
    blendIndex_ = effectChannel_ = streamChannel_ = 0;
    layer_ = 0;
}

void TZelGraphic::Reset() {
    ClearState();
    EndTransition();
    cells_.Clear();
    if (wipe_) wipe_->Reset();
    background_ = kOpaqueBlack;
}

// ---------------------------------------------------------------------------
// Saved games

void TZelGraphic::SaveState(TMemoryStream& s) {
    TBlock b;
    b.background = background_;
    b.redrawAll = redrawAll_ ? 1 : 0;
    b.name = wipeName_;
    b.kind = kind_;
    b.progress = progress_;
    b.duration = duration_;
    b.target = target_;
    b.start = start_;
    b.blend = blendIndex_;
    b.effect = effectChannel_;
    b.stream = streamChannel_;
    b.layer = layer_;
    // The pictures are taken from copies with alpha 255, so that saving does
    // not disturb a running rule fade (whose rule lives in the frozen alpha).
    std::vector<uint8_t> capture, buffer;
    if (kind_ != tkNone && kind_ != tkColourFade) {
        capture = ScreenJpeg(frozen_, width_, height_);
        b.flags[0] = capture.empty() ? 0 : 1;
    }
    buffer = ScreenJpeg(cells_.FrameBuffer(), width_, height_);
    b.flags[1] = buffer.empty() ? 0 : 1;
    WriteBlock(s, b);
    if (wipe_) wipe_->SaveState(s);
    if (b.flags[0]) WritePicture(s, "Capture.jpg", capture);
    if (b.flags[1]) WritePicture(s, "Buffer.jpg", buffer);
}

void TZelGraphic::LoadState(TMemoryStream& s) {
    const TBlock b = ReadBlock(s);
    if (wipe_) wipe_->LoadState(s);
    TARGB8888 frozenPicture, framePicture, rule;
    if (b.flags[0]) ReadPicture(s, frozenPicture, messages_);
    if (b.flags[1]) ReadPicture(s, framePicture, messages_);
    const bool haveRule =
        (b.kind == tkRuleFadeIn || b.kind == tkRuleFadeOut) && ReadRulePicture(files_, b.name, rule, messages_);

    // Everything was read: the compositor takes the saved state.
    Reset();
    background_ = b.background;
    redrawAll_ = b.redrawAll != 0;
    wipeName_ = b.name;
    kind_ = b.kind;
    progress_ = b.progress;
    duration_ = b.duration;
    target_ = b.target;
    start_ = b.start;
    blendIndex_ = b.blend;
    effectChannel_ = b.effect;
    streamChannel_ = b.stream;
    layer_ = b.layer;

    // The frozen image stays released (opaque black, as Reset left it)
    // unless the saved state puts something into it.
    const TARGB8888* first = kind_ == tkWipe && wipe_ ? wipe_->FirstPicture() : nullptr;
    if (b.flags[0] || haveRule || first) {
        TARGB8888& frozen = EnsureFrozen();
        PasteTopLeft(frozenPicture, frozen);
        if (haveRule) frozen.CopyAlpha(rule);
        if (first) PasteTopLeft(*first, frozen);
        frozen.UpdateTransparency();
        frozen.Touch();
    }
    TARGB8888& frame = cells_.FrameBuffer();
    FillAll(frame, kOpaqueBlack);
    PasteTopLeft(framePicture, frame);
    cells_.InvalidateAll();
    redrawPending_ = true;
}

bool TZelGraphic::SaveScreenBmp(TMemoryStream& s) const {
    TARGB8888 copy;
    CopyTopLeft(OutputImage(), copy, width_, height_);
    copy.SetAlphaRect(0, 0, width_, height_, 255);
    return SaveBmp(copy, s);
}

}  // namespace zel
