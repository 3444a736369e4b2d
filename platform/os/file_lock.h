#pragma once

#include "platform/os/file.h"

#include <chrono>

namespace os {

// An advisory lock on an open file (File::tryLock) that waits a bounded time
// for another holder. Released when it goes; it must not outlive the file.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock, waiting up to wait while another holds it: ETIMEDOUT
    // when it is still held then.
    Status acquire(const File& file, LockMode mode, std::chrono::milliseconds wait);

private:
    const File* file_ = nullptr;  // the lock came on the file itself
    File own_;                    // or on an opening of its own
};

} // namespace os
