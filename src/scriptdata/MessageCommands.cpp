#include "scriptdata/MessageCommands.h"

#include <cstdio>

#include "base/Sjis.h"
#include "scriptdata/ButtonCommands.h"
#include "scriptdata/ImageCommands.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

namespace {

constexpr uint8_t kKindReplace = 15;

// A raw text argument: "{...}" gives what is between the brace and its
// matching closing brace, anything else is taken as written.
std::string RawText(std::string_view s) {
    if (s.empty() || s[0] != '{') return std::string(s);
    int depth = 0;
    for (size_t i = 0; i < s.size(); i = NextCharPos(s, i)) {
        if (CharLen(s, i) != 1) continue;
        if (s[i] == '{') ++depth;
        else if (s[i] == '}' && --depth == 0) return std::string(s.substr(1, i - 1));
    }
    return std::string(s.substr(1));
}

// The text of "t": the fields after the word, joined again at the commas the
// dispatcher split them at (trailing empty fields are its padding).
std::string TextArgument(ICommandContext& c) {
    size_t last = c.FieldCount();
    while (last > 1 && c.FieldEmpty(last - 1)) --last;
    std::string text;
    for (size_t i = 1; i < last; ++i) {
        if (i > 1) text += ',';
        text += c.Field(i);
    }
    return text;
}

std::string Printf(const char* fmt, int32_t a, int32_t b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

}  // namespace

std::string TMessageObjectPayload::DescribeState() const {
    return "message state " + std::to_string(window.State()) + " pen " + std::to_string(window.PenX()) + "," +
           std::to_string(window.PenY()) + (window.Visible() ? " shown" : " hidden");
}

bool MessageCommand(ICommandContext& c, TMessageLib& w, std::array<std::string, 16>* filters,
                    TZelObjectManager* objects) {
    if (ImageCommand(c, w, filters, objects)) return true;
    auto n = [&](size_t i) { return c.IntArg(i); };
    auto query = [&](std::initializer_list<int32_t> ints) {
        c.ClearResults();
        int32_t i = 0;
        for (int32_t v : ints) c.SetResultInt(v, i++);
    };
    switch (c.Code()) {
        case Cmd("t"): {
            const std::string text = TextArgument(c);
            w.AddText(!text.empty() && text[0] == '{' ? RawText(text) : text);
            return true;
        }
        case Cmd("o"): {
            const TReturnValue v = c.Evaluate(c.Field(1));
            if (v.Kind == rkToken) c.ReportError(Sj("\\o：不正な値が入力されました：") + std::string(c.Field(1)));
            if (v.Kind == rkInteger) w.AddText(std::to_string(v.IntValue));
            else if (v.Kind == rkString) w.AddText(v.Text);
            return true;
        }
        case Cmd("n"): w.AddText(Printf("[n,%d]", n(1))); return true;
        case Cmd("oc"): w.AddText(Printf("[c,$%x]", n(1))); return true;
        case Cmd("orc"): w.AddText(Printf("[rc,$%x]", n(1))); return true;
        case Cmd("tp"): w.AddText(Printf("[p,%d,%d]", n(1), n(2))); return true;
        case Cmd("orb"): w.AddText("[rb," + c.StrArg(1) + "," + c.StrArg(2) + "]"); return true;
        case Cmd("opc"): w.AddText("[pc," + c.StrArg(1) + "]"); return true;
        case Cmd("opr"): w.AddText("[pr," + c.StrArg(1) + "]"); return true;
        case Cmd("w"): w.Wait(n(1)); return true;
        case Cmd("cc"): w.Clear(); return true;
        case Cmd("mc"): w.Click(0xFFFFFFFFu); return true;
        case Cmd("ac"): w.SetCharacterName(c.StrArg(1)); return true;
        case Cmd("wf"): {
            const std::string given = c.StrArg(1);
            const std::string resolved = given.empty() ? std::string() : c.ResolvePath(given, true);
            w.PlayVoice(resolved.empty() ? given : resolved, c.FieldEmpty(2) || n(2) == 1);
            c.SkipTimeOnce();
            return true;
        }
        case Cmd("lg"): w.HandToLog(); return true;
        case Cmd("ts"):
            if (!w.SetArea(n(1), n(2), n(3), n(4)))
                c.ReportError("\\ts: a text area of " + std::to_string(int64_t{n(3)} - n(1)) + " x " +
                              std::to_string(int64_t{n(4)} - n(2)) + " is larger than any picture may be");
            return true;
        case Cmd("ls"): w.SetVertical((n(1) & 0xFF) != 0); return true;
        case Cmd("ns"): w.SetHangOffset(n(1)); return true;
        case Cmd("nsw"): w.SetOpeningQuotes(c.StrArg(1)); return true;
        case Cmd("sk"): w.SetVoiceStart(n(1)); return true;
        case Cmd("sv"): w.SetVoiceSkip(n(1)); return true;
        case Cmd("wv"): w.SetVoiceVolume(n(1)); return true;
        case Cmd("as"): w.SetScrollMode(n(1) == 1); return true;
        case Cmd("ap"): w.SetAutoModeCount(n(1) == 1); return true;
        case Cmd("agc"): w.SetVoiceLevel(n(1)); return true;
        case Cmd("bg"): return true;
        case Cmd("gt"): c.SetResultInt(w.HasLogText() ? 1 : 0); return true;
        case Cmd("?mc"): query({w.State()}); return true;
        case Cmd("?as"): query({w.ScrollMode() ? 1 : 0}); return true;
        case Cmd("?ap"): query({w.AutoModeCount() ? 1 : 0}); return true;
        case Cmd("?ns"): query({w.HangOffset()}); return true;
        case Cmd("?tp"): query({w.PenX(), w.PenY()}); return true;
        case Cmd("?nsw"):
            c.ClearResults();
            c.SetResultStr(w.OpeningQuotes());
            return true;
        default: return false;
    }
}

void RegisterMessageKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                          IAnimationSound* sound, const TMessageServices* services) {
    objects.SetPayloadFactory(kKindMessage, [files, &resources, sound, services](uint8_t, std::string_view) {
        return std::make_unique<TMessageObjectPayload>(files, resources, sound, services);
    });
    objects.Handlers().Register(kKindMessage, [&objects](ICommandContext& c, std::string_view name) {
        TZelObjectDataCustom* o = objects.Find(name);
        auto* p = o ? dynamic_cast<TMessageObjectPayload*>(o->Payload()) : nullptr;
        return p && MessageCommand(c, p->window, &p->filters, &objects);
    });
    // Buttons are message windows that take clicks.
    RegisterButtonKinds(objects, files, resources, sound, services);
}

void RegisterTextLineWords(TObjectCommandRegistry& registry, TTextLineHooks hooks) {
    registry.Register(kKindReplace, [hooks = std::move(hooks)](ICommandContext& c, std::string_view) {
        // A text that begins with "{" is taken raw, any other is evaluated.
        auto text = [&]() { return !c.FieldEmpty(1) && c.Field(1)[0] == '{' ? RawText(c.Field(1)) : c.StrArg(1); };
        switch (c.Code()) {
            case Cmd("et"):
                if (hooks.setPrefix) hooks.setPrefix(c, text());
                return true;
            case Cmd("nt"):
                if (hooks.setEmptyLine) hooks.setEmptyLine(c, text());
                return true;
            default: return false;
        }
    });
}

}  // namespace zel
