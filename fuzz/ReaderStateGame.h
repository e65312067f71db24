// The small fixed game that the reader-state target restores records
// against; the seed writer saves its records from the same game.
#pragma once

#include "FuzzSupport.h"

namespace zelfuzz {

inline void AddReaderStateGame(MemGameFiles& files) {
    files.Add("main.s",
              "@@main\r\n\\var int,a\\a=1\r\ntext line one\\wait\r\n@@!quiet\r\nquiet text\\if,a==1\\end\r\n"
              "@@@sub.s\r\n@@tail\r\nlast line\r\n");
    files.Add("sub.s", "@@sub\r\n\\sub,main\r\n  inner text // comment\r\n/* gone */\\ret\r\n");
    files.Add("other.s", "@@other\r\nA\\B\\C\r\n\r\n@@other2\r\n\"quoted \\ text\"\\x\r\n");
}

}  // namespace zelfuzz
