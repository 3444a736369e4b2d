#include "platform/paradox/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace paradox::file_io {
namespace {
WriteObserver observer = nullptr;
FaultInjector injector = nullptr;
}

void setWriteObserver(WriteObserver o) { observer = o; }
void setFaultInjector(FaultInjector f) { injector = f; }

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

Status openRegular(const std::string& path, int flags, int& fd)
{
    if (Status s = open(path, flags | O_NOFOLLOW | O_NONBLOCK, fd); !s)
        return s;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        fd = -1;
        return Status::failure(EINVAL);
    }
    return {};
}

Status readRegular(const std::string& path, uint64_t limit, std::vector<uint8_t>& out)
{
    int fd = -1;
    if (Status s = openRegular(path, O_RDONLY, fd); !s)
        return s;
    const Descriptor held(fd);
    if (uint64_t(std::max<off_t>(identityOf(fd).size, 0)) > limit)
        return Status::failure(EFBIG);
    return readWhole(fd, out);
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

namespace {
const std::string unnamed;

// Tells the observer of a change about to be made; an error the injector
// gives instead of making it (0: made).
int tell(Event::Kind kind, const std::string& path, off_t at = 0, const uint8_t* data = nullptr, size_t size = 0,
         const std::string* target = nullptr)
{
    const Event event{kind, path, at, data, size, target};
    if (injector)
        if (const int error = injector(event))
            return error;
    if (observer)
        observer(event);
    return 0;
}

Status writeAll(int fd, const uint8_t* data, size_t n, off_t at)
{
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
} // namespace

Identity identityOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    return {st.st_dev, st.st_ino, st.st_size, int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

Status readWhole(int fd, std::vector<uint8_t>& out)
{
    out.assign(size_t(std::max<off_t>(identityOf(fd).size, 0)), 0);
    return readAt(fd, out.data(), out.size(), 0);
}

Status readToEnd(int fd, std::vector<uint8_t>& out)
{
    out.clear();
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t r = ::pread(fd, buffer, sizeof buffer, off_t(out.size()));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Status::fromErrno();
        if (r == 0)
            return {};
        out.insert(out.end(), buffer, buffer + r);
    }
}

Status writeAt(int fd, const uint8_t* data, size_t n, off_t at) { return writeAt(unnamed, fd, data, n, at); }

Status writeAt(const std::string& path, int fd, const uint8_t* data, size_t n, off_t at)
{
    if (const int error = tell(Event::Kind::Write, path, at, data, n))
        return Status::failure(error);
    return writeAll(fd, data, n, at);
}

Status truncate(const std::string& path, int fd, off_t size)
{
    if (const int error = tell(Event::Kind::Truncate, path, size))
        return Status::failure(error);
    return ::ftruncate(fd, size) == 0 ? Status() : Status::fromErrno();
}

Status sync(const std::string& path, int fd)
{
    if (const int error = tell(Event::Kind::Sync, path))
        return Status::failure(error);
    return ::fdatasync(fd) == 0 ? Status() : Status::fromErrno();
}

Status syncFolder(const std::string& folder)
{
    if (const int error = tell(Event::Kind::SyncFolder, folder))
        return Status::failure(error);
    int fd = -1;
    if (Status s = open(folder, O_RDONLY | O_DIRECTORY, fd); !s)
        return s;
    const Descriptor held(fd);
    return ::fsync(fd) == 0 ? Status() : Status::fromErrno();
}

Status remove(const std::string& path)
{
    if (const int error = tell(Event::Kind::Remove, path))
        return Status::failure(error);
    return ::unlink(path.c_str()) == 0 ? Status() : Status::fromErrno();
}

Status rename(const std::string& from, const std::string& to)
{
    if (const int error = tell(Event::Kind::Rename, from, 0, nullptr, 0, &to))
        return Status::failure(error);
    return std::rename(from.c_str(), to.c_str()) == 0 ? Status() : Status::fromErrno();
}

Status openUnnamed(const std::string& folder, int& fd)
{
    fd = -1;
    if (injector)
        if (const int error = injector(Event{Event::Kind::CreateUnnamed, folder}))
            return Status::failure(error);
    return open(folder, O_TMPFILE | O_RDWR, fd, 0644);
}

Status nameFile(int fd, const std::string& shownAs, const std::string& path)
{
    if (const int error = tell(Event::Kind::Rename, shownAs, 0, nullptr, 0, &path))
        return Status::failure(error);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? Status()
                                                                                            : Status::fromErrno();
}

Status createNew(const std::string& path, const std::vector<uint8_t>& data)
{
    int fd = -1;
    if (Status s = open(path, O_WRONLY | O_CREAT | O_EXCL, fd); !s)
        return s;
    const Status written = writeAt(path, fd, data.data(), data.size(), 0);
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
        s = writeAt(temporary, fd, data.data(), data.size(), 0);
    if (s)
        s = sync(temporary, fd);
    if (fd >= 0)
        ::close(fd);
    if (s)
        s = rename(temporary, path);
    if (!s)
        ::unlink(temporary.c_str());
    return s;
}

} // namespace paradox::file_io
