// TZelGraphic: the screen compositor. It owns the cell drawer (and so the
// composed frame), adds the cell of the running screen transition, renders,
// applies a whole-screen transition above all layers, and presents.
//
// Transition kinds: 0 none, 1 frozen (Capture, end of 3 and 5), 2 fade in,
// 3 fade out, 4 rule fade in, 5 rule fade out, 8 colour fade, 9 animated
// wipe. A transition at layer 0xFFFF is applied to the whole frame (kinds 2,
// 3, 4, 5, 8 into the output image); at any other layer it is a cell drawn
// among the objects. A fade in goes from the frozen picture to the live
// frame, a fade out from the live frame to the frozen picture.
//
// State block saved with the game (2209 bytes, little-endian):
//   0   4  background colour (alpha always 0xFF)
//   4   1  redraw-all flag
//   5 128  wipe file name: length byte + up to 127 bytes
//   133 1  transition kind       134 4  progress        138 4  duration
//   142 4  target colour         146 4  start colour    150 1  blend index 0..6
//   151 1  wipe effect channel   152 1  wipe stream channel
//   153 4  transition layer (0xFFFF: whole screen)
//   157 4  picture flags: byte 0 frozen image saved, byte 1 frame saved
//   161 2048 zero
// After the block: the wipe animation's own state, then the pictures, each
// as name (u16 length + bytes), i32 length n, n bytes of a JPEG (quality 90):
// "Capture.jpg" (the frozen image) and "Buffer.jpg" (the frame).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/ARGB8888CellDrawLib.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

class IDialogHost;
class IDisplayDevice;
class IGameFiles;
class TMemoryStream;

// The image object that plays an ABMP animation as an animated wipe. The
// compositor places it at (0, 0) on layer 65500; the object submits its own
// cells.
class IWipeAnimation {
public:
    virtual ~IWipeAnimation() = default;
    // Loads the animation (forcing a reload), places and shows it, hands it
    // the two channels and starts label 0. False when it cannot play.
    virtual bool Begin(const std::string& name, uint8_t effectChannel, uint8_t streamChannel) = 0;
    // The animation's first picture, or null when it holds none.
    virtual const TARGB8888* FirstPicture() = 0;
    // Length of the animation in milliseconds.
    virtual int32_t Length() = 0;
    // Moves on by elapsed ms at the speed factor; true once it reached its end.
    virtual bool Advance(int32_t elapsedMs, double speed) = 0;
    // Submits its cells when mask & its draw mask != 0.
    virtual void Draw(TARGB8888CellDraw& cells, int32_t mask) = 0;
    virtual void Reset() = 0;
    virtual void SaveState(TMemoryStream& s) = 0;
    virtual void LoadState(TMemoryStream& s) = 0;
};

enum TTransitionKind : uint8_t {
    tkNone = 0,
    tkFrozen = 1,
    tkFadeIn = 2,
    tkFadeOut = 3,
    tkRuleFadeIn = 4,
    tkRuleFadeOut = 5,
    tkColourFade = 8,
    tkWipe = 9,
};

class TZelGraphic {
public:
    static constexpr int32_t kWholeScreen = 0xFFFF;
    static constexpr size_t kStateSize = 2209;
    static constexpr int32_t kWipeLayer = 65500;

    // Re-submits every object and renders (drawMode, fullDraw, layerLimit);
    // Capture uses it to draw the frame it freezes.
    using TDrawCallback = std::function<void(bool drawMode, bool fullDraw, int32_t layerLimit)>;

    TZelGraphic();
    ~TZelGraphic();
    TZelGraphic(const TZelGraphic&) = delete;
    TZelGraphic& operator=(const TZelGraphic&) = delete;

    // Where rule pictures are read from (may be null: no rule pictures).
    void SetGameFiles(IGameFiles* files) { files_ = files; }
    // Where the message about an undecodable picture goes (null: standard error).
    void SetMessageHost(IDialogHost* messages) { messages_ = messages; }
    void SetDrawCallback(TDrawCallback cb) { draw_ = std::move(cb); }
    void SetWipeAnimation(std::unique_ptr<IWipeAnimation> wipe);

    void SetScreenSize(int32_t width, int32_t height);
    void Advance(int32_t elapsedMs);
    void Render(bool drawMode, int32_t layerLimit);
    void Present(IDisplayDevice& device, bool forceFull, bool drawMode);
    // The picture shown: the output image during a whole-screen transition
    // of kinds 2..8, else the frame buffer.
    const TARGB8888& OutputImage() const;
    void Capture(int32_t layer);
    void EndTransition();
    // Raise the picture loader's error when a rule picture cannot be decoded.
    void FadeIn(int32_t duration, int32_t layer, const std::string& name);
    void FadeOut(int32_t duration, int32_t layer, const std::string& name);
    void ColourFade(int32_t duration, int32_t layer, uint8_t blendIndex, uint32_t colour);
    void SetBackground(uint32_t colour) { background_ = colour | 0xFF000000u; }
    void SetRedrawAll(bool on) { redrawAll_ = on; }
    void SetWipeEffectChannel(uint8_t ch) { effectChannel_ = ch; }
    void SetWipeStreamChannel(uint8_t ch) { streamChannel_ = ch; }
    void Reset();
    void SaveState(TMemoryStream& s);
    // All-or-nothing: a damaged record raises EStreamError (or the picture
    // loader's error) and leaves the compositor as it was.
    void LoadState(TMemoryStream& s);
    // The shown picture (screen size, alpha 255) as a 32-bit BMP.
    bool SaveScreenBmp(TMemoryStream& s) const;
    // Makes the next present copy the whole frame.
    void SetRedrawPending() { redrawPending_ = true; }

    TARGB8888CellDraw& Cells() { return cells_; }
    const TARGB8888CellDraw& Cells() const { return cells_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    uint32_t Background() const { return background_; }
    bool RedrawAll() const { return redrawAll_; }
    uint8_t Kind() const { return kind_; }
    int32_t Layer() const { return layer_; }
    int32_t Progress() const { return progress_; }
    int32_t Duration() const { return duration_; }
    uint32_t TargetColour() const { return target_; }
    uint32_t StartColour() const { return start_; }
    uint8_t BlendIndex() const { return blendIndex_; }
    uint8_t WipeEffectChannel() const { return effectChannel_; }
    uint8_t WipeStreamChannel() const { return streamChannel_; }
    const std::string& WipeName() const { return wipeName_; }
    bool RedrawPending() const { return redrawPending_; }
    // The two transition pictures exist only while something needs them:
    // an empty frozen image stands for a uniform one (opaque black after
    // EndTransition and Reset, 0 after a size change), an empty output image
    // for one no whole-screen transition uses.
    const TARGB8888& Frozen() const { return frozen_; }
    const TARGB8888& Output() const { return output_; }
    // progress * 255 div duration, 0..255; without a duration 0 (255 for a
    // colour fade).
    int32_t Level() const;

private:
    void StartTransition();
    bool LoadRule(const std::string& name);
    void StartWipe(int32_t duration, int32_t layer, const std::string& name);
    bool WholeScreenOutput() const;
    uint32_t FadeColour() const;
    void ClearState();
    TARGB8888& EnsureFrozen();
    void ReleaseFrozen(uint32_t fill);
    void ReleaseOutput(uint32_t fill);
    void ReleaseUnusedOutput();
    void ComposeOutput(bool drawMode);

    TARGB8888CellDraw cells_;
    TARGB8888 frozen_, output_;
    std::unique_ptr<IWipeAnimation> wipe_;
    IGameFiles* files_ = nullptr;
    IDialogHost* messages_ = nullptr;
    TDrawCallback draw_;
    bool redrawPending_ = false;
    int32_t width_ = 0, height_ = 0;
    uint32_t frozenFill_ = 0, outputFill_ = 0;  // what an empty image stands for

    // The whole-screen output is composed again only where it changed: all
    // of it when what decides it changed (twice, so that both row parities
    // of interlaced drawing are covered), else the bands the cell drawer
    // redrew. Per band, bit p: rows of parity p not yet on the screen.
    struct TOutputKey {
        uint8_t kind = 0, blend = 0;
        int32_t level = 0, frozenSerial = 0;
        uint32_t colour = 0;
        bool operator==(const TOutputKey&) const = default;
    };
    TOutputKey outputKey_;
    int32_t outputFullPasses_ = 0;
    std::vector<uint8_t> outputDirty_;

    // The state block.
    uint32_t background_ = 0xFF000000u;
    bool redrawAll_ = false;
    std::string wipeName_;
    uint8_t kind_ = tkNone;
    int32_t progress_ = 0, duration_ = 0;
    uint32_t target_ = 0, start_ = 0;
    uint8_t blendIndex_ = 0, effectChannel_ = 0, streamChannel_ = 0;
    int32_t layer_ = kWholeScreen;
};

}  // namespace zel
