#include "scriptdata/SystemCommands.h"

#include "anim/ImageLib.h"
#include "base/SjisText.h"
#include "scriptdata/ImageCommands.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/uZelObjectData.h"

namespace zel {

namespace {

constexpr uint8_t kKindScreenCursor = 11, kKindCursor = 12, kKindSystemKey = 31;
constexpr uint32_t kAllLocks = 0x0FFFFFFF, kAllLayers = 0xFFFFFF;

// Request codes of the request words (the shell's SystemRequest numbers).
int32_t RequestOf(int32_t code) {
    switch (code) {
        case Cmd("e"): return 1;
        case Cmd("ee"): return 2;
        case Cmd("m"): return 3;
        case Cmd("h"): return 4;
        case Cmd("rr"): return 7;
        case Cmd("s"): return 9;
        case Cmd("l"): return 10;
        case Cmd("c"): return 11;
        case Cmd("qs"): return 16;
        case Cmd("ql"): return 17;
        case Cmd("rsr"): return 21;
        case Cmd("fm"): return 24;
        default: return 0;
    }
}

int LayoutSlot(int32_t code) {
    switch (code) {
        case Cmd("lf"): return 0;
        case Cmd("sf"): return 1;
        case Cmd("mf"): return 2;
        default: return 3;
    }
}

void IntResult(ICommandContext& c, int32_t v) {
    c.ClearResults();
    c.SetResultInt(v);
}

bool SystemCommand(ICommandContext& c, ISystemObjectHost& h) {
    const int32_t code = c.Code();
    if (const int32_t request = RequestOf(code)) {
        // "e" and "fm" take no label.
        const bool labelled = code != Cmd("e") && code != Cmd("fm");
        h.SetRequest(request, labelled ? c.LabelArgument(c.Field(1)) : std::string());
        return true;
    }
    switch (code) {
        case Cmd("r"): {
            // ResetTo: "label,script file".
            h.SetRequest(8, c.LabelArgument(c.Field(1)) + "," + c.StrArg(2));
            return true;
        }
        case Cmd("lk"): h.LockWord() = c.FieldEmpty(1) ? kAllLocks : static_cast<uint32_t>(c.IntArg(1)); return true;
        case Cmd("?lk"): IntResult(c, static_cast<int32_t>(h.LockWord())); return true;
        case Cmd("lkc"): h.CustomKeyMask() = static_cast<uint32_t>(c.IntArg(1)); return true;
        case Cmd("ckc"): h.CustomCheckedMask() = static_cast<uint32_t>(c.IntArg(1)); return true;
        case Cmd("?lkc"): IntResult(c, static_cast<int32_t>(h.CustomKeyMask())); return true;
        case Cmd("?ckc"): IntResult(c, static_cast<int32_t>(h.CustomCheckedMask())); return true;
        case Cmd("in"):
        case Cmd("out"):
            h.LayerMask(code == Cmd("in") ? 0 : 1) = c.FieldEmpty(1) ? kAllLayers : static_cast<uint32_t>(c.IntArg(1));
            return true;
        case Cmd("?in"): IntResult(c, static_cast<int32_t>(h.LayerMask(0))); return true;
        case Cmd("?out"): IntResult(c, static_cast<int32_t>(h.LayerMask(1))); return true;
        case Cmd("run"): {
            const int32_t n = c.IntArg(1);
            h.SegmentsPerFrame() = n < 1 ? 2048 : n;
            return true;
        }
        case Cmd("?run"): IntResult(c, h.SegmentsPerFrame()); return true;
        case Cmd("p"): {
            const int32_t n = c.IntArg(1);
            if (n >= 0 && n <= 4) h.SetPlayModeWord(n);
            return true;
        }
        case Cmd("?p"): IntResult(c, h.PlayMode()); return true;
        case Cmd("ap"): h.AutoPlayDelay() = std::max(c.IntArg(1), 0); return true;
        case Cmd("?ap"): IntResult(c, h.AutoPlayDelay()); return true;
        case Cmd("ss"): h.SceneSkip() = c.IntArg(1) != 0 ? 1 : 0; return true;
        case Cmd("?ss"): IntResult(c, h.SceneSkip() != 0 ? 1 : 0); return true;
        case Cmd("skp"): IntResult(c, h.NoWait() ? 1 : 0); return true;
        case Cmd("sr"):
        case Cmd("sret"): {
            std::string label = c.LabelArgument(c.Field(1));
            if (label.size() > 127) label.resize(127);
            h.SceneLabel() = std::move(label);
            return true;
        }
        case Cmd("?sr"):
            c.ClearResults();
            c.SetResultStr(h.SceneLabel());
            return true;
        case Cmd("lf"):
        case Cmd("sf"):
        case Cmd("mf"):
        case Cmd("hf"): {
            // Each names a file under its screen's folder; the next opening uses it.
            h.LayoutName(LayoutSlot(code)) = CutToBytes(c.StrArg(1), 127);
            return true;
        }
        default: return false;
    }
}

bool SystemKeyCommand(ICommandContext& c, ISystemKeyTable* keys) {
    switch (c.Code()) {
        case Cmd("a"):
            if (keys)
                // The action word is usually written bare ("menu"): read like a label.
                keys->Bind(static_cast<uint32_t>(c.IntArg(1)), c.LabelArgument(c.Field(2)), std::to_string(c.IntArg(4)),
                           c.LabelArgument(c.Field(3)));
            return true;
        case Cmd("d"):
            if (keys) keys->Unbind(static_cast<uint32_t>(c.IntArg(1)));
            return true;
        case Cmd("i"):
            if (keys) keys->Clear();
            return true;
        case Cmd("lk"):
            if (keys) keys->SetDisabled(c.IntArg(1) == 1);
            return true;
        case Cmd("?lk"): IntResult(c, keys && keys->Disabled() ? 1 : 0); return true;
        default: return false;
    }
}

}  // namespace

void RegisterSystemCommands(TObjectCommandRegistry& registry, ISystemKeyTable* keys) {
    registry.Register(kKindSystem, [](ICommandContext& c, std::string_view) {
        ISystemObjectHost* h = c.SystemHost();
        return h && SystemCommand(c, *h);
    });
    registry.Register(kKindSystemKey, [keys](ICommandContext& c, std::string_view) { return SystemKeyCommand(c, keys); });
    for (const uint8_t kind : {kKindCursor, kKindScreenCursor}) {
        registry.Register(kind, [kind](ICommandContext& c, std::string_view) {
            ISystemObjectHost* h = c.SystemHost();
            TImageLib* layer = h ? h->SystemLayer(kind == kKindScreenCursor) : nullptr;
            return layer && ImageCommand(c, *layer, nullptr, nullptr);
        });
    }
}

}  // namespace zel
