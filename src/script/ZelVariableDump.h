// The text dump of variable stores that the headless runner writes at exit:
// one line per variable, in store order,
//   SCOPE<TAB>NAME<TAB>TYPEWORD<TAB>COUNT<TAB>VALUE<TAB>VALUE...<LF>
// values in element order: integers in decimal, strings and object names as
// their Shift-JIS bytes with "\" TAB LF CR written as \\ \t \n \r.
#pragma once

#include <string>
#include <string_view>

namespace zel {

class TValue;

// Appends the lines of every variable of the store, with SCOPE = scope.
void DumpVariables(const TValue& store, int scope, std::string& out);

// The escaped form of a text in the dump.
std::string EscapeDumpText(std::string_view text);

}  // namespace zel
