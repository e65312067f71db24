// TMessageLib: the message window behind the script's "msg" objects (and the
// base of buttons). It is an image object that also owns a transparent text
// layer on which message text is typed character by character. Text arrives
// as Shift-JIS with bracketed control codes ("[n]", "[c,$ffff0000]",
// "[rb,漢字,かんじ]" ...) that move the pen, change size, colour, font, pitch,
// speed, wait, alignment and ruby. Lines wrap by the kinsoku rules of
// base/SjisText.h (a character that may not begin a line hangs once beyond
// the margin, spaces always hang, an opening quote at a line start is moved
// back by the hang offset); a full page waits for a click or scrolls. The
// window keeps what it was given since the last Clear (pending text, with
// the read position of the typing) so a saved game replays the page.
//
// It lives beside the animation player like TImageLib: a window with a main
// file shows its text through the animation's "*messurface" frames.
//
// Where the window leaves the engine, it goes through small interfaces that
// may be null: the font table draws (without one the layout still runs, with
// a full-width character as wide as its cell and a one-byte one half that),
// IMessageVoice plays the message's voice, IMessageLog takes finished
// messages, and the host answers the configured speed and auto-mode times.
//
// Saved state: the image object's state (anim/ImageLib.h), then the 668-byte
// window block (little-endian, offsets from its start), then the pending text
// and the log text, each as u16 length + bytes:
//     0 1 state     1 1 vertical     2 4 font slot     6 4 previous font slot
//    10 16 area left, top, right, bottom     26 8 pen x, y
//    34 8 pitch x, y    42 8 previous pitch    50 8 character w, h
//    58 8 previous character w, h            66 4 read position
//    70 4 colour   74 4 previous colour       78 8 ruby w, h
//    86 4 ruby colour   90 4 previous ruby colour   94 4 ruby font slot
//    98 8 ruby pitch x, y   106 8 ruby offset x, y   114 4 wait
//   118 128 character name (length byte + up to 127 bytes)
//   246 128 voice file name (same form)
//   374 4 voice volume   378 4 skip threshold   382 4 voice start
//   386 4 voice level    390 12 fade level, rate, step   402 4 hang offset
//   406 128 opening quotes (same form)   534 4 speed
//   538 1 scroll instead of waiting   539 1 counts for auto mode   540 128 zero
// LoadState checks everything before the window changes: name lengths above
// 127 read as 127, the read position is held to the pending text and to a
// character boundary, font slots outside 0..7 keep the reset slot, and an
// area larger than a picture may be is refused. The page is then replayed
// (ReplayText) and the pen put where it was saved. A pending text longer than
// the u16 length can hold is saved from its read position on (the typed part
// of the page is then not replayed).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "anim/ImageLib.h"
#include "graphics/ARGB8888Lib.h"

namespace zel {

class TFontTable;
struct TTextSize;

// What a message's voice needs to be played.
struct TMessageVoice {
    std::string file;         // normalised game file name
    std::string character;    // the speaker; selects the actor
    int32_t channel = 0;      // the window's stream channel
    int32_t volume = 255;     // the window's voice volume, 0..255
    int32_t skipThreshold = 0, start = 0, level = 0;
};

// The sound side of the message window. The implementation looks up the
// speaker's actor, honours its mute setting and the skip modes, and applies
// the actor's volume.
class IMessageVoice {
public:
    virtual ~IMessageVoice() = default;
    virtual void Stop(int32_t channel) = 0;
    virtual void Play(const TMessageVoice& voice) = 0;
    // A voice of this speaker still playing fades out over ms.
    virtual void FadeOut(const std::string& character, int32_t ms) = 0;
};

// A finished message for the message log.
struct TMessageLogEntry {
    std::string text, character, voice;
    int32_t volume = 255, skipThreshold = 0, start = 0, level = 0;
};

class IMessageLog {
public:
    virtual ~IMessageLog() = default;
    virtual void Add(const TMessageLogEntry& entry) = 0;
};

// What the windows of one script use of the engine; every part may be unset.
struct TMessageServices {
    TFontTable* fonts = nullptr;
    IMessageVoice* voice = nullptr;
    IMessageLog* log = nullptr;
    std::function<int32_t()> configuredSpeed;  // the player's message speed, ms per character
    std::function<int32_t()> autoCharTime;     // auto mode: per character and per page
    std::function<int32_t()> autoPageTime;
    std::function<void(int32_t)> addAutoWait;
};

class TMessageLib : public TImageLib {
public:
    static constexpr size_t kBlockSize = 668;
    static constexpr uint32_t kClearColour = 0x00888888;
    static constexpr int32_t kMaxLayerSide = 16384;

    enum : uint8_t { kIdle = 0, kTyping = 1, kPageFull = 2 };

    TMessageLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound = nullptr,
                const TMessageServices* services = nullptr);
    ~TMessageLib() override;

    // ---- Virtual slots ----
    void Reset() override;
    void Update(uint32_t mask, int32_t elapsedMs) override;
    void Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) override;
    void Show() override;
    void Hide() override;
    void Enable() override;
    void Disable() override;

    // ---- Text ----
    // Appends text (CR, CR LF and LF become "[n]"); speed 0 types it at once.
    void AddText(std::string_view text);
    // Appends "[" + lower-cased code + "]".
    void AddCode(std::string_view code);
    void SetPos(int32_t x, int32_t y);
    void SetSize(int32_t w, int32_t h);
    void SetColour(uint32_t colour);
    void SetPitch(int32_t x, int32_t y);
    void SetFont(int32_t slot);
    void SetSpeed(int32_t ms);
    void Wait(int32_t ms);  // nothing while typing instantly
    void SetRubyColour(uint32_t colour);
    void SetRubyFont(int32_t slot);
    void SetRubyPitch(int32_t x, int32_t y);
    void SetRubySize(int32_t w, int32_t h);
    void SetRubyOffset(int32_t x, int32_t y);

    void Clear();
    // Types one character; true when nothing was left to type.
    bool Step(bool force);
    void Finish();
    // The player's click: finishes the typing, or turns a full page.
    void Click(uint32_t mask);
    void Scroll();
    // Clears, then types the first count bytes of text instantly; the rest
    // stays pending.
    void ReplayText(const std::string& text, size_t count);
    // False (nothing changed) when the area is larger than a picture may be.
    bool SetArea(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void SetVertical(bool on);
    void SetHangOffset(int32_t v) { hangOffset_ = v; }
    void SetFadeTime(int32_t ms);
    void SetScrollMode(bool on) { scrollMode_ = on; }
    void SetAutoModeCount(bool on) { autoCount_ = on; }
    void SetDisabledCodes(const std::array<uint8_t, 3>& bits) { disabled_ = bits; }
    void SetPageBreaks(bool on) { pageBreaks_ = on; }
    void SetInstant(bool on) { instant_ = on; }
    void SetDefaultSpeed(int32_t ms) { defaultSpeed_ = ms; }
    void SetUseConfiguredSpeed(bool on) { useConfiguredSpeed_ = on; }
    void SetOpeningQuotes(std::string_view quotes);
    void SetCharacterName(std::string_view name);
    void SetVoiceVolume(int32_t v) { voiceVolume_ = v < 0 ? 0 : v > 255 ? 255 : v; }
    void SetVoiceSkip(int32_t v) { voiceSkip_ = v; }
    void SetVoiceStart(int32_t ms) { voiceStart_ = ms; }
    void SetVoiceLevel(int32_t v) { voiceLevel_ = v; }
    // For owners that lay rows out themselves (the backlog list): the text
    // colour (and the one "[c]" returns to), the character size and the pen
    // set at once rather than through codes, so that codes the window has
    // disabled do not hold them back.
    void SetColourNow(uint32_t colour) { colour_ = prevColour_ = colour; }
    void SetSizeNow(int32_t w, int32_t h) {
        charW_ = w;
        charH_ = h;
    }
    void MovePenBy(int32_t dx, int32_t dy);

    // ---- Voice and log ----
    void PlayVoice(const std::string& name, bool play);
    bool HasLogText() const;
    void HandToLog();

    // ---- What it is ----
    uint8_t State() const { return state_; }
    bool Vertical() const { return vertical_ != 0; }
    int32_t PenX() const { return penX_; }
    int32_t PenY() const { return penY_; }
    int32_t PitchX() const { return pitchX_; }
    int32_t PitchY() const { return pitchY_; }
    int32_t AreaTop() const { return areaTop_; }
    int32_t HangOffset() const { return hangOffset_; }
    bool ScrollMode() const { return scrollMode_; }
    bool AutoModeCount() const { return autoCount_; }
    const std::string& OpeningQuotes() const { return quotes_; }
    const std::string& CharacterName() const { return character_; }
    const std::string& VoiceFile() const { return voiceFile_; }
    const std::string& PendingText() const { return pending_; }
    size_t ReadPosition() const { return pendingPos_; }
    const std::string& LogText() const { return log_; }
    const TARGB8888& TextLayer() const { return layer_; }
    int32_t FadeLevel() const { return fadeLevel_; }
    int32_t WaitLeft() const { return wait_; }
    int32_t CharactersDrawn() const { return charsDrawn_; }
    bool Instant() const { return instant_; }
    // The effective ms per character.
    int32_t Speed() const;
    // Left, top, right, bottom of the drawn part of the text layer.
    std::array<int32_t, 4> UsedRect() const { return used_; }

    void SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s, std::string* why = nullptr);

private:
    struct TToken {
        size_t begin = 0, end = 0;  // in the queue it came from
        bool code = false, closed = false, side = false;
    };
    void ResetFields();
    bool NextToken(TToken& t) const;
    std::string_view TokenText(const TToken& t) const;
    void Advance(const TToken& t);
    void Rewind(const TToken& t);
    void QueueSide(std::string_view text);
    bool HasText() const;
    // Executes a code; returns false for a ruby code that must be read again.
    bool ExecuteCode(std::string_view code);
    bool TypeChar(std::string_view ch);
    bool DrawChar(std::string_view ch);
    bool Ruby(std::string_view base, std::string_view ruby);
    // The wrap and page-full tests for something of `bytes` bytes; true when
    // either fired (a new line, the page-full state or a scroll followed).
    bool Overflows(size_t bytes) const;
    bool PageFull();
    void NewLine(int32_t advance);
    TTextSize DrawGlyphs(std::string_view text, int32_t x, int32_t y, int32_t cw, int32_t ch, uint32_t colour,
                         int slot);
    void GrowUsed(int64_t left, int64_t top, int64_t right, int64_t bottom);
    int32_t AreaWidth() const { return areaW_; }
    int32_t AreaHeight() const { return areaH_; }
    bool AreaEmpty() const { return areaW_ == 0 || areaH_ == 0; }
    int32_t& Along() { return vertical_ ? penY_ : penX_; }
    int32_t AlongExtent() const { return vertical_ ? areaH_ : areaW_; }
    int32_t TextWidth(std::string_view text) const;
    void FadeBy(int64_t delta);
    void RequeueSettings();
    void WriteBlock(uint8_t* b) const;

    const TMessageServices* services_;
    TARGB8888 layer_;
    std::string pending_;
    size_t pendingPos_ = 0;
    std::string side_;
    size_t sidePos_ = 0;
    std::string log_;
    uint8_t state_ = kIdle;
    uint8_t vertical_ = 0;
    int32_t font_ = 0, prevFont_ = 0;
    int32_t areaLeft_ = 0, areaTop_ = 0, areaRight_ = 0, areaBottom_ = 0, areaW_ = 0, areaH_ = 0;
    int32_t penX_ = 0, penY_ = 0;
    int32_t pitchX_ = 0, pitchY_ = 0, prevPitchX_ = 0, prevPitchY_ = 0;
    int32_t charW_ = 32, charH_ = 32, prevCharW_ = 32, prevCharH_ = 32;
    uint32_t colour_ = 0xFFFFFFFF, prevColour_ = 0xFFFFFFFF;
    int32_t rubyW_ = 12, rubyH_ = 12;
    uint32_t rubyColour_ = 0xFFFFFFFF, prevRubyColour_ = 0xFFFFFFFF;
    int32_t rubyFont_ = 7;
    int32_t rubyPitchX_ = 0, rubyPitchY_ = 0, rubyOffX_ = 0, rubyOffY_ = -8;
    int32_t wait_ = 0;
    int32_t speed_ = -1, defaultSpeed_ = 50;
    bool useConfiguredSpeed_ = false;
    int32_t accumulator_ = 0;
    int32_t limit_ = 0, sinceLimit_ = 0;
    int32_t lineHeight_ = 0;
    int32_t charsDrawn_ = 0, charsOnLine_ = 0, hangCount_ = 0;
    std::array<int32_t, 4> used_{1000, 1000, 0, 0};
    int32_t fadeLevel_ = 0, fadeRate_ = 0, fadeStep_ = 1024000;
    int32_t hangOffset_ = 0;
    std::string quotes_;
    bool pageBreaks_ = true, instant_ = false, scrollMode_ = false, autoCount_ = false;
    bool loading_ = false;
    std::array<uint8_t, 3> disabled_{};
    std::string character_, voiceFile_;
    int32_t voiceVolume_ = 255, voiceSkip_ = 0, voiceStart_ = 0, voiceLevel_ = 0;
};

}  // namespace zel
