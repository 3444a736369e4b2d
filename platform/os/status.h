#pragma once

#include <string>

namespace os {

// What an operation on a file came to: done, or the error that stopped it.
// Errors are the codes of <cerrno> (ENOENT, EEXIST, EWOULDBLOCK...), so that
// callers can tell them apart whatever the system; each implementation maps
// its own errors onto them.
class Status {
public:
    Status() = default;
    static Status failure(int error) { return Status(error); }

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    int error() const { return error_; }
    // The system's words for the error.
    std::string text() const;

private:
    explicit Status(int error) : error_(error) {}
    int error_ = 0;
};

} // namespace os
