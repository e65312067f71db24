#include "scriptdata/ScrollBarCommands.h"

#include "base/Sjis.h"
#include "scriptdata/ImageCommands.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

std::string TScrollBarObjectPayload::DescribeState() const {
    return "scroll bar " + bar.KnobFile() + ":" + bar.TrackFile() + " value " + std::to_string(bar.Value()) + " of " +
           std::to_string(bar.Maximum()) + (bar.Visible() ? " shown" : " hidden");
}

bool ScrollBarCommand(ICommandContext& c, TImageScrollBar& bar, TZelObjectManager* objects) {
    auto n = [&](size_t i) { return c.IntArg(i); };
    auto query = [&](std::initializer_list<int32_t> ints) {
        c.ClearResults();
        int32_t i = 0;
        for (int32_t v : ints) c.SetResultInt(v, i++);
    };
    TImageLib& knob = bar.Knob();
    switch (c.Code()) {
        case Cmd("l"): {
            std::string given[2], files[2];
            for (size_t i = 0; i < 2; ++i) {
                given[i] = c.StrArg(i + 1);
                const std::string resolved = given[i].empty() ? std::string() : c.ResolvePath(given[i], true);
                files[i] = resolved.empty() ? given[i] : resolved;
            }
            if (!bar.Load(files[0], files[1], n(3) != 0))
                c.ReportError(Sj("\\l：画像にロードに失敗：") + given[0] + ":" + given[1]);
            c.SkipTimeOnce();
            return true;
        }
        case Cmd("i"): bar.Reset(); return true;
        case Cmd("e"): bar.Enable(); return true;
        case Cmd("d"): bar.Disable(); return true;
        case Cmd("p"): bar.SetPosition(n(1), n(2), n(3)); return true;
        case Cmd("v"): bar.SetValue(n(1)); return true;
        case Cmd("mv"): bar.SetMaximum(n(1)); return true;
        case Cmd("in"): bar.SetMasks(c.FieldEmpty(1) ? 255 : n(1), knob.DrawMask()); return true;
        case Cmd("out"): bar.SetMasks(knob.MouseMask(), c.FieldEmpty(1) ? 255 : n(1)); return true;
        // The channel checks of the image words; both parts take the channel.
        case Cmd("dc"):
            ImageCommand(c, knob, nullptr, objects);
            bar.SetEffectChannel(knob.EffectChannel());
            return true;
        case Cmd("sc"):
            ImageCommand(c, knob, nullptr, objects);
            bar.SetStreamChannel(knob.StreamChannel());
            return true;
        // The user values are kept with the knob (and saved with it).
        case Cmd("ui"):
        case Cmd("us"):
        case Cmd("?ui"):
        case Cmd("?us"):
        case Cmd("?in"):
        case Cmd("?out"):
        case Cmd("?dc"):
        case Cmd("?sc"): return ImageCommand(c, knob, nullptr, objects);
        case Cmd("?e"): query({bar.Visible() ? 1 : 0}); return true;
        case Cmd("?l"):
            c.ClearResults();
            c.SetResultStr(bar.KnobFile(), 0);
            c.SetResultStr(bar.TrackFile(), 1);
            return true;
        case Cmd("?p"): query({bar.X(), bar.Y(), bar.Layer()}); return true;
        case Cmd("?v"):
            c.ClearResults();
            if (bar.Visible()) c.SetResultInt(bar.Value());
            return true;
        case Cmd("?mv"):
            c.ClearResults();
            if (bar.Visible()) c.SetResultInt(bar.Maximum());
            return true;
        default: return false;
    }
}

void RegisterScrollBarKind(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                           IAnimationSound* sound) {
    objects.SetPayloadFactory(kKindScrollBar, [files, &resources, sound](uint8_t, std::string_view) {
        return std::make_unique<TScrollBarObjectPayload>(files, resources, sound);
    });
    objects.Handlers().Register(kKindScrollBar, [&objects](ICommandContext& c, std::string_view name) {
        TZelObjectDataCustom* o = objects.Find(name);
        auto* p = o ? dynamic_cast<TScrollBarObjectPayload*>(o->Payload()) : nullptr;
        return p && ScrollBarCommand(c, p->bar, &objects);
    });
}

}  // namespace zel
