// TAnimationBmp: the player of ABMP keyframe animations, and of single
// pictures through the same interface.
//
// An animation holds named motions; a motion is a list of layers, each with
// 32 keys. Every layer has its own clock. Advance moves the clocks in steps
// of at most 50 ms and carries out the key actions met on the way (waits,
// jumps, loops while the followed voice is loud, sounds, motion switches);
// Draw turns every layer into a cell for the cell drawer, and the hit pass
// that ends every Advance collects the layers' hit areas.
//
// Key actions (argument 1 = a1 ...): 1 jump to key a1, keeping the time past
// the key; 2 the motion starts here (SetMotion); 3 wait a random time below
// a1 s; 4 jump to key a1 while the voice level is above a2 (32 when 0);
// 5 switch to motion a1; 6 wait a1 s; 7 every layer to its end; 8 play sound
// a1 at volume a2 (0 = 255), looped when a3 is not 0; 9 wait a random time
// below a1 x 10 ms; 10 wait a1 x 10 ms; 11 stop the sound; 12 every layer to
// a1 s; 13 every layer to this layer's time. Actions 1, 4 and 7 act at every
// step, the others only when their key is entered (or the motion changed).
// A key or motion number past the last one, and a sound number past the
// last sound, make the action do nothing.
//
// Groups: a layer of group mode 1 pushes its state, combined with the
// enclosing group's, onto the key stack, and a layer of mode 2 pops it;
// layers in between are offset, tinted and faded by the top of the stack.
// Combining adds positions, drawing layers, angles and source offsets, adds
// the added colours (per channel, saturating), multiplies the base colours
// per channel (x * y / 255) and multiplies the opacities. At most 31 groups
// nest; deeper pushes are counted and their pops consume the count, so the
// groups around them stay paired. A pop of an empty stack and a layer with
// an empty stack are left as they are.
//
// Not yet played: motion movies (".m" files and embedded movie pictures are
// refused with an error), and picture effects, which are parsed and kept in
// a bounded form (ImageEffects.h) until the image filters exist. Sounds go
// through IAnimationSound; without one the animation is silent.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anim/AnimationBmpModel.h"
#include "anim/ImageEffects.h"
#include "graphics/uARGB8888Manager.h"
#include "sound/uWaveDataManager.h"

namespace zel {

class TARGB8888CellDraw;
class TMemoryStream;

// The process-wide caches the animations decode through. The engine makes
// one at start-up and sets the budgets from the configuration's CacheSize.
struct TAnimationResources {
    TARGB8888Manager images;
    TWaveDataManager waves;
    void SetCacheSize(int64_t cacheSize) {
        const TCacheBudgets b = CacheBudgetsFor(cacheSize);
        images.SetBudget(b.images);
        waves.SetBudget(b.waves);
    }
};

// The sound channel an animation plays on and the voice it follows.
class IAnimationSound {
public:
    virtual ~IAnimationSound() = default;
    // Plays 44.1 kHz s16 stereo PCM from its start on the animation's effect
    // channel (replacing what it played); volume 0..255.
    virtual void PlayEffect(const std::string& name, const std::vector<uint8_t>& pcm, int32_t volume, bool loop) = 0;
    virtual void StopEffect() = 0;
    // Level 0..255 of the voice the animation follows (lip-sync loops).
    virtual int32_t VoiceLevel() = 0;
};

// What interpolation makes of one layer at one moment.
struct TABMPCellState {
    uint8_t kind = 0;
    uint8_t blend = 2;  // the cell's blend mode (key blend 1..6 + 2, else 2)
    uint8_t image = 0, image2 = 0;
    int32_t srcLeft = 0, srcTop = 0, srcRight = 0, srcBottom = 0;
    int32_t frame = 0, param = 0;
    int32_t x = 0, y = 0, right = 0, bottom = 0;  // kind 4: right, bottom = scales (4096 = 1.0)
    int32_t layer = 0;
    int32_t angle = 0;  // 1/4096 turns
    uint32_t addColour = 0, baseColour = 0xFFFFFF;
    int32_t opacity = 255;
    std::array<uint8_t, 5> action{};
};

struct THitArea {
    int32_t x = 0, y = 0, right = 0, bottom = 0, number = 0;
};

class TAnimationBmp {
public:
    static constexpr int kMaxLayers = 256;
    static constexpr int kStepMs = 50;
    static constexpr int kMaxStack = 31;

    // resources: the caches (required); sound: may be null (silent).
    TAnimationBmp(TAnimationResources& resources, IAnimationSound* sound, bool keepRawData = false);
    ~TAnimationBmp();
    TAnimationBmp(const TAnimationBmp&) = delete;
    TAnimationBmp& operator=(const TAnimationBmp&) = delete;

    // By the lower-cased extension of name: ".b" (versions 11, 10, then 7),
    // or ".bmp", ".jpg", ".png", ".argb" for a one-picture animation. False,
    // with LastError() saying why, for anything else or a damaged file; the
    // animation is then as it was.
    bool LoadFromStream(TMemoryStream& stream, const std::string& name);
    const std::string& LastError() const { return lastError_; }
    int Version() const { return version_; }
    const std::string& Name() const { return name_; }

    void SetMotion(int index);
    int CurrentMotion() const { return motion_; }
    int MotionCount() const { return static_cast<int>(data_.motions.size()); }
    int FindMotion(const std::string& name) const;
    std::string MotionName(int index) const;

    void Advance(int32_t ms);
    void Draw(TARGB8888CellDraw& drawer, int32_t x, int32_t y, int32_t opacity, int32_t layerOffset);
    bool HitTest(int32_t x, int32_t y) const;
    void PushHit(int32_t x, int32_t y, int32_t right, int32_t bottom, int32_t number);
    const std::vector<THitArea>& HitAreas() const { return hits_; }
    bool Finished() const;

    // A layer outside 0..255 means every layer.
    void SetTime(int layer, double ms);
    void SetWait(int layer, double ms);
    double LayerTime(int layer) const;
    double LayerWait(int layer) const;

    void SetSpeed(float factor) { speed_ = factor; }
    float Speed() const { return speed_; }
    void SetVolume(int32_t v) { volume_ = v < 0 ? 0 : v > 255 ? 255 : v; }
    int32_t Volume() const { return volume_; }
    int32_t VoiceLevel() const;
    void SetEditMode(bool on) { edit_ = on; }
    // The message window's picture and opacity, for the "*messurface",
    // "*message" and "*mesalpha" hooks.
    void SetMessageSurface(const TARGB8888* surface) { messageSurface_ = surface; }
    void SetMessageOpacity(int32_t opacity) { messageOpacity_ = opacity; }

    int ImageCount() const { return static_cast<int>(images_.size()); }
    // The picture a cell of image number i draws (nullptr when none).
    const TARGB8888* Picture(int index) const;
    // Picture i from a picture file; false (picture unchanged) when it does not load.
    bool ReplaceImage(int index, TMemoryStream& stream, const std::string& name);
    // Picture i becomes a copy of the given picture, held outside the cache.
    void SetImage(int index, const TARGB8888& picture);
    void SetImageEffects(int index, const std::string& text);
    const std::vector<TImageEffect>& ImageEffects(int index) const;

    void MakeRectangleMotion(uint32_t colour, uint8_t blend, int32_t x, int32_t y, int32_t right, int32_t bottom);

    int32_t CanvasWidth() const { return data_.width; }
    int32_t CanvasHeight() const { return data_.height; }
    int32_t TotalTime() const { return data_.totalTime; }
    const std::string& Memo() const { return data_.memo; }
    // The stored model (pictures and sounds hold their bytes only with keepRawData).
    const TABMPFile& Model() const { return data_; }

    // The cell state of a layer of the current motion at its time, and its
    // current key (-1 before key 0 or for no such layer).
    int CellState(int layer, TABMPCellState& out);

private:
    struct TImageSlot {
        std::string name;
        uint8_t format = 0;
        TImageHandle cached;
        std::unique_ptr<TARGB8888> own;
        std::string effectText;
        std::vector<TImageEffect> effects;
        const TARGB8888* Get() const { return own ? own.get() : cached.Get(); }
    };
    struct TSoundSlot {
        std::string name;
        uint8_t format = 0;
        TWaveHandle pcm;
    };
    struct TLayerClock {
        double time = 0;
        double wait = 0;
        int key = -1;
    };

    void Adopt(TABMPFile&& file, const std::string& baseName);
    bool LoadSinglePicture(TMemoryStream& stream, const std::string& name, const std::string& ext);
    void ResetClocks();
    void Step(double ms);
    void RunActions();
    void CellPass(TARGB8888CellDraw* drawer, int32_t x, int32_t y, int32_t opacity, int32_t layerOffset);
    void Emit(TARGB8888CellDraw* drawer, const TABMPLayer& layer, TABMPCellState& c);
    void PlaySound(int index, int volume, bool loop);
    std::string FullName(const char* node, const std::string& name) const;

    TAnimationResources& res_;
    IAnimationSound* sound_;
    bool keepRaw_;
    std::string lastError_;
    std::string name_ = "none";
    int version_ = 0;
    TABMPFile data_;
    std::vector<TImageSlot> images_;
    std::vector<TSoundSlot> sounds_;
    int motion_ = 0;
    int previousMotion_ = -1;
    std::array<TLayerClock, kMaxLayers> clocks_{};
    float speed_ = 1.0f;
    int32_t volume_ = 255;
    const TARGB8888* messageSurface_ = nullptr;
    int32_t messageOpacity_ = 255;
    bool edit_ = false;
    // The key stack of the cell pass.
    std::array<TABMPCellState, kMaxStack> stack_{};
    int stackSize_ = 0;
    int stackOverflow_ = 0;
    std::vector<THitArea> hits_;
};

// The current key of a layer at time t: the last key whose time is at most
// t rounded to the nearest integer; -1 before key 0.
int KeyIndexAt(const TABMPLayer& layer, double t);

// Interpolation of one value between keys P, A (the current key), B and Q
// by an interpolation mode (0 hold, 1 linear, 2 B-spline, 3 ease-out,
// 4 ease-in, 5 Hermite, 6 shake, other modes hold); f in 0..1. Mode 6 adds
// its shake only with `shake`, and is ease-out otherwise. Not rounded.
double InterpolateKeyValue(int mode, double p, double a, double b, double q, double f, bool shake);
// Source rectangle and destination stepping of mode 7: a moves toward b in
// whole cells of size `cell`.
int32_t CellStep(int32_t a, int32_t b, int32_t cell, double f);

}  // namespace zel
