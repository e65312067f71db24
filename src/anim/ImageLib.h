// TImageLib: the on-screen image object behind the script's "img" and "simg"
// objects, and the base of the message window and of buttons. It shows one
// animation of the ABMP player (a plain picture is a one-frame animation) or
// a filled rectangle, at a position and layer that glide over time, with an
// alpha that fades, an anchor, a hover area, mouse-over and enable/disable
// labels, and a state block that goes into saved games. It draws through the
// cells of the cell drawer.
//
// It lives beside the animation player it is built on (graphics is below
// the player in the layering, so the object cannot live there).
//
// The state block (4776 bytes, little-endian, offsets from its start):
//     0  1  visible            1  1  enabled          2  4  animation volume
//     6  4  label number      10 1024 layer times    1034 1024 layer waits
//  2058  4  x   2062 4 y   2066 4 layer   2070 4 alpha
//  2074  4  stream channel  2078  4  effect channel
//  2082 128 main file (length byte + 127 bytes)   2210 128 second file
//  2338 16  hit-area parameters (left, top, right, bottom)
//  2354  8  last mouse x, y   2362 16 hover rectangle
//  2378 12  glide start x, y, layer   2390 12 glide target x, y, layer
//  2402  8  glide remaining, duration   2410 8 fade start, target alpha
//  2418  8  fade remaining, duration    2426 1 glide curve
//  2427 16  four button values   2443 256 four 64-byte user strings
//  2699  4  horizontal anchor   2703 4 vertical anchor
//  2707  4  mouse mask   2711 4 draw mask   2715 8 button offset x, y
//  2723  4  last reported label   2727 1 paused
//  2728 128 third file   2856 128 fourth file   2984 128 fifth file
//  3112  8  cached-picture flags (one byte per slot, set while saving)
//  3120  4  speed in percent     3124 1652 zero
// SaveState writes the block, the 16 frame names (u16 length + bytes) and,
// for each flagged slot, its picture as a quality-90 JPEG (name as u16 length
// + bytes, a signed 32-bit length, the bytes). LoadState reads all of it into
// temporaries first: a damaged record changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/MemStream.h"

namespace zel {

class IAnimationSound;
class IGameFiles;
class TAnimationBmp;
class TARGB8888CellDraw;
struct TAnimationResources;

// The glide curves of "p" moves; t in 0..1024 from f to g.
int32_t GlideCurve(int type, int32_t t, int32_t f, int32_t g);

class TImageLib {
public:
    static constexpr size_t kStateSize = 4776;
    static constexpr int kCacheSlots = 8;
    static constexpr int kFileCount = 5;
    static constexpr int kStreamChannels = 16, kEffectChannels = 15;

    // files: where pictures are read from (their names are the game files'
    // normalised names); resources: the shared picture and sound caches;
    // sound: what the animation plays its sounds on (may be null).
    TImageLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr);
    virtual ~TImageLib();
    TImageLib(const TImageLib&) = delete;
    TImageLib& operator=(const TImageLib&) = delete;

    // ---- Virtual slots, in order ----
    virtual void UpdateHover();
    virtual void Reset();
    virtual void Update(uint32_t mask, int32_t elapsedMs);
    virtual void Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy);
    virtual void Show();
    virtual void Hide();
    virtual void Enable();
    virtual void Disable();
    virtual void SetMouse(uint32_t mask, int32_t x, int32_t y);
    virtual void RecordDeferred();
    virtual void ApplyDeferred();

    // ---- Loading ----
    // The main picture or animation and up to four further sources (which
    // replace the animation's pictures 0..3). A main name "rect,x1,y1,x2,y2,
    // colour" (any case) is a filled rectangle. False when the main file
    // cannot be found or read; the names are then cleared and nothing shows.
    bool Load(const std::string& main, const std::string& second = {}, bool useCache = false, bool force = false,
              const std::string& third = {}, const std::string& fourth = {}, const std::string& fifth = {});
    bool LoadRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
    const std::string& FileName(int i) const { return files_[static_cast<size_t>(i)]; }
    bool Loaded() const { return !files_[0].empty(); }

    // ---- Motion ----
    void MoveTo(int32_t x, int32_t y, int32_t layer, int32_t duration);
    void SetCurve(uint8_t type) { curve_ = type; }
    uint8_t Curve() const { return curve_; }
    void FadeTo(int32_t alpha, int32_t duration);
    void SetAnchor(int32_t horizontal, int32_t vertical) {
        anchorX_ = horizontal;
        anchorY_ = vertical;
    }
    int32_t AnchorX() const { return anchorX_; }
    int32_t AnchorY() const { return anchorY_; }
    void SetHoverRect(int32_t left, int32_t top, int32_t right, int32_t bottom) { hover_ = {left, top, right, bottom}; }
    void SetHitArea(int32_t a, int32_t b, int32_t c, int32_t d) { hitArea_ = {a, b, c, d}; }
    const std::array<int32_t, 4>& HitArea() const { return hitArea_; }
    void SetMasks(int32_t mouseMask, int32_t drawMask) {
        mouseMask_ = mouseMask;
        drawMask_ = drawMask;
    }
    int32_t MouseMask() const { return mouseMask_; }
    int32_t DrawMask() const { return drawMask_; }
    void SetButtonOffset(int32_t dx, int32_t dy) {
        buttonDx_ = dx;
        buttonDy_ = dy;
    }
    int32_t ButtonOffsetX() const { return buttonDx_; }
    int32_t ButtonOffsetY() const { return buttonDy_; }

    // ---- Labels (the animation's motions) ----
    void StartLabel(const std::string& name, bool restart);
    void StartLabelNumber(int32_t number, bool restart);
    int32_t LabelNumber() const;
    std::string LabelName() const;
    using TLabelChange = std::function<void(int32_t label)>;
    void SetLabelChangeCallback(TLabelChange callback) { onLabelChange_ = std::move(callback); }

    // ---- Where it is ----
    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }
    int32_t Layer() const { return layer_; }
    int32_t Alpha() const { return alpha_; }
    int32_t TargetAlpha() const { return fadeTarget_; }
    int32_t Width() const;
    int32_t Height() const;
    // The anchored left (top) edge, plus half the size for mode 1, plus the
    // size for mode 2.
    int32_t Left(int32_t mode) const;
    int32_t Top(int32_t mode) const;
    bool HitTest(int32_t x, int32_t y) const;
    // Where the pointer was last reported (SetMouse).
    int32_t MouseX() const { return mouseX_; }
    int32_t MouseY() const { return mouseY_; }
    bool Visible() const { return visible_; }
    bool Enabled() const { return enabled_; }

    // ---- Settings handed to the animation ----
    void SetStreamChannel(int32_t channel);
    void SetEffectChannel(int32_t channel);
    int32_t StreamChannel() const { return streamChannel_; }
    int32_t EffectChannel() const { return effectChannel_; }
    void SetAnimationSetting(int32_t volume);
    void SetSpeedPercent(int32_t percent);
    int32_t SpeedPercent() const { return speed_; }
    void SetPaused(bool on) { paused_ = on; }
    bool Paused() const { return paused_; }

    // ---- Values the object commands keep here ----
    std::array<int32_t, 4> userInts{};
    std::array<std::string, 4> userStrings;  // at most 63 bytes each

    TAnimationBmp& Animation() { return *anim_; }
    const TAnimationBmp& Animation() const { return *anim_; }

    void SaveState(TMemoryStream& s) const;
    // False (with the reason in why) when the record is damaged; the object
    // is then as it was.
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    struct TGlide {
        int32_t x = 0, y = 0, layer = 0;
    };
    bool OpenInto(int slot, const std::string& name, bool useCache, std::unique_ptr<TMemoryStream>& out);
    std::string AnimationKey(const std::string& name) const;
    void NewAnimation();
    void WriteBlock(uint8_t* b) const;

    IGameFiles* gameFiles_;
    TAnimationResources& resources_;
    IAnimationSound* sound_;
    std::unique_ptr<TAnimationBmp> anim_;

    std::array<std::string, kCacheSlots> cacheNames_;
    std::array<std::vector<uint8_t>, kCacheSlots> cacheData_;
    std::array<std::string, 6> deferred_;
    bool deferredEnabled_ = false;
    TLabelChange onLabelChange_;
    std::array<std::string, 16> frameNames_;

    bool visible_ = false, enabled_ = false, paused_ = false;
    int32_t volume_ = 255;
    int32_t x_ = 0, y_ = 0, layer_ = 0, alpha_ = 255;
    int32_t streamChannel_ = kStreamChannels - 2, effectChannel_ = kEffectChannels - 2;
    std::array<std::string, kFileCount> files_;
    std::array<int32_t, 4> hitArea_{};
    int32_t mouseX_ = -10000, mouseY_ = -10000;
    std::array<int32_t, 4> hover_{};
    TGlide glideFrom_, glideTo_;
    int32_t glideRemaining_ = 0, glideDuration_ = 0;
    int32_t fadeFrom_ = 255, fadeTarget_ = 255, fadeRemaining_ = 0, fadeDuration_ = 0;
    uint8_t curve_ = 1;
    int32_t anchorX_ = 0, anchorY_ = 0;
    int32_t mouseMask_ = 255, drawMask_ = 255;
    int32_t buttonDx_ = 0, buttonDy_ = 0;
    int32_t lastLabel_ = 0;
    int32_t speed_ = 100;
    std::array<uint8_t, 1652> tail_{};  // the block's last bytes, kept as read
};

}  // namespace zel
