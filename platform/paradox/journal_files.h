#pragma once

#include "platform/paradox/error.h"
#include "platform/paradox/journal_record.h"

#include "platform/os/file.h"

#include <string>
#include <vector>

// What the journal does to files on the disk, shared by committing and by
// recovering: inside the engine only. Every change is told to hooks.
namespace paradox {

// The engine's error for a journal's file: "what path: reason".
Error journalFailure(const std::string& what, const std::string& path, const os::Status& status);

// Puts the journal bytes at journalPath whole or not at all, the folder
// flushed; the file returned holds the journal's lock, which tells others
// that its writer lives. Raises Error, leaving nothing, when it fails.
os::File placeJournal(const std::string& journalPath, const std::vector<uint8_t>& bytes, const os::Hooks* hooks);

// Puts into the files of folder their original bytes and sizes (pages 'P')
// or their committed ones ('C'), each file flushed.
os::Status restoreFiles(const std::string& folder, const std::vector<JournalRecord>& records, char pages,
                        const os::Hooks* hooks);

// Removes the journal, the folder flushed: the moment of the commit, or the
// end of a playback.
os::Status removeJournal(const std::string& journalPath, const os::Hooks* hooks);

} // namespace paradox
