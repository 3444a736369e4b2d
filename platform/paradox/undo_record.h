#pragma once

#include "platform/paradox/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

class TableFile;

// The undo record of a table's last transaction: its journal, which puts back
// every byte and size it changed, and the state it left (the size and a
// checksum of each file it changed), by which a later change is recognised.
std::vector<uint8_t> undoRecord(const std::string& tablePath, const std::vector<uint8_t>& journal);

enum class UndoCheck {
    Ready,       // the family is as the transaction left it
    Changed,     // written since, by another program or run
    NotARecord,  // damaged, or not an undo record
};
UndoCheck checkUndo(const std::string& tablePath, const std::vector<uint8_t>& record);

// Puts the family back as it was before the transaction, through its journal,
// so that an undo cut short is finished by the next opener. Raises Error
// (TableInUse when another program has the table) and changes nothing when
// the family is not ready for it.
void undo(const std::string& tablePath, const std::vector<uint8_t>& record);

// The rows that the undo takes away (those the transaction inserted), as the
// table, open, holds them now.
std::vector<std::vector<Value>> rowsUndoRemoves(TableFile& now, const std::vector<uint8_t>& record);

} // namespace paradox
