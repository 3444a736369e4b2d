#pragma once

#include "platform/os/file_lock.h"

#include <string>

namespace paradox {

// A lock on a table's open file, shared for reading and exclusive for
// writing, so that two copies of the engine never interleave their writes.
// Waits up to waitMs for another holder, then raises TableInUse naming the file.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock(const os::File& file, Mode mode, const std::string& fileName, int waitMs = 3000);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    os::FileLock lock_;
};

} // namespace paradox
