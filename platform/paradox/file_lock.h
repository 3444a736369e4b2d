#pragma once

#include <string>

namespace paradox {

// An advisory lock on an open file (flock), shared for reading and exclusive
// for writing, so that two copies of the engine never interleave their writes.
// Waits up to waitMs for another holder, then raises TableInUse naming the file.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock(int fd, Mode mode, const std::string& fileName, int waitMs = 3000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
    bool ownDescriptor_ = false;  // the lock came on a descriptor of its own
};

} // namespace paradox
