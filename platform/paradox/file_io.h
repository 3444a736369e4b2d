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

// Opens path (O_CLOEXEC added); fd is -1 on failure.
Status open(const std::string& path, int flags, int& fd, mode_t mode = 0644);
Status readAt(int fd, uint8_t* out, size_t n, off_t at);
Status writeAt(int fd, const uint8_t* data, size_t n, off_t at);
// A new file that must not exist yet, with data as its content; nothing is
// left behind when it fails.
Status createNew(const std::string& path, const std::vector<uint8_t>& data);
// Replaces the file at path by one holding data, whole or not at all: a file
// beside it, flushed, renamed over it.
Status replaceWhole(const std::string& path, const std::vector<uint8_t>& data);

// Called before every write; a test may end the process there.
using WriteObserver = void (*)();
void setWriteObserver(WriteObserver observer);

} // namespace paradox::file_io
