#pragma once

#include <ostream>

namespace paradox {

class TableFile;

// Prints a table the way the independent reader's dump tool does: "# name:
// value" header lines, one "# field N: NAME TYPE SIZE" line per field, then
// one row per line, fields separated by TAB, \N for a blank value.
void dumpTable(TableFile& table, std::ostream& out, bool headerOnly = false);

} // namespace paradox
