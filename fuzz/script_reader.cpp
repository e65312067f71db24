// The script reader on arbitrary script text: load (with includes), walk
// every segment to the end, jump to every label, and save and restore the
// position.
//
// Input: the text of "main.s"; after the first NUL byte, the text of
// "sub.s", which "main.s" may include ("@@@sub.s", "@@@!sub.s").
#include <cstdint>
#include <string>

#include "base/MemStream.h"
#include "FuzzSupport.h"
#include "script/ZelReaderLib.h"

namespace {

// Walks to the end; every segment moves the position forward.
void WalkToEnd(zel::TZelReader& r) {
    while (!r.AtEnd()) {
        const int32_t line = r.CurrentLine(), column = r.CurrentColumn();
        r.NextSegment();
        if (r.CurrentLine() < line || (r.CurrentLine() == line && r.CurrentColumn() <= column)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    const std::string_view text = zelfuzz::AsText(data, size);
    const size_t nul = text.find('\0');
    zelfuzz::MemGameFiles files;
    files.Add("main.s", text.substr(0, nul));
    if (nul != std::string_view::npos) files.Add("sub.s", text.substr(nul + 1));

    TZelReader reader(&files);
    reader.SetLineCallback([](std::string_view, int32_t) {});
    if (!reader.LoadFile("main.s", true)) return 0;
    WalkToEnd(reader);

    // Up to 16 labels spread over the list (each restore loads the whole
    // source again), then a saved position must restore.
    const auto labels = reader.Labels();
    const size_t stride = labels.size() / 16 + 1;
    for (size_t i = 0; i < labels.size(); i += stride) {
        const TLabelData& label = labels[i];
        if (!reader.JumpToLabel(label.name, 0, 0)) continue;
        reader.NextSegment();
        reader.NextSegment();
        // The record holds the label by name (up to 127 bytes), so only a
        // position under the first label of its name can come back.
        const int32_t at = reader.CurrentLabelIndex();
        if (at < 0 || reader.CurrentLabel().size() > TZelReader::kMaxShortText ||
            reader.FindLabel(reader.CurrentLabel()) != at)
            continue;
        TMemoryStream state;
        reader.SaveState(state);
        state.Rewind();
        TZelReader other(&files);
        if (!other.LoadState(state)) __builtin_trap();
        if (other.CurrentLine() != reader.CurrentLine() || other.CurrentColumn() != reader.CurrentColumn())
            __builtin_trap();
    }
    reader.GotoLine(reader.LineCount() / 2, 3);
    WalkToEnd(reader);
    return 0;
}
