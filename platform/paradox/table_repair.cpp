// Crash repair: what an insert that was killed halfway left behind is put
// right before the next write, and the primary index is checked against the
// blocks it describes.

#include "platform/paradox/table_writer.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/secondary_index.h"

#include <cstring>

namespace paradox {

// What an insert killed halfway leaves is looked for once after each load:
// between loads this process keeps the files whole itself.
void TableWriter::repairAfterCrash()
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
// left behind by an interrupted insert is written anew.
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
