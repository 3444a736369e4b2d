#pragma once

#include "platform/os/status.h"
#include "platform/paradox/env.h"
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
    Ready,          // the family is as the transaction left it
    AlreadyUndone,  // the family is as before the transaction (an undo, or a
                    // recovery, put it back and the record stayed)
    Changed,        // written since, by another program or run
    NotARecord,     // damaged, or not an undo record
};
UndoCheck checkUndo(const std::string& tablePath, const std::vector<uint8_t>& record);

// The undo record at path, refused before it is read when it is not a
// regular file or is larger than the table's family could have made it.
os::Status readUndoRecord(const std::string& path, const std::string& tablePath, std::vector<uint8_t>& out);

// Puts the family back as it was before the transaction, through its journal,
// so that an undo cut short is finished by the next writer. The table is
// taken as for a write first (no other program using it, TableInUse
// otherwise; locks and fence), a commit cut short is played back
// (recovered), and the record is checked under those locks: the family is
// changed only when the check is Ready, which is returned. The work with the
// disk goes through env.
UndoCheck undo(const std::string& tablePath, const std::vector<uint8_t>& record, bool* recovered = nullptr,
               const Env& env = Env::plain());

// The rows that the undo takes away (those the transaction inserted), as the
// table, open, holds them now.
std::vector<std::vector<Value>> rowsUndoRemoves(TableFile& now, const std::vector<uint8_t>& record);

} // namespace paradox
