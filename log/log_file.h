#pragma once

#include "platform/os/file.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The activity log on disk.
//
// After every append the file holds exactly what reading all of its lines
// (CR, LF and CR LF each end a line; a byte-order mark decides the encoding)
// and writing them back as UTF-8 with CR LF after each, plus the new entry,
// would leave. It gets there without rewriting the file: a file that is not
// yet in that form is normalised once (through a temporary file and a rename,
// so a crash leaves the old or the new file whole); after that each call
// writes only its own entry, and a crash can lose at most the entry being
// written.
namespace activity_log {

// What a writer knows of a log it left in normal form: the file's identity
// and, when its last entry carries line breaks of its own, where it starts.
struct KnownState {
    os::Identity file;
    int64_t rawEntryAt = -1;
};

// Appends to logs. It remembers the logs it left in normal form, so that a
// later append to one that nobody else changed meanwhile writes only its
// entry, without looking at the file again.
class Writer {
public:
    // Appends entry (UTF-8) as one item to the log at path, creating the
    // file. Returns false when the file can't be read or written, with the
    // reason in failure when given; nothing is thrown.
    bool append(const std::string& path, std::string_view entry, std::string* failure = nullptr);

private:
    os::Status appendEntry(const std::string& path, std::string_view entry);

    std::map<std::string, KnownState> known_;
};

// What reading the bytes as lines and writing them back gives.
std::string normalised(std::string_view bytes);

} // namespace activity_log
