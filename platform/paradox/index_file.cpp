// A table file in its role as a maintained secondary index (.Xnn, .XGn):
// entries placed and changed for the rows of its table, and the table's side
// of keeping those indexes.

#include "platform/paradox/table_writer.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/secondary_index.h"

#include <cstring>

namespace paradox {

void TableWriter::checkPlacement(const std::vector<uint8_t>& rec)
{
    const auto held = table_.lock(FileLock::Mode::Shared);
    table_.refresh();
    const Position target = findPosition(rec.data(), false);
    const uint8_t* previous = before(target);
    if (previous && image_.compareKeys(previous, rec.data()) == 0)
        throw Error("Chave duplicada no índice " + image_.name() + ".");
    checkKeyOrderSupported(rec.data(), target);
}

void TableWriter::updateSecondaryIndexes(const std::vector<uint8_t>& rec, int stampBefore)
{
    if (secondaryIndexes_.empty())
        return;
    const int stampAfter = primaryIndexStamp();
    const Position p = findPosition(rec.data(), false);
    const int block = image_.chain[p.block].number;
    const size_t width = size_t(image_.header.recordSize);
    for (const auto& index : secondaryIndexes_) {
        index->add(rec.data(), block, stampBefore, stampAfter);
        for (int moved : splitBlocks_) {
            const ConstBlock b = image_.view(moved);
            for (int i = 0; i < b.count(); ++i) {
                const uint8_t* r = b.record(i);
                if (std::memcmp(r, rec.data(), width) != 0)
                    index->moved(r, moved);
            }
        }
    }
}

void TableWriter::insertIndexRecord(std::vector<uint8_t> record, int tableStampBefore, int tableStampAfter)
{
    const auto held = table_.lock(FileLock::Mode::Exclusive);
    table_.refresh();
    uint8_t& stamp = image_.header.raw[0x2F];
    if (stamp == uint8_t(tableStampBefore))
        stamp = uint8_t(tableStampAfter);
    placeRecord(record);
}

void TableWriter::updateIndexEntry(const uint8_t* record)
{
    const auto held = table_.lock(FileLock::Mode::Exclusive);
    table_.refresh();
    checkPrimaryIndex();
    const size_t width = size_t(image_.header.recordSize);
    const Position p = findPosition(record, false);
    if (!before(p) || image_.compareKeys(before(p), record) != 0)
        throw Error("O índice " + image_.name() + " não tem a entrada de uma linha da tabela.");
    uint8_t* entry = image_.view(image_.chain[p.block].number).record(p.index - 1);
    std::memcpy(entry + width - 2, record + width - 2, 2);
    writeBlock(image_.chain[p.block].number);
    bumpChangeCounters();
    writeHeader();
    primaryIndex_->update({}, {}, 1);
    ++image_.generation;
}

} // namespace paradox
