#pragma once

#include <string>
#include <vector>

namespace paradox {

// Another program's use of a table, as far as this machine shows it.
struct ForeignUse {
    bool found = false;
    std::string file;     // which of the files
    long pid = 0;         // 0 when the lock does not tell (OFD locks)
    std::string program;  // the process's name, when known
    std::string how;      // "bloqueio" or "arquivo aberto"
};

// The files whose use by another program matters for writing a table: the
// table and every file of its family (.PX, .MB, .Xnn, .Ynn, .VAL, ...) and the
// database engine's control files in its folder (PDOXUSRS.NET, PDOXUSRS.LCK,
// PARADOX.LCK). Only files that exist.
std::vector<std::string> tableFamilyAndControlFiles(const std::string& tablePath);

// Locks another process holds on any of the files: byte-range locks, some
// of which do not tell their owner (call this before taking locks of one's
// own). The locks copies of this engine take on a table are not counted.
ForeignUse foreignLock(const std::vector<std::string>& files);

// Raises TableInUse naming the table and the other program when one of the
// files is locked or open by another program (call before taking locks of
// one's own).
void refuseForeignUse(const std::vector<std::string>& files, const std::string& tableName);

// Processes other than copies of this engine (this program, tessaly, pdx)
// that have one of the files open.
ForeignUse foreignOpenFile(const std::vector<std::string>& files);

} // namespace paradox
