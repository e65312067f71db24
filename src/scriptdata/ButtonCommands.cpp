#include "scriptdata/ButtonCommands.h"

#include "base/IntMath.h"
#include "scriptdata/MessageCommands.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/SystemCommands.h"
#include "scriptdata/uZelObjectManager.h"

namespace zel {

std::string TButtonObjectPayload::DescribeState() const {
    std::string s = "button " + button.FileName(0);
    s += button.Checked() ? " checked" : "";
    s += button.Locked() ? " locked" : "";
    s += button.Visible() ? " shown" : " hidden";
    return s;
}

bool TButtonObjectPayload::NavigationPoint(uint32_t layerMask, int32_t& x, int32_t& y) const {
    if (!button.Visible() || (layerMask & static_cast<uint32_t>(button.MouseMask())) == 0) return false;
    if (button.ButtonOffsetX() == 0 && button.ButtonOffsetY() == 0) return false;
    x = SatInt32(int64_t{button.Left(0)} + button.ButtonOffsetX());
    y = SatInt32(int64_t{button.Top(0)} + button.ButtonOffsetY());
    return true;
}

bool ButtonCommand(ICommandContext& c, TButtonLib& b, std::array<std::string, 16>* filters,
                   TZelObjectManager* objects) {
    if (MessageCommand(c, b, filters, objects)) return true;
    auto answer = [&](bool v) {
        c.ClearResults();
        c.SetResultInt(v ? 1 : 0);
    };
    switch (c.Code()) {
        case Cmd("bc"): {
            // With the script's input layer mask, as a pointer click there.
            ISystemObjectHost* host = c.SystemHost();
            const uint32_t mask = host ? host->LayerMask(0) : 0xFFFFFFFFu;
            b.ClickAt(mask, SatInt32(int64_t{b.Left(0)} + b.ButtonOffsetX()),
                      SatInt32(int64_t{b.Top(0)} + b.ButtonOffsetY()));
            return true;
        }
        case Cmd("ck"): b.SetChecked((c.IntArg(1) & 0xFF) != 0); return true;
        case Cmd("lk"): b.SetLocked((c.IntArg(1) & 0xFF) != 0); return true;
        case Cmd("?bc"):
            answer(b.ClickCountdown() > 0);
            // The same click is reported until the next update, no longer.
            if (b.ClickCountdown() > 0) b.SetClickCountdown(1);
            return true;
        case Cmd("?ck"): answer(b.Checked()); return true;
        case Cmd("?lk"): answer(b.Locked()); return true;
        default: return false;
    }
}

void RegisterButtonKinds(TZelObjectManager& objects, IGameFiles* files, TAnimationResources& resources,
                         IAnimationSound* sound, const TMessageServices* services) {
    for (uint8_t kind : {kKindButton, kKindSysButton}) {
        objects.SetPayloadFactory(kind, [files, &resources, sound, services](uint8_t, std::string_view) {
            return std::make_unique<TButtonObjectPayload>(files, resources, sound, services);
        });
        objects.Handlers().Register(kind, [&objects](ICommandContext& c, std::string_view name) {
            TZelObjectDataCustom* o = objects.Find(name);
            auto* p = o ? dynamic_cast<TButtonObjectPayload*>(o->Payload()) : nullptr;
            return p && ButtonCommand(c, p->button, &p->filters, &objects);
        });
    }
}

bool TObjectButtons::HitButton(uint32_t layerMask, int32_t x, int32_t y, TButtonHit& hit) {
    TZelObjectDataCustom* o = objects_.HitTestAll(layerMask, x, y, kButtonClasses);
    if (!o) return false;
    hit = TButtonHit{};
    hit.name = o->ObjectName;
    if (auto* p = dynamic_cast<TButtonObjectPayload*>(o->Payload())) {
        hit.numbers = p->button.userInts;
        hit.texts = p->button.userStrings;
        hit.checked = p->button.Checked();
    }
    return true;
}

}  // namespace zel
