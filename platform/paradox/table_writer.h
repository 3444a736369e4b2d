#pragma once

#include "platform/paradox/table_file.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace paradox {

class PrimaryIndex;
class SecondaryIndex;
class ValidityChecks;

// Writing one table file: rows placed in its blocks (table_insert.cpp), what
// an earlier version of this program left half-written put right
// (table_repair.cpp), and the file's role as a maintained secondary index
// (index_file.cpp). It changes the image its table reads (TableImage) as it
// writes, and takes the table's locks and transactions through the table.
class TableWriter {
public:
    TableWriter(TableFile& table, TableImage& image);
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // What the file looked like changed (a reload): everything learnt about
    // it is to be learnt again before the next write.
    void reset();

    // Adds one row (values in field order, Blank for none). Raises Error
    // naming the table, the column and the value when the row can't be
    // stored; the files are then left as they were.
    // Returns the stored record.
    std::vector<uint8_t> insert(const std::vector<Value>& values);
    // For maintained secondary index files: adds one entry (a raw record),
    // and changes the block number (the last field) of the entry with the
    // same key. Raise Error like insert.
    // The index records the table's primary-index stamp: when it held the old
    // one, it takes the new one.
    void insertIndexRecord(std::vector<uint8_t> record, int tableStampBefore, int tableStampAfter);
    void updateIndexEntry(const uint8_t* record);
    // Raises Error when the record could not be placed (a duplicate key, a
    // key order this engine cannot decide); writes nothing.
    void checkPlacement(const std::vector<uint8_t>& record);
    // The change stamp of the primary index (0 for an unkeyed table).
    int primaryIndexStamp();

private:
    using BlockRef = TableImage::BlockRef;
    struct Position {
        size_t block;  // chain index
        int index;     // record index in the block
    };

    // Writing (table_insert.cpp).
    // One row in the transaction under way.
    std::vector<uint8_t> insertHeld(const std::vector<Value>& values);
    std::vector<uint8_t> encodeRow(const std::vector<Value>& values);
    // The family of files is looked at once after each load.
    void checkWritable();
    Position findPosition(const uint8_t* key, bool withoutLast) const;
    const uint8_t* before(Position p) const;
    const uint8_t* at(Position p) const;
    void appendAtTail(const uint8_t* record);
    void placeInKeyOrder(Position target);
    void placeRecord(std::vector<uint8_t>& rec);
    void removeTailRecord();
    int allocateBlock();
    void initBlock(int number, int prev, int next);
    void setBlockCount(int number, int count);
    void setNext(int number, int next);
    void setPrev(int number, int prev);
    void writeBlock(int number);
    void writeHeader();
    void bumpChangeCounters();
    void checkKeyOrderSupported(const uint8_t* record, Position target) const;
    void updatePrimaryIndex();
    // Repair of what was written without a journal (table_repair.cpp).
    void repairUnjournaledInsert();
    void checkPrimaryIndex();
    // Keeping the secondary indexes (index_file.cpp).
    void updateSecondaryIndexes(const std::vector<uint8_t>& rec, int stampBefore);

    TableFile& table_;
    TableImage& image_;

    bool repairPending_ = true;
    bool familyChecked_ = false;
    bool primaryIndexVerified_ = false;
    std::unique_ptr<PrimaryIndex> primaryIndex_;
    std::unique_ptr<ValidityChecks> validityChecks_;
    std::vector<std::unique_ptr<SecondaryIndex>> secondaryIndexes_;
    std::vector<int> splitBlocks_;  // blocks a split of this insert filled
    // What one insert changed, for the primary index.
    std::vector<int> touched_;
    std::vector<std::pair<int, int>> linked_;  // (after, new block)
    std::vector<int> freed_;
};

} // namespace paradox
