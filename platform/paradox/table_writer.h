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
// (index_file.cpp). It works on the in-memory image of its TableFile, which
// it keeps in step with what it writes.
class TableWriter {
public:
    explicit TableWriter(TableFile& table);
    ~TableWriter();
    TableWriter(const TableWriter&) = delete;
    TableWriter& operator=(const TableWriter&) = delete;

    // What the file looked like changed (a reload): everything learnt about
    // it is to be learnt again before the next write.
    void reset();

    std::vector<uint8_t> insert(const std::vector<Value>& values);
    void insertIndexRecord(std::vector<uint8_t> record, int tableStampBefore, int tableStampAfter);
    void updateIndexEntry(const uint8_t* record);
    void checkPlacement(const std::vector<uint8_t>& record);
    int primaryIndexStamp();

private:
    using BlockRef = TableFile::BlockRef;
    struct Position {
        size_t block;  // chain index
        int index;     // record index in the block
    };

    // The table's side, as the moved code reads it.
    std::string name() const { return table_.name(); }
    bool keyed() const { return table_.keyed(); }
    size_t rowCount() const { return table_.rowCount(); }
    const uint8_t* record(size_t row) const { return table_.record(row); }
    uint8_t* block(int number) { return table_.block(number); }
    const uint8_t* block(int number) const { return table_.block(number); }
    Block view(int number) { return table_.view(number); }
    ConstBlock view(int number) const { return table_.view(number); }
    const uint8_t* blockRecord(const BlockRef& b, int index) const { return table_.blockRecord(b, index); }
    void rebuildRowIndex() { table_.rebuildRowIndex(); }
    void noteWritten();

    // Writing (table_insert.cpp).
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
    int compareKeys(const uint8_t* a, const uint8_t* b) const { return table_.compareKeys(a, b); }
    int keyWidth() const { return table_.keyWidth(); }
    void checkKeyOrderSupported(const uint8_t* record, Position target) const;
    void updatePrimaryIndex();
    // Repair of what was written without a journal (table_repair.cpp).
    void repairUnjournaledInsert();
    void checkPrimaryIndex();
    // Keeping the secondary indexes (index_file.cpp).
    void updateSecondaryIndexes(const std::vector<uint8_t>& rec, int stampBefore);

    TableFile& table_;
    // The table's state this writer changes.
    Header& header_;
    std::vector<uint8_t>& image_;
    std::vector<BlockRef>& chain_;
    const CodePage& codePage_;
    const std::string& path_;

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
