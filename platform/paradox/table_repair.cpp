// What the journal cannot cover: a table that an earlier version of this
// program, which wrote without a journal, left when it was stopped in an
// insert. That version put the row at the end of the chain, then counted it
// in the header, then moved it to its place and took the copy at the end
// away. A stop between any two of those steps is put right before the next
// write. (What this version writes is played back from its journal and never
// reaches this repair half done.) The primary index is also checked against
// the blocks it describes.

#include "platform/paradox/table_writer.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/secondary_index.h"

#include <cstring>

namespace paradox {

// Looked for once after each load: between loads this process keeps the
// files whole itself.
void TableWriter::repairUnjournaledInsert()
{
    if (!repairPending_)
        return;
    repairPending_ = false;
    size_t total = 0;
    for (const BlockRef& b : image_.chain)
        total += b.count;
    bool changed = false;
    while (total > image_.header.recordCount) {
        removeTailRecord();
        --total;
        changed = true;
    }
    for (size_t i = 0; i < image_.chain.size(); ++i) {
        const int prev = i == 0 ? 0 : image_.chain[i - 1].number;
        if (bytes::u16le(image_.block(image_.chain[i].number) + 2) != prev) {
            setPrev(image_.chain[i].number, prev);
            writeBlock(image_.chain[i].number);
        }
    }
    const size_t rows = image_.rowCount();
    if (image_.keyed() && rows >= 2
        && image_.compareKeys(image_.record(rows - 1), image_.record(rows - 2)) < 0) {
        const Position target = findPosition(image_.record(rows - 1), true);
        const uint8_t* previous = before(target);
        const bool duplicate = previous && image_.compareKeys(previous, image_.record(rows - 1)) == 0;
        if (duplicate) {
            --image_.header.recordCount;
            writeHeader();
            removeTailRecord();
        } else {
            placeInKeyOrder(target);
        }
        changed = true;
    }
    if (changed)
        writeHeader();
}

// The index must describe the blocks before it is changed step by step; one
// that does not (left by such an insert, or by another program) is written
// anew.
void TableWriter::checkPrimaryIndex()
{
    if (!primaryIndex_)
        primaryIndex_ = std::make_unique<PrimaryIndex>(image_.primaryIndexPath, image_.header, *image_.journal);
    if (!primaryIndexVerified_) {
        const auto leaves = image_.allLeaves();
        if (!primaryIndex_->describes(leaves))
            primaryIndex_->rebuild(leaves, 0);
        primaryIndexVerified_ = true;
    }
    touched_.clear();
    linked_.clear();
    freed_.clear();
}

} // namespace paradox
