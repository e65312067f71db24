// The script reader's saved position record (file, label, offsets, text
// prefix, replacement rules) restored over a small fixed game, then the
// restored reader walked to the end with its rules applied by the real
// regular-expression matcher.
#include <cstdint>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "ext/uBregExpLib.h"
#include "FuzzSupport.h"
#include "ReaderStateGame.h"
#include "script/ZelReaderLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    zelfuzz::MemGameFiles files;
    zelfuzz::AddReaderStateGame(files);
    TBRegExp regexp;
    TZelReader reader(&files, &regexp);
    if (!reader.LoadFile("main.s", true) || !reader.JumpToLabel("@@tail", 0, 0)) __builtin_trap();
    const int32_t lineBefore = reader.CurrentLine();

    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    if (!reader.LoadState(s)) {
        // A refused record leaves the reader as it was.
        if (reader.CurrentFile() != "main.s" || reader.CurrentLine() != lineBefore) __builtin_trap();
        return 0;
    }
    // Every segment moves the position forward.
    while (!reader.AtEnd()) {
        const int32_t line = reader.CurrentLine(), column = reader.CurrentColumn();
        reader.NextSegment();
        if (reader.CurrentLine() < line || (reader.CurrentLine() == line && reader.CurrentColumn() <= column))
            __builtin_trap();
    }
    return 0;
}
