#include "shell/InputScript.h"

#include <algorithm>
#include <charconv>

#include "base/Sjis.h"
#include "shell/SdlInput.h"
#include "shell/uInputDevice.h"

namespace zel {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) w.push_back(line.substr(start, i - start));
    }
    return w;
}

bool Int(std::string_view s, int32_t& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data() + (!s.empty() && s[0] == '+'), end, out);
    return ec == std::errc() && p == end;
}

}  // namespace

bool ParseInputScript(std::string_view script, std::vector<TInputEvent>& out, std::string& error) {
    std::vector<TInputEvent> events;
    size_t lineNo = 0;
    for (size_t pos = 0; pos <= script.size();) {
        size_t eol = script.find('\n', pos);
        if (eol == std::string_view::npos) eol = script.size();
        std::string_view line = script.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string_view> w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNo) + ": " + why + " (\"" + std::string(line) + "\")";
            return false;
        };
        int32_t frame = 0;
        if (!Int(w[0], frame) || frame < 1) return fail("the frame must be a number from 1");
        if (w.size() < 2) return fail("an event kind must follow the frame");
        const std::string_view kind = w[1];
        const size_t args = w.size() - 2;
        auto need = [&](size_t n) { return args == n; };
        auto push = [&](TInputEvent::Kind k, int32_t a, int32_t b, int32_t at) {
            TInputEvent e;
            e.frame = at;
            e.kind = k;
            e.a = a;
            e.b = b;
            events.push_back(std::move(e));
        };
        auto slot = [&](std::string_view s, int32_t& v) { return Int(s, v) && v >= 1 && v < TLiveInput::kSlots; };
        int32_t x = 0, y = 0, code = 0;
        if (kind == "move" || kind == "click") {
            if (!need(2) || !Int(w[2], x) || !Int(w[3], y)) return fail(std::string(kind) + " wants X Y");
            push(TInputEvent::Move, x, y, frame);
            if (kind == "click") {
                push(TInputEvent::Down, 1, 0, frame);
                push(TInputEvent::Up, 1, 0, frame + 1);
            }
        } else if (kind == "down" || kind == "up") {
            if (!need(1) || (w[2] != "left" && w[2] != "right")) return fail(std::string(kind) + " wants left or right");
            push(kind == "down" ? TInputEvent::Down : TInputEvent::Up, w[2] == "left" ? 1 : 2, 0, frame);
        } else if (kind == "key" || kind == "keydown" || kind == "keyup") {
            if (!need(1) || !slot(w[2], code)) return fail(std::string(kind) + " wants a virtual-key code 1..271");
            if (kind != "keyup") push(TInputEvent::Down, code, 0, frame);
            if (kind != "keydown") push(TInputEvent::Up, code, 0, kind == "key" ? frame + 1 : frame);
        } else if (kind == "wheel") {
            if (!need(1) || !Int(w[2], x) || x == 0) return fail("wheel wants a step count other than 0");
            push(TInputEvent::Wheel, x, 0, frame);
        } else if (kind == "pad") {
            if (!need(1) || !(code = VirtualKeyOfPadName(w[2]))) return fail("pad wants a, b, start, up, down, left or right");
            push(TInputEvent::Down, code, 0, frame);
            push(TInputEvent::Up, code, 0, frame + 1);
        } else if (kind == "text") {
            const size_t at = line.find(kind, line.find(w[0]) + w[0].size()) + kind.size();
            std::string_view text = line.substr(at);
            while (!text.empty() && (text[0] == ' ' || text[0] == '\t')) text.remove_prefix(1);
            if (text.empty()) return fail("text wants the committed text");
            std::string sjis;
            if (!Utf8ToSjis(text, sjis)) return fail("the text is not UTF-8 that Shift-JIS can hold");
            TInputEvent e;
            e.frame = frame;
            e.kind = TInputEvent::Text;
            e.text = std::string(text);
            events.push_back(std::move(e));
        } else {
            return fail("unknown event \"" + std::string(kind) + "\"");
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TInputEvent& a, const TInputEvent& b) { return a.frame < b.frame; });
    out = std::move(events);
    return true;
}

void TInputReplay::Deliver(int32_t frame, TLiveInput& live) {
    for (; next_ < events_.size() && events_[next_].frame <= frame; ++next_) {
        const TInputEvent& e = events_[next_];
        switch (e.kind) {
            case TInputEvent::Move: live.MoveTo(e.a, e.b); break;
            case TInputEvent::Down: live.KeyDown(e.a); break;
            case TInputEvent::Up: live.KeyUp(e.a); break;
            case TInputEvent::Wheel: live.wheel += e.a; break;
            case TInputEvent::Text:
                if (onText) onText(e.text);
                break;
        }
    }
}

}  // namespace zel
