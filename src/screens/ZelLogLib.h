// The backlog screen's layout and behaviour: which entries of the message
// log it shows, how the player scrolls, closes and replays a voice.
//
// Layout file: lines name=value (names compared without regard to case; a
// missing name reads as empty). Integers are decimal or "$" hexadecimal;
// colours are read in 64 bits and keep the low 32 (ARGB); a value that is
// not a number takes its default. A list value is split at "," with empty
// fields dropped, missing fields taking their defaults. The keys read here:
//   DivideNameText, DivideNameIndex (0), DivideNameFormat   the name line
//   DefaultViewCount (4, at least 1)   entries shown when the screen opens
//   BeginMuteTime (0 ms)    input is ignored this long after opening
//   EmptyText               the one row of an empty log
//   BGColor (0)             tint over the captured game screen
//   BGImage, VoiceIconImage, scrollbar.button.filename,
//   scrollbar.bar.filename  pictures, relative to "System\Log\"
//   WheelDownReturnGame     "1": scrolling down at the bottom closes
//   BorderLineColor (0), msg.SelectColor ($88FFFFFF), msg.Space (0)
//   msg.position (0,0), msg.HitSize and msg.TextSize (0,0,600,800)
//   Font.Size (24,24), Font.Pitch (0,0), Font.FontNo (0), Font.ReturnSpace (0)
//   Ruby.Position (0,0), Ruby.Pitch (0,0), Ruby.Size (24,24), Ruby.FontNo (0)
//   scrollbar.type (0 horizontal, 1 vertical), ScrollBar.Position (0,0,0: x, y, layer)
//   CharctorImagePosition, VoiceIconImagePosition (0,0)
//   LockColor, LockSize, LockFontNo, LockPitch ("true" in any case: on)
//   no[0] .. no[31]         name styles: row colour (0), text colour (-1),
//                           an unused number, a speaker picture
//                           ("system\log\" + field), then the names ("*"
//                           matches every name); "//" ends the value
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TZelLogData;

struct TLogRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct TLogNameStyle {
    uint32_t rowColour = 0;
    uint32_t textColour = 0xFFFFFFFFu;
    std::string picture;  // game file name, empty for none
    std::vector<std::string> names;
};

struct TLogLayout {
    std::string divideNameText, divideNameFormat, emptyText;
    int32_t divideNameIndex = 0;
    int32_t defaultViewCount = 4;
    int32_t beginMuteTime = 0;
    uint32_t bgColour = 0, borderLineColour = 0, selectColour = 0x88FFFFFFu;
    std::string bgImage, voiceIcon, scrollKnob, scrollTrack;
    bool wheelDownReturnsGame = false;
    bool lockColour = false, lockSize = false, lockFont = false, lockPitch = false;
    int32_t listX = 0, listY = 0, space = 0;
    TLogRect hitArea{0, 0, 600, 800}, textArea{0, 0, 600, 800};
    int32_t fontWidth = 24, fontHeight = 24, pitchX = 0, pitchY = 0, fontNo = 0, returnSpace = 0;
    int32_t rubyX = 0, rubyY = 0, rubyPitchX = 0, rubyPitchY = 0, rubyWidth = 24, rubyHeight = 24, rubyFontNo = 0;
    int32_t pictureX = 0, pictureY = 0, iconX = 0, iconY = 0;
    bool scrollVertical = false;
    int32_t scrollX = 0, scrollY = 0, scrollLayer = 0;
    std::array<TLogNameStyle, 32> styles;

    // Reads the layout text; every value missing or unreadable keeps its default.
    static TLogLayout Parse(std::string_view text);
    // The style (0..31) of a speaker: 31 for an empty name, else the first
    // style whose names hold it without regard to case, or "*"; 31 when none does.
    int32_t StyleOfName(std::string_view name) const;
    // The line put before an entry's text: the name split at the separator
    // (the part at the index when there is one, else the whole name) put into
    // the format's "%%%name", the style's text colour into "%%%actcolor"
    // ("$" and 8 upper-case hexadecimal digits); empty when the shown name is.
    std::string NameLine(std::string_view name, uint32_t textColour) const;
};

// One voice replay: the entry's voice on the last stream channel at the
// entry's volume scaled by its speaker's actor volume.
struct TLogVoice {
    static constexpr int32_t kChannel = 15;
    std::string file;
    int32_t volume = 255, seek = 0, threshold = 0, gain = 0;
};

// What the player did in one frame, in the input device's terms.
struct TLogInput {
    int32_t x = 0, y = 0;
    bool leftReleased = false, rightReleased = false;
    int32_t wheel = 0;  // > 0 up, < 0 down
    std::vector<int32_t> keysPressed;  // virtual-key codes
    bool leftHeld = false;  // drags the scroll bar's knob
};

// The screen's widgets as the behaviour drives them: the list of rows and
// the scroll bar (screens/ZelLogView.h draws them).
class ILogWidgets {
public:
    virtual ~ILogWidgets() = default;
    // The pointer and the left button, every unmuted frame: the row under
    // the pointer lights up, a held button drags the knob.
    virtual void Pointer(int32_t x, int32_t y, bool leftHeld) = 0;
    // A left click at the pointer: the entries of the rows it picked, in row order.
    virtual std::vector<int32_t> ClickRows() = 0;
    // The same click on the scroll bar's track.
    virtual void ClickBar(int32_t x, int32_t y) = 0;
    // After every scroll, also one the clamp made no change: the rows are
    // typed again from this value.
    virtual void Rescroll(int32_t value) = 0;
};

class TZelLog {
public:
    struct TServices {
        // Plays a replayed voice; fades the voice channel out on close.
        std::function<void(const TLogVoice&)> playVoice;
        std::function<void(int32_t ms)> fadeVoice;
        // The actors' voice-name lists and volumes (0..255).
        std::function<int32_t(std::string_view speaker)> actorVolume;
    };

    TZelLog(const TZelLogData& log, TServices services) : log_(log), services_(std::move(services)) {}

    void SetLayout(TLogLayout layout) { layout_ = std::move(layout); }
    const TLogLayout& Layout() const { return layout_; }

    // Opens at the bottom of the log: the newest DefaultViewCount entries
    // are the last rows; input is muted for BeginMuteTime.
    void Open();
    // One frame while open: -1 once the player asked to close (the frame
    // after the request, and only when the mute time has run out), else 0.
    int32_t Step(int32_t elapsedMs, const TLogInput& input);
    void Close();
    bool IsOpen() const { return open_; }

    // The number of older entries above the first row, 0..ScrollMaximum.
    int32_t ScrollValue() const { return value_; }
    int32_t ScrollMaximum() const { return maximum_; }
    // Clamped to 0..ScrollMaximum; the widgets hear of it.
    void SetScrollValue(int32_t v);
    // The entries of the rows from the top (older) down (newer), at most rows of them.
    std::vector<int32_t> VisibleEntries(int32_t rows) const;
    // The list and scroll bar that clicks and scrolls reach (not owned; may be null).
    void SetWidgets(ILogWidgets* widgets) { widgets_ = widgets; }
    void ReplayVoice(int32_t entry);

private:
    bool AtBottom() const { return layout_.wheelDownReturnsGame && value_ == maximum_; }
    void Down(int32_t by);

    const TZelLogData& log_;
    TServices services_;
    TLogLayout layout_;
    ILogWidgets* widgets_ = nullptr;
    bool open_ = false, closeRequested_ = false;
    int32_t muteMs_ = 0, value_ = 0, maximum_ = 1;
};

}  // namespace zel
