#pragma once

#include "platform/os/file.h"

#include <memory>
#include <string>
#include <vector>

namespace paradox {

// Write locks over the whole of each file (the kind other programs'
// byte-range locks meet, os::File::tryLockAgainstForeignWrites) for the length of a
// transaction, from its first write to its commit: a program that starts meanwhile fails to lock the table and reports
// it busy instead of reading half-written blocks. Released when the fence
// goes, also after an error; a crash releases them by itself. Raises
// TableInUse naming the table when another program holds a lock.
class Fence {
public:
    Fence(const std::vector<std::string>& files, const std::string& tableName);
    ~Fence();
    Fence(const Fence&) = delete;
    Fence& operator=(const Fence&) = delete;

private:
    void release();

    std::vector<os::File> files_;
};

// The fence of a writer over a table's family and control files, raised
// once no other program is found using them (TableInUse otherwise). Another
// program's open files are looked for only when lookForOthers (a scan of
// every process); the fence's own locks meet any lock taken since.
std::unique_ptr<Fence> fenceForWriting(const std::string& tablePath, const std::string& tableName,
                                       bool lookForOthers = true);

} // namespace paradox
