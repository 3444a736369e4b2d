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
    for (const BlockRef& b : chain_)
        total += b.count;
    bool changed = false;
    while (total > header_.recordCount) {
        removeTailRecord();
        --total;
        changed = true;
    }
    for (size_t i = 0; i < chain_.size(); ++i) {
        const int prev = i == 0 ? 0 : chain_[i - 1].number;
        if (bytes::u16le(block(chain_[i].number) + 2) != prev) {
            setPrev(chain_[i].number, prev);
            writeBlock(chain_[i].number);
        }
    }
    const size_t rows = rowCount();
    if (keyed() && rows >= 2
        && compareKeys(record(rows - 1), record(rows - 2)) < 0) {
        const Position target = findPosition(record(rows - 1), true);
        const uint8_t* previous = before(target);
        const bool duplicate = previous && compareKeys(previous, record(rows - 1)) == 0;
        if (duplicate) {
            --header_.recordCount;
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
        primaryIndex_ = std::make_unique<PrimaryIndex>(table_.primaryIndexPath_, header_, *table_.journal_);
    if (!primaryIndexVerified_) {
        const auto leaves = table_.allLeaves();
        if (!primaryIndex_->describes(leaves))
            primaryIndex_->rebuild(leaves, 0);
        primaryIndexVerified_ = true;
    }
    touched_.clear();
    linked_.clear();
    freed_.clear();
}

} // namespace paradox
