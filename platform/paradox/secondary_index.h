#pragma once

#include "platform/paradox/header.h"

#include <memory>
#include <string>
#include <vector>

namespace paradox {

class TableFile;

// A secondary index that the host keeps up to date (.Xnn single-field,
// .XGn named): a sorted table of [indexed fields][primary key][block number]
// with its own index (.Ynn/.YGn). Every new row of the table gets its entry,
// and rows that a block split moved get their new block number.
class SecondaryIndex {
public:
    // Opens the index of the table. Raises Error naming the file for a kind
    // this engine cannot keep (descending fields) or one that does not fit the
    // table. Whether a named index compares text without regard to case is
    // not recorded anywhere known: its entries are placed only where both
    // rules agree (see TableFile's key-order check).
    // Its files are read and written through the table's journal.
    SecondaryIndex(const std::string& path, TableFile& table);
    ~SecondaryIndex();

    const std::string& path() const { return path_; }

    // Raises Error when the index does not list every row of the table, in
    // its block, exactly once (an interrupted write, or another program's).
    void verify(const TableFile& table) const;

    // The entry of a table record that lives in a data block.
    std::vector<uint8_t> entryOf(const uint8_t* record, int block) const;

    // Raises Error when the record's entry could not be placed.
    void check(const uint8_t* record);
    void add(const uint8_t* record, int block, int tableStampBefore, int tableStampAfter);
    void moved(const uint8_t* record, int block);

private:
    std::string path_;
    std::unique_ptr<TableFile> index_;
    std::vector<const Field*> indexed_;  // table fields, in index order
    std::vector<const Field*> key_;      // the table's primary key fields
};

} // namespace paradox
