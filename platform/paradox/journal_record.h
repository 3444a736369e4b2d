#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The journal's bytes and the records they hold (FORMAT.md has the layout),
// apart from what writes, reads and plays back journals on the disk. The
// undo record of a run is a journal too.
namespace paradox {

// One record of a journal.
struct JournalRecord {
    // 'F' a file's sizes, 'P' original bytes, 'C' committed bytes, 'S' a state
    char kind;
    std::string name;
    uint64_t value = 0;  // F: original size; P, C: offset; S: size
    uint64_t check = 0;  // F: committed size; S: checksum
    std::vector<uint8_t> bytes;
};

// Records sealed into journal bytes.
std::vector<uint8_t> writeJournal(const std::vector<JournalRecord>& records);
// The records of sealed journal bytes; empty when the bytes are not a
// sealed journal or a record in them is malformed.
std::vector<JournalRecord> readJournal(const std::vector<uint8_t>& journal);
// Whether the bytes end in a seal that covers them: a journal without one
// was cut short while it was written, before any file was changed.
bool journalSealed(const std::vector<uint8_t>& journal);
// A 64-bit checksum of bytes (not cryptographic), continuing from seed.
uint64_t checksumOf(const uint8_t* data, size_t n, uint64_t seed = 0);

} // namespace paradox
