#pragma once

#include "platform/paradox/error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// The one place where the engine opens, reads, writes and replaces its files,
// so that an OS error is turned into the engine's error one way, and tests
// can stop a writer between any two writes.
namespace paradox::file_io {

// What an operation on a file came to: done, or the OS error that stopped it.
class Status {
public:
    Status() = default;
    static Status fromErrno();
    static Status failure(int error) { return Status(error); }

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    int error() const { return error_; }
    // The OS's words for the error.
    std::string text() const;

private:
    explicit Status(int error) : error_(error) {}
    int error_ = 0;
};

// An open file, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The engine's error for what failed: "what: reason".
Error errorOf(const std::string& what, const Status& status);

// What identifies a file's content without reading it: which file, its size
// and time of change.
struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    bool operator==(const Identity&) const = default;
};
// The identity of the open file; all zero when it can't be had.
Identity identityOf(int fd);

// Opens path (O_CLOEXEC added); fd is -1 on failure.
Status open(const std::string& path, int flags, int& fd, mode_t mode = 0644);
// Opens a regular file only: never through a link, never waiting on a FIFO
// or a device (EINVAL for anything else than a regular file).
Status openRegular(const std::string& path, int flags, int& fd);
// The whole content of a regular file no larger than limit (EFBIG when it
// is larger, checked before anything is read).
Status readRegular(const std::string& path, uint64_t limit, std::vector<uint8_t>& out);
Status readAt(int fd, uint8_t* out, size_t n, off_t at);
// The whole content of the open file.
Status readWhole(int fd, std::vector<uint8_t>& out);
// The content of the open file read up to its end, past the size the system
// gives (none, for the files of /proc).
Status readToEnd(int fd, std::vector<uint8_t>& out);
Status writeAt(int fd, const uint8_t* data, size_t n, off_t at);
// A new file that must not exist yet, with data as its content; nothing is
// left behind when it fails.
Status createNew(const std::string& path, const std::vector<uint8_t>& data);
// Replaces the file at path by one holding data, whole or not at all: a file
// beside it, flushed, renamed over it.
Status replaceWhole(const std::string& path, const std::vector<uint8_t>& data);

// The changes to files that must reach the disk in order: each is passed to
// the observer before it is made, with the file's path when the caller
// names it.
struct Event {
    enum class Kind { Write, Truncate, Sync, Remove, Rename, SyncFolder, CreateUnnamed };
    Kind kind;
    const std::string& path;
    off_t at = 0;  // Write: where; Truncate: the new size
    const uint8_t* data = nullptr;
    size_t size = 0;
    const std::string* target = nullptr;  // Rename: the new name
};

// The same operations, told to the observer with the path they concern.
Status writeAt(const std::string& path, int fd, const uint8_t* data, size_t n, off_t at);
Status truncate(const std::string& path, int fd, off_t size);
// The file's data on the disk (fdatasync).
Status sync(const std::string& path, int fd);
// The names in the folder on the disk: a created, renamed or removed entry.
Status syncFolder(const std::string& folder);
Status remove(const std::string& path);
Status rename(const std::string& from, const std::string& to);
// A new file in folder without a name (O_TMPFILE), where the file system has
// them; fd is -1 otherwise.
Status openUnnamed(const std::string& folder, int& fd);
// Gives such a file its name, which must be free; told as a rename from
// shownAs, the name its writes were told under.
Status nameFile(int fd, const std::string& shownAs, const std::string& path);

// Called before every change; a test may end the process there, or record
// the changes to replay them as a power cut might have left the disk.
using WriteObserver = void (*)(const Event&);
void setWriteObserver(WriteObserver observer);
// For tests of failures: an OS error to give instead of making the change
// (a disk that fails), 0 to make it. Also asked before an unnamed file is
// made (CreateUnnamed, never told to the observer).
using FaultInjector = int (*)(const Event&);
void setFaultInjector(FaultInjector injector);

} // namespace paradox::file_io
