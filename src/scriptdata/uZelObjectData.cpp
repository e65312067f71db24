#include "scriptdata/uZelObjectData.h"

#include <array>
#include <charconv>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "scriptdata/ZelValueStore.h"

namespace zel {

namespace {

struct TKindInfo {
    std::string_view word;
    uint8_t drawClass;
    std::string_view payload;  // what a payload kind holds; empty for the others
};

// By type number; 25 is unused and 34 is named by each extension class.
constexpr std::array<TKindInfo, kLastKind + 1> kKinds = {{
    {"", 0, ""},          {"sys", 0, ""},        {"dat", 0, ""},       {"sdat", 0, ""},
    {"snd", 0, ""},       {"dsnd", 0, ""},       {"img", 1, "image"},  {"msg", 2, "message window"},
    {"btn", 3, "button"}, {"bar", 3, "scroll bar"}, {"eff", 4, ""},    {"scsr", 5, ""},
    {"csr", 6, ""},       {"log", 0, ""},        {"cam", 10, ""},      {"rep", 0, ""},
    {"path", 0, ""},      {"show", 11, ""},      {"simg", 7, "image"}, {"sbtn", 8, "button"},
    {"file", 0, "name=value file"}, {"tcp", 0, ""}, {"dlg", 0, ""},    {"slog", 0, ""},
    {"flog", 0, ""},      {"", 0, ""},           {"math", 0, ""},      {"list", 0, ""},
    {"cfg", 0, ""},       {"misc", 0, ""},       {"inp", 0, ""},       {"skey", 0, ""},
    {"clip", 0, ""},      {"dlgs", 0, ""},       {"", 0, "extension object"}, {"ext", 9, ""},
}};

}  // namespace

uint8_t ObjectTypeNumber(std::string_view typeWord) {
    if (typeWord.empty()) return 0;
    for (size_t i = 1; i < kKinds.size(); ++i)
        if (!kKinds[i].word.empty() && EqualsNoCase(kKinds[i].word, typeWord)) return static_cast<uint8_t>(i);
    return 0;
}

std::string_view ObjectTypeWord(uint8_t typeNo) {
    if (typeNo < kKinds.size() && !kKinds[typeNo].word.empty()) return kKinds[typeNo].word;
    return "none";
}

uint8_t ObjectDrawClass(uint8_t typeNo) { return typeNo < kKinds.size() ? kKinds[typeNo].drawClass : 0; }

bool KindHoldsPayload(uint8_t typeNo) { return !PayloadKindName(typeNo).empty(); }

std::string_view PayloadKindName(uint8_t typeNo) { return typeNo < kKinds.size() ? kKinds[typeNo].payload : ""; }

int32_t ObjectChannelOf(std::string_view name) {
    const size_t comma = name.rfind(',');
    if (comma == std::string_view::npos) return 0;
    const std::string_view n = TrimBlanks(name.substr(comma + 1));
    int32_t v = -1;
    const auto r = std::from_chars(n.data(), n.data() + n.size(), v);
    return r.ec == std::errc() && r.ptr == n.data() + n.size() && !n.empty() ? v : -1;
}

// ---- the base ----

TZelObjectDataCustom::TZelObjectDataCustom(uint8_t typeNo, std::string_view name)
    : ObjectName(name), TypeNo(typeNo), DrawClass(ObjectDrawClass(typeNo)), NameHash(zel::NameHash(name)) {}

void TZelObjectDataCustom::Reset() {
    OffsetX = 0;
    OffsetY = 0;
}

// ---- payload kinds ----

TZelObjectDataPayload::TZelObjectDataPayload(uint8_t typeNo, std::string_view name,
                                             std::unique_ptr<IObjectPayload> payload)
    : TZelObjectDataCustom(typeNo, name), payload_(std::move(payload)) {}

void TZelObjectDataPayload::Reset() {
    TZelObjectDataCustom::Reset();
    if (payload_) payload_->Reset();
}

std::string TZelObjectDataPayload::DescribeState() const { return payload_ ? payload_->DescribeState() : ""; }

bool TZelObjectDataPayload::SaveToStream(TMemoryStream& stream) const {
    return payload_ ? payload_->SaveToStream(stream) : true;
}

bool TZelObjectDataPayload::LoadFromStream(TMemoryStream& stream) {
    return payload_ ? payload_->LoadFromStream(stream) : true;
}

void TZelObjectDataPayload::Update(uint32_t layerMask, int32_t elapsedMs) {
    if (payload_) payload_->Update(layerMask, elapsedMs);
}

void TZelObjectDataPayload::Draw(TARGB8888CellDraw& cells, uint32_t layerMask, bool fixedPass) {
    if (!payload_) return;
    if (Fixed()) {
        if (fixedPass) payload_->Draw(cells, layerMask, 0, 0);
        return;
    }
    payload_->Draw(cells, layerMask, OffsetX, OffsetY);
}

void TZelObjectDataPayload::PointerMove(uint32_t layerMask, int32_t x, int32_t y) {
    if (!payload_) return;
    if (Fixed()) payload_->PointerMove(layerMask, x, y);
    else payload_->PointerMove(layerMask, x - OffsetX, y - OffsetY);
}

void TZelObjectDataPayload::PointerButton(uint32_t layerMask, int32_t x, int32_t y) {
    if (!payload_) return;
    if (Fixed()) payload_->PointerButton(layerMask, x, y);
    else payload_->PointerButton(layerMask, x - OffsetX, y - OffsetY);
}

bool TZelObjectDataPayload::HitTest(uint32_t layerMask, int32_t x, int32_t y) {
    if (!payload_) return false;
    return Fixed() ? payload_->HitTest(layerMask, x, y) : payload_->HitTest(layerMask, x - OffsetX, y - OffsetY);
}

void TZelObjectDataPayload::RestoreResources() {
    if (payload_) payload_->RestoreResources();
}

void TZelObjectDataPayload::RememberResources() {
    if (payload_) payload_->RememberResources();
}

TZelObjectDataDLLObject::TZelObjectDataDLLObject(std::string_view classWord, std::string_view name,
                                                 std::unique_ptr<IObjectPayload> payload)
    : TZelObjectDataPayload(kKindExtensionObject, name, std::move(payload)), classWord_(classWord) {}

bool TStringListPayload::SaveToStream(TMemoryStream& stream) const {
    List.SaveToStream(stream);
    return true;
}

bool TStringListPayload::LoadFromStream(TMemoryStream& stream) {
    List.LoadFromStream(stream);
    return true;
}

std::unique_ptr<TZelObjectDataCustom> MakeBuiltInObject(uint8_t typeNo, std::string_view name,
                                                        std::unique_ptr<IObjectPayload> payload) {
    if (typeNo == 0 || typeNo > kLastKind || typeNo == kKindExtensionObject || kKinds[typeNo].word.empty())
        return nullptr;
    if (typeNo == kKindStringList)
        return std::make_unique<TZelObjectDataPayload>(typeNo, name, std::make_unique<TStringListPayload>());
    if (KindHoldsPayload(typeNo)) return std::make_unique<TZelObjectDataPayload>(typeNo, name, std::move(payload));
    return std::make_unique<TZelObjectDataCustom>(typeNo, name);
}

}  // namespace zel
