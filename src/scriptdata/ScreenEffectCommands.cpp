#include "scriptdata/ScreenEffectCommands.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Sjis.h"
#include "graphics/Compositor.h"
#include "graphics/ZelCameraLib.h"
#include "scriptdata/ObjectCommands.h"

namespace zel {

namespace {

// Wipe sounds play on an effect channel and follow a stream channel.
constexpr int32_t kEffectChannels = 15, kStreamChannels = 16;

bool EffectCommand(ICommandContext& s, TZelGraphic& g) {
    auto arg = [&](size_t i) { return s.IntArg(i); };
    // An empty layer field means above all layers (decided before evaluation).
    auto layer = [&](size_t i) { return s.FieldEmpty(i) ? TZelGraphic::kWholeScreen : arg(i); };
    auto result = [&](int32_t v) {
        s.ClearResults();
        s.SetResultInt(v);
    };
    switch (s.Code()) {
        case Cmd("c"): g.Capture(layer(1)); return true;
        case Cmd("i"): g.EndTransition(); return true;
        case Cmd("fdi"):
        case Cmd("fdo"): {
            const bool in = s.Code() == Cmd("fdi");
            const int32_t form = arg(1), duration = arg(2);
            if (form == 0 || form == 1 || form == 3) {
                const std::string file = s.StrArg(3);
                const std::string resolved = file.empty() ? std::string() : s.ResolvePath(file, true);
                const int32_t l = layer(4);
                try {
                    if (in)
                        g.FadeIn(duration, l, resolved);
                    else
                        g.FadeOut(duration, l, resolved);
                } catch (const EZelError& e) {
                    s.ReportError(e.what());
                }
            } else if (form == 2) {
                const auto colour = static_cast<uint32_t>(arg(3));
                const auto blend = static_cast<uint8_t>(std::clamp(arg(4), 0, 255));
                const int32_t l = layer(5);
                if (in) {
                    g.ColourFade(0, l, blend, colour);
                    g.ColourFade(duration, l, blend, colour & 0xFFFFFFu);
                } else {
                    g.ColourFade(duration, l, blend, colour & 0xFFFFFFu);
                    g.ColourFade(duration, l, blend, colour);
                }
            }
            s.SkipTimeOnce();
            return true;
        }
        case Cmd("bg"): g.SetBackground(static_cast<uint32_t>(arg(1))); return true;
        case Cmd("mb"): g.SetRedrawAll(arg(1) == 1); return true;
        case Cmd("dc"):
        case Cmd("sc"): {
            const bool effect = s.Code() == Cmd("dc");
            const int32_t ch = arg(1);
            if (ch < 0 || ch >= (effect ? kEffectChannels : kStreamChannels)) {
                s.ReportError(Sj(effect ? "\\dc:範囲外のチャンネルを指定しました" : "\\sc:範囲外のチャンネルを指定しました"));
            } else if (effect) {
                g.SetWipeEffectChannel(static_cast<uint8_t>(ch));
            } else {
                g.SetWipeStreamChannel(static_cast<uint8_t>(ch));
            }
            return true;
        }
        case Cmd("cc"):
            if (!s.FieldEmpty(1)) arg(1);
            return true;
        case Cmd("?c"): result(g.Kind() == tkFrozen ? 1 : 0); return true;
        case Cmd("?mb"): result(g.RedrawAll() ? 1 : 0); return true;
        case Cmd("?bg"): result(static_cast<int32_t>(g.Background())); return true;
        case Cmd("?dc"): result(g.WipeEffectChannel()); return true;
        case Cmd("?sc"): result(g.WipeStreamChannel()); return true;
        default: return false;
    }
}

bool CameraCommand(ICommandContext& s, TCamera& cam) {
    auto arg = [&](size_t i) { return s.IntArg(i); };
    switch (s.Code()) {
        case Cmd("p"): {
            const int32_t x = arg(1), y = arg(2), duration = arg(3);
            cam.MoveTo(x, y, duration);
            return true;
        }
        case Cmd("mm"): cam.SetCurve(static_cast<uint8_t>(arg(1) & 0xFF)); return true;
        case Cmd("i"): cam.Reset(); return true;
        case Cmd("?p"):
            s.ClearResults();
            s.SetResultInt(cam.TargetX(), 0);
            s.SetResultInt(cam.TargetY(), 1);
            return true;
        case Cmd("?mm"):
            s.ClearResults();
            s.SetResultInt(cam.Curve());
            return true;
        default: return false;
    }
}

}  // namespace

void RegisterScreenEffectCommands(TObjectCommandRegistry& registry, TZelGraphic& graphic, TCamera& camera) {
    registry.Register(kKindEffect, [&graphic](ICommandContext& c, std::string_view) { return EffectCommand(c, graphic); });
    registry.Register(kKindCamera, [&camera](ICommandContext& c, std::string_view) { return CameraCommand(c, camera); });
}

}  // namespace zel
