#include "platform/paradox/file_io.h"

#include <cerrno>
#include <unistd.h>

namespace paradox::file_io {
namespace {
WriteObserver observer = nullptr;
}

void setWriteObserver(WriteObserver o) { observer = o; }

bool readAt(int fd, uint8_t* out, size_t n, off_t at)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, out + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += size_t(r);
    }
    return true;
}

bool writeAt(int fd, const uint8_t* data, size_t n, off_t at)
{
    if (observer)
        observer();
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, data + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += size_t(r);
    }
    return true;
}

} // namespace paradox::file_io
