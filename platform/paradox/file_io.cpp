#include "platform/paradox/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace paradox::file_io {
namespace {
WriteObserver observer = nullptr;
}

void setWriteObserver(WriteObserver o) { observer = o; }

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Status Status::fromErrno() { return Status(errno ? errno : EIO); }

std::string Status::text() const { return std::strerror(error_); }

Error errorOf(const std::string& what, const Status& status) { return Error(what + ": " + status.text()); }

Status open(const std::string& path, int flags, int& fd, mode_t mode)
{
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    return fd < 0 ? Status::fromErrno() : Status();
}

Status readAt(int fd, uint8_t* out, size_t n, off_t at)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, out + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Status::fromErrno();
        if (r == 0)
            return Status::failure(EIO);  // the file ends short
        done += size_t(r);
    }
    return {};
}

Status writeAt(int fd, const uint8_t* data, size_t n, off_t at)
{
    if (observer)
        observer();
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, data + done, n - done, at + off_t(done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Status::fromErrno();
        if (r == 0)
            return Status::failure(ENOSPC);
        done += size_t(r);
    }
    return {};
}

Status createNew(const std::string& path, const std::vector<uint8_t>& data)
{
    int fd = -1;
    if (Status s = open(path, O_WRONLY | O_CREAT | O_EXCL, fd); !s)
        return s;
    const Status written = writeAt(fd, data.data(), data.size(), 0);
    ::close(fd);
    if (!written)
        ::unlink(path.c_str());
    return written;
}

Status replaceWhole(const std::string& path, const std::vector<uint8_t>& data)
{
    const std::string temporary = path + ".tessaly-new";
    int fd = -1;
    Status s = open(temporary, O_WRONLY | O_CREAT | O_TRUNC, fd);
    if (s)
        s = writeAt(fd, data.data(), data.size(), 0);
    if (s && ::fsync(fd) != 0)
        s = Status::fromErrno();
    if (fd >= 0)
        ::close(fd);
    if (s && std::rename(temporary.c_str(), path.c_str()) != 0)
        s = Status::fromErrno();
    if (!s)
        ::unlink(temporary.c_str());
    return s;
}

} // namespace paradox::file_io
