// The headless runner's input script: one event a line, "FRAME KIND ARGS",
// replayed into the same live input state that SDL events fill in a window.
//
//   move X Y        the pointer to game pixel (X, Y)
//   down left|right / up left|right   a mouse button pressed / let go
//   click X Y       move, then the left button pressed in frame F and let
//                   go before frame F + 1 (a click binding, which answers
//                   the release, fires in frame F + 1)
//   key CODE        the virtual key CODE (1..271) pressed in frame F and let
//                   go before frame F + 1
//   keydown CODE / keyup CODE          the key pressed / let go
//   wheel N         N wheel steps (positive away from the player)
//   pad BUTTON      a game-pad button pressed in frame F, let go before F + 1:
//                   a, b, start, up, down, left, right (or any SDL pad name)
//   text UTF8       text an IME commits (the rest of the line)
//   # ...           a comment; blank lines are skipped
// Frames count from 1; the events of frame F are delivered before its tick.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct TLiveInput;

struct TInputEvent {
    enum Kind : uint8_t { Move, Down, Up, Wheel, Text };
    int32_t frame = 0;
    Kind kind = Move;
    int32_t a = 0, b = 0;  // x, y for Move; slot for Down and Up; steps for Wheel
    std::string text;
};

// Parses the whole script; on a bad line returns false with an error that
// names the line ("line 3: ..."). Taps become a Down in frame F and an Up
// in frame F + 1. Events come out ordered by frame, in file order within one.
bool ParseInputScript(std::string_view script, std::vector<TInputEvent>& out, std::string& error);

class TInputReplay {
public:
    explicit TInputReplay(std::vector<TInputEvent> events) : events_(std::move(events)) {}
    // Delivers every event of frames up to and including `frame` not yet
    // delivered. Committed text goes to onText.
    void Deliver(int32_t frame, TLiveInput& live);
    std::function<void(const std::string& utf8)> onText;
    int32_t LastFrame() const { return events_.empty() ? 0 : events_.back().frame; }

private:
    std::vector<TInputEvent> events_;
    size_t next_ = 0;
};

}  // namespace zel
