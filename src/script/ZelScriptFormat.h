// The \fmt command's formatter: one printf-style conversion applied to one
// script value, parsed and carried out here (a script's text never reaches
// the C library's formatter).
//
// A format is literal text with at most one conversion
//   %[flags][width][.precision]type
// flags: any of "-+ 0#"; width and precision: decimal digits, capped at
// kMaxFormatWidth; type: d or i (signed), u (unsigned 32-bit), x or X
// (hexadecimal), s (text). "%%" is a literal percent sign anywhere. The
// integer types take an integer value, s takes a string value; a format whose
// conversion does not fit its value, a second conversion, a "*" width or any
// other type formats nothing. A format without a conversion gives its text.
#pragma once

#include <string>
#include <string_view>

#include "scriptdata/ZelReturnValue.h"

namespace zel {

constexpr int kMaxFormatWidth = 1024;

// Appends the formatted value to out; false (out unchanged) when the format
// does not fit.
bool FormatScriptValue(std::string_view format, const TReturnValue& value, std::string& out);

}  // namespace zel
