#pragma once

#include "platform/os/file.h"
#include "platform/paradox/block.h"
#include "platform/paradox/code_page.h"
#include "platform/paradox/header.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

class Journal;
struct IndexLeaf;

// One table file as held in memory: the open file, its header, all its bytes
// and the chain of its data blocks. The reading side (TableFile) fills it
// from the disk; the writing side (TableWriter) changes it as it writes, so
// that both always see the same table.
class TableImage {
public:
    struct BlockRef {
        uint16_t number;
        uint16_t count;
    };

    TableImage(std::string filePath, Journal& family) : path(std::move(filePath)), journal(&family) {}

    // The file's own name, for messages.
    std::string name() const;
    // A table in key order: a keyed table, or a maintained secondary index
    // file (which is kept like one, its own index being the .Ynn/.YGn file).
    bool keyed() const;
    size_t rowCount() const { return header.recordCount; }

    uint8_t* block(int number);
    const uint8_t* block(int number) const;
    Block view(int number) { return Block(block(number), header.recordSize); }
    ConstBlock view(int number) const { return ConstBlock(block(number), header.recordSize); }
    const uint8_t* blockRecord(const BlockRef& b, int index) const { return view(b.number).record(index); }
    // Rows in chain order; the row numbers are worked out again after rows
    // moved (rowsMoved).
    const uint8_t* record(size_t row) const;
    void rowsMoved() { rowIndexStale_ = true; }

    int keyWidth() const;
    // Keys compare as bytes (the sort orders this engine writes).
    int compareKeys(const uint8_t* a, const uint8_t* b) const;
    // The primary index's view of a block: its first key and count.
    IndexLeaf leafOf(int number) const;
    std::vector<IndexLeaf> allLeaves() const;

    const std::string path;
    // The family's journal: every read and write of the file goes through it.
    Journal* journal;
    os::File file;
    bool writable = false;
    Header header;
    CodePage codePage{0};
    std::vector<uint8_t> bytes;
    std::vector<BlockRef> chain;
    std::string primaryIndexPath;
    // Counts changes seen or made, so that caches built on the rows know
    // when to rebuild. A write counts at once; the file on the disk changes
    // only at the commit, which the journal remembers (leftByCommit).
    uint64_t generation = 0;

private:
    void refreshRowIndex() const;
    // Row number of the first record of each chain entry.
    mutable std::vector<size_t> firstRow_;
    mutable bool rowIndexStale_ = true;
};

} // namespace paradox
