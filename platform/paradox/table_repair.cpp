// Crash repair: what an insert that was killed halfway left behind is put
// right before the next write, and the primary index is checked against the
// blocks it describes.

#include "platform/paradox/table_file.h"

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
void TableFile::repairAfterCrash()
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

IndexLeaf TableFile::leafOf(int number) const
{
    const ConstBlock b = view(number);
    return {std::vector<uint8_t>(b.record(0), b.record(0) + keyWidth()), uint16_t(number), uint16_t(b.count())};
}

std::vector<IndexLeaf> TableFile::allLeaves() const
{
    std::vector<IndexLeaf> leaves;
    for (const BlockRef& b : chain_)
        if (b.count > 0)
            leaves.push_back(leafOf(b.number));
    return leaves;
}

bool TableFile::primaryIndexAgrees() const
{
    if (!keyed())
        return true;
    return PrimaryIndex(primaryIndexPath_, header_).describes(allLeaves());
}

bool TableFile::inKeyOrder() const
{
    for (size_t r = 1; r < rowCount(); ++r)
        if (compareKeys(record(r - 1), record(r)) >= 0)
            return false;
    return true;
}

// The index must describe the blocks before it is changed step by step; one
// left behind by an interrupted insert is written anew.
void TableFile::checkPrimaryIndex()
{
    if (!primaryIndex_)
        primaryIndex_ = std::make_unique<PrimaryIndex>(primaryIndexPath_, header_);
    if (!primaryIndexVerified_) {
        const auto leaves = allLeaves();
        if (!primaryIndex_->describes(leaves))
            primaryIndex_->rebuild(leaves, 0);
        primaryIndexVerified_ = true;
    }
    touched_.clear();
    linked_.clear();
    freed_.clear();
}

} // namespace paradox
