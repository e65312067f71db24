#include "scriptdata/ImageCommands.h"

#include <algorithm>

#include "anim/AnimationBmpLib.h"
#include "base/IntMath.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "graphics/ImageFileError.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

namespace {


// A layer argument: outside 0..255 means every layer.
template <class F>
void ForLayers(int32_t layer, F&& f) {
    if (layer >= 0 && layer <= 255) {
        f(layer);
    } else {
        for (int i = 0; i < 256; ++i) f(i);
    }
}

}  // namespace

std::string TImageObjectPayload::DescribeState() const {
    return image.FileName(0) + " at " + std::to_string(image.X()) + "," + std::to_string(image.Y()) + " layer " +
           std::to_string(image.Layer()) + (image.Visible() ? " shown" : " hidden");
}

bool TImageObjectPayload::NavigationPoint(uint32_t layerMask, int32_t& x, int32_t& y) const {
    if (!image.Visible() || (layerMask & static_cast<uint32_t>(image.MouseMask())) == 0) return false;
    if (image.ButtonOffsetX() == 0 && image.ButtonOffsetY() == 0) return false;
    x = SatInt32(int64_t{image.Left(0)} + image.ButtonOffsetX());
    y = SatInt32(int64_t{image.Top(0)} + image.ButtonOffsetY());
    return true;
}

bool ImageCommand(ICommandContext& c, TImageLib& img, std::array<std::string, 16>* filters,
                  TZelObjectManager* objects) {
    auto n = [&](size_t i) { return c.IntArg(i); };
    auto query = [&](std::initializer_list<int32_t> ints) {
        c.ClearResults();
        int32_t i = 0;
        for (int32_t v : ints) c.SetResultInt(v, i++);
    };
    TAnimationBmp& anim = img.Animation();
    switch (c.Code()) {
        case Cmd("l"): {
            std::string given[TImageLib::kFileCount], files[TImageLib::kFileCount];
            for (int i = 0; i < TImageLib::kFileCount; ++i) {
                given[i] = c.StrArg(size_t(i) + 1);
                const std::string resolved = given[i].empty() ? std::string() : c.ResolvePath(given[i], true);
                files[i] = resolved.empty() ? given[i] : resolved;
            }
            if (!img.Load(files[0], files[1], false, false, files[2], files[3], files[4]))
                c.ReportError(Sj("\\l：画像にロードに失敗：") + given[0] + ":" + given[1]);
            c.SkipTimeOnce();
            return true;
        }
        case Cmd("fr"): {
            const int32_t x1 = n(1), y1 = n(2), x2 = n(3), y2 = n(4);
            const auto colour = static_cast<uint32_t>(n(5));
            // Script integers become a picture size: refuse one no picture may have.
            const int64_t w = std::abs(int64_t{x2} - x1), h = std::abs(int64_t{y2} - y1);
            if (w * h > kMaxImageFilePixels) {
                c.ReportError("\\fr: a rectangle of " + std::to_string(w) + " x " + std::to_string(h) +
                              " pixels is larger than any picture may be");
                return true;
            }
            img.LoadRect(x1, y1, x2, y2, colour);
            return true;
        }
        case Cmd("i"): img.Reset(); return true;
        case Cmd("e"): img.Enable(); return true;
        case Cmd("d"): img.Disable(); return true;
        case Cmd("p"): img.MoveTo(n(1), n(2), n(3), n(4)); return true;
        case Cmd("a"): img.FadeTo(std::clamp(n(1), 0, 255), n(2)); return true;
        case Cmd("mm"): img.SetCurve(static_cast<uint8_t>(n(1))); return true;
        case Cmd("m"): {
            const TReturnValue v = c.Evaluate(c.Field(1));
            if (v.Kind == rkString)
                img.StartLabel(v.Text, true);
            else
                img.StartLabelNumber(v.IntValue, true);
            return true;
        }
        case Cmd("alg"): img.SetAnchor(n(1), n(2)); return true;
        case Cmd("ds"): img.SetHoverRect(n(1), n(2), n(3), n(4)); return true;
        case Cmd("sp"): img.SetButtonOffset(n(1), n(2)); return true;
        case Cmd("in"): img.SetMasks(c.FieldEmpty(1) ? 255 : n(1), img.DrawMask()); return true;
        case Cmd("out"): img.SetMasks(img.MouseMask(), c.FieldEmpty(1) ? 255 : n(1)); return true;
        case Cmd("ui"):
            for (size_t i = 0; i < 4; ++i)
                if (!c.FieldEmpty(i + 1)) img.userInts[i] = n(i + 1);
            return true;
        case Cmd("us"):
            for (size_t i = 0; i < 4; ++i)
                if (!c.FieldEmpty(i + 1)) img.userStrings[i] = CutToBytes(c.StrArg(i + 1), 63);
            return true;
        case Cmd("dc"): {
            const int32_t ch = n(1);
            if (ch < 0 || ch >= TImageLib::kEffectChannels)
                c.ReportError(Sj("\\dc:範囲外のチャンネルを指定しました"));
            else
                img.SetEffectChannel(ch);
            return true;
        }
        case Cmd("sc"): {
            const int32_t ch = n(1);
            if (ch < 0 || ch >= TImageLib::kStreamChannels)
                c.ReportError(Sj("\\sc:範囲外のチャンネルを指定しました"));
            else
                img.SetStreamChannel(ch);
            return true;
        }
        case Cmd("ps"): img.SetSpeedPercent(n(1)); return true;
        case Cmd("tmp"): img.SetPaused(n(1) == 1); return true;
        case Cmd("ss"): img.SetHitArea(n(1), n(2), n(3), n(4)); return true;
        case Cmd("lsk"): {
            const int32_t ms = n(2);
            ForLayers(n(1), [&](int l) { anim.SetTime(l, ms); });
            return true;
        }
        case Cmd("lst"): {
            const int32_t ms = n(2);
            ForLayers(n(1), [&](int l) { anim.SetWait(l, ms); });
            return true;
        }
        case Cmd("flt"): {
            const int32_t i = n(1);
            // Indexes outside the 16 texts are ignored; a text is kept bounded.
            if (filters && i >= 0 && i < 16)
                (*filters)[static_cast<size_t>(i)] = CutToBytes(c.StrArg(2), TImageObjectPayload::kMaxFilterText);
            return true;
        }
        case Cmd("mem"): {
            const std::string target = c.StrArg(1);
            TZelObjectDataCustom* o = objects ? objects->Find(target) : nullptr;
            auto* list = o ? dynamic_cast<TStringListPayload*>(o->Payload()) : nullptr;
            if (!list) {
                c.ReportError(Sj("\\mem:list型を引数に指定してください"));
                return true;
            }
            const std::string& memo = anim.Memo();
            size_t at = 0;
            while (at <= memo.size() && !memo.empty()) {
                size_t end = memo.find('\n', at);
                if (end == std::string::npos) end = memo.size();
                std::string line = memo.substr(at, end - at);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                list->List.AddItem(line);
                at = end + 1;
            }
            return true;
        }
        // ---- queries ----
        case Cmd("?a"): query({img.TargetAlpha()}); return true;
        case Cmd("?e"): query({img.Visible() ? 1 : 0}); return true;
        case Cmd("ge"):
            c.SetResultInt(img.Visible() ? 1 : 0);
            c.SetResultStr(img.Visible() ? "Enable" : "Disable");
            return true;
        case Cmd("gf"):
            c.SetResultInt(img.Loaded() ? 1 : 0);
            c.SetResultStr(img.FileName(0));
            return true;
        case Cmd("?l"):
            c.ClearResults();
            for (int i = 0; i < TImageLib::kFileCount; ++i) c.SetResultStr(img.FileName(i), i);
            return true;
        case Cmd("?m"):
            c.ClearResults();
            [[fallthrough]];
        case Cmd("gm"):
            c.SetResultInt(img.LabelNumber());
            c.SetResultStr(img.LabelName());
            return true;
        case Cmd("?mm"): query({img.Curve()}); return true;
        case Cmd("?p"): query({img.Left(n(1)), img.Top(n(2)), img.Layer()}); return true;
        case Cmd("gx"): c.SetResultInt(img.Left(n(1))); return true;
        case Cmd("gy"): c.SetResultInt(img.Top(n(1))); return true;
        case Cmd("gz"): c.SetResultInt(img.Layer()); return true;
        case Cmd("?alg"): query({img.AnchorX(), img.AnchorY()}); return true;
        case Cmd("?wh"): {
            if (c.FieldEmpty(1)) {
                query({img.Width(), img.Height()});
            } else {
                c.ClearResults();
                const TARGB8888* p = anim.Picture(n(1));
                if (p) {
                    c.SetResultInt(p->Width(), 0);
                    c.SetResultInt(p->Height(), 1);
                }
            }
            return true;
        }
        case Cmd("?sp"): query({img.ButtonOffsetX(), img.ButtonOffsetY()}); return true;
        case Cmd("?in"): query({img.MouseMask()}); return true;
        case Cmd("?out"): query({img.DrawMask()}); return true;
        case Cmd("?ui"): query({img.userInts[0], img.userInts[1], img.userInts[2], img.userInts[3]}); return true;
        case Cmd("?us"):
            c.ClearResults();
            for (int i = 0; i < 4; ++i) c.SetResultStr(img.userStrings[static_cast<size_t>(i)], i);
            return true;
        case Cmd("?dc"): query({img.EffectChannel()}); return true;
        case Cmd("?sc"): query({img.StreamChannel()}); return true;
        case Cmd("?ps"): query({img.SpeedPercent()}); return true;
        case Cmd("?tmp"): query({img.Paused() ? 1 : 0}); return true;
        case Cmd("?lsk"): query({RoundHalfEven(anim.LayerTime(std::clamp(n(1), 0, 255)))}); return true;
        case Cmd("?lst"): query({RoundHalfEven(anim.LayerWait(std::clamp(n(1), 0, 255)))}); return true;
        case Cmd("?flt"): {
            const int32_t i = n(1);
            c.ClearResults();
            if (filters && i >= 0 && i < 16) c.SetResultStr((*filters)[static_cast<size_t>(i)]);
            return true;
        }
        case Cmd("?tt"): query({anim.TotalTime()}); return true;
        default: return false;
    }
}

void RegisterImageKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                        IAnimationSound* sound) {
    for (uint8_t kind : {kKindImage, kKindSysImage}) {
        objects.SetPayloadFactory(kind, [files, &resources, sound](uint8_t, std::string_view) {
            return std::make_unique<TImageObjectPayload>(files, resources, sound);
        });
        objects.Handlers().Register(kind, [&objects](ICommandContext& c, std::string_view name) {
            TZelObjectDataCustom* o = objects.Find(name);
            auto* p = o ? dynamic_cast<TImageObjectPayload*>(o->Payload()) : nullptr;
            return p && ImageCommand(c, p->image, &p->filters, &objects);
        });
    }
}

}  // namespace zel
