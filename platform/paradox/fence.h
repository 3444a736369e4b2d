#pragma once

#include <memory>
#include <string>
#include <vector>

namespace paradox {

// Write locks over the whole of each file (open file description locks, the
// kind Wine and Samba map Windows byte-range locks onto) for the length of a
// transaction, from its first write to its commit: a program that starts meanwhile fails to lock the table and reports
// it busy instead of reading half-written blocks. Released when the fence
// goes, also after an error; a crash releases them by itself. Raises
// TableInUse naming the table when another program holds a lock.
class Fence {
public:
    // open: files the caller already holds open for writing (path, descriptor),
    // locked through those descriptors and left open.
    Fence(const std::vector<std::string>& files, const std::string& tableName,
          const std::vector<std::pair<std::string, int>>& open = {});
    ~Fence();
    Fence(const Fence&) = delete;
    Fence& operator=(const Fence&) = delete;

private:
    void release();

    std::vector<std::pair<int, bool>> fds_;  // descriptor, opened here
};

// The fence of a writer over a table's family and control files, raised
// once no other program is found using them (TableInUse otherwise). Another
// program's open files are looked for only when lookForOthers (a scan of
// every process); the fence's own locks meet any lock taken since.
std::unique_ptr<Fence> fenceForWriting(const std::string& tablePath, const std::string& tableName,
                                       bool lookForOthers = true);

} // namespace paradox
