#include "platform/os/file.h"

#include "platform/os/file_events.h"
#include "platform/os/file_temporary.h"
#include "platform/os/posix_error.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace os {
namespace {

int fdOf(intptr_t handle) { return int(handle); }

int accessFlags(Access access) { return access == Access::Read ? O_RDONLY : O_RDWR; }

Status openFd(const std::string& path, int flags, int& fd, mode_t mode = 0644)
{
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    return fd < 0 ? lastError() : Status();
}

Kind kindOfMode(mode_t m)
{
    if (S_ISREG(m))
        return Kind::Regular;
    if (S_ISDIR(m))
        return Kind::Folder;
    if (S_ISLNK(m))
        return Kind::Link;
    if (S_ISFIFO(m))
        return Kind::Fifo;
    if (S_ISSOCK(m))
        return Kind::Socket;
    if (S_ISCHR(m) || S_ISBLK(m))
        return Kind::Device;
    return Kind::Other;
}

} // namespace

// What the POSIX implementation does inside a File.
struct NativeFile {
    static Status open(const std::string& path, int flags, File& out)
    {
        out.close();
        int fd = -1;
        const Status s = openFd(path, flags, fd);
        if (s)
            out.adopt(fd, path, false);
        return s;
    }
};

void File::close()
{
    if (handle_ != closed)
        ::close(fdOf(handle_));
    handle_ = closed;
}

Status File::open(const std::string& path, Access access, File& out)
{
    return NativeFile::open(path, accessFlags(access), out);
}

Status File::openRegular(const std::string& path, Access access, File& out)
{
    out.close();
    int fd = -1;
    if (Status s = openFd(path, accessFlags(access) | O_NOFOLLOW | O_NONBLOCK, fd); !s)
        return s;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::failure(EINVAL);
    }
    out.adopt(fd, path, false);
    return {};
}

Status File::openOrCreateRegular(const std::string& path, File& out)
{
    out.close();
    int fd = -1;
    if (Status s = openFd(path, O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY, fd); !s)
        return s;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = st.st_mode == 0 ? (errno ? errno : EIO) : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return Status::failure(error);
    }
    out.adopt(fd, path, false);
    return {};
}

Status File::openForReading(const std::string& path, File& out)
{
    return NativeFile::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, out);
}

Status File::createNew(const std::string& path, File& out)
{
    return NativeFile::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, out);
}

Status File::createOrEmpty(const std::string& path, File& out)
{
    return NativeFile::open(path, O_RDWR | O_CREAT | O_TRUNC, out);
}

Status File::createTemporaryFor(const std::string& path, File& out, const Hooks* hooks)
{
    out.close();
    out.tellTo(hooks);
    const std::string shownAs = path + "-new";
    const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.find_last_of('/'));
    if (injected(hooks, Event{Event::Kind::CreateUnnamed, folder}) == 0) {
        int fd = -1;
        if (openFd(folder, O_TMPFILE | O_RDWR, fd)) {
            out.adopt(fd, shownAs, true);
            return {};
        }
    }
    // A name of its own, which no other writer, and no planted file or
    // link, has.
    return createBeside(shownAs, out);
}

namespace {

Identity identityOf(const struct stat& st)
{
    return {uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size),
            int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

Identity File::identity() const
{
    struct stat st {};
    return ::fstat(fdOf(handle_), &st) == 0 ? identityOf(st) : Identity{};
}

Identity identityAt(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? identityOf(st) : Identity{};
}

Kind File::kind() const
{
    struct stat st {};
    return ::fstat(fdOf(handle_), &st) == 0 ? kindOfMode(st.st_mode) : Kind::Unknown;
}

bool File::named() const
{
    struct stat st {};
    return ::fstat(fdOf(handle_), &st) == 0 && st.st_nlink > 0;
}

Status File::readSomeAt(uint8_t* out, size_t n, int64_t at, size_t& got) const
{
    got = 0;
    ssize_t r;
    do
        r = ::pread(fdOf(handle_), out, n, off_t(at));
    while (r < 0 && errno == EINTR);
    if (r < 0)
        return lastError();
    got = size_t(r);
    return {};
}

Status File::writeAt(const uint8_t* data, size_t n, int64_t at) const
{
    if (const int error = tell(hooks_, Event{Event::Kind::Write, path_, at, data, n}))
        return Status::failure(error);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fdOf(handle_), data + done, n - done, off_t(at) + off_t(done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return lastError();
        if (r == 0)
            return Status::failure(ENOSPC);
        done += size_t(r);
    }
    return {};
}

Status File::truncate(int64_t size) const
{
    if (const int error = tell(hooks_, Event{Event::Kind::Truncate, path_, size}))
        return Status::failure(error);
    return ::ftruncate(fdOf(handle_), off_t(size)) == 0 ? Status() : lastError();
}

Status File::sync() const
{
    if (Status s = told(hooks_, Event::Kind::Sync, path_); !s)
        return s;
    return ::fdatasync(fdOf(handle_)) == 0 ? Status() : lastError();
}

Status File::place(const std::string& path)
{
    if (!unnamed_) {
        Status s = rename(path_, path, hooks_);
        if (s)
            path_ = path;
        return s;
    }
    if (Status s = told(hooks_, Event::Kind::Rename, path_, &path); !s)
        return s;
    const std::string self = "/proc/self/fd/" + std::to_string(fdOf(handle_));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return lastError();
    path_ = path;
    unnamed_ = false;
    return {};
}

Status File::tryLock(LockMode mode) const
{
    const int op = mode == LockMode::Shared ? LOCK_SH : LOCK_EX;
    return ::flock(fdOf(handle_), op | LOCK_NB) == 0 ? Status() : lastError();
}

Status File::lock(LockMode mode) const
{
    const int op = mode == LockMode::Shared ? LOCK_SH : LOCK_EX;
    int r;
    do
        r = ::flock(fdOf(handle_), op);
    while (r != 0 && errno == EINTR);
    return r == 0 ? Status() : lastError();
}

void File::unlock() const { ::flock(fdOf(handle_), LOCK_UN); }

namespace {

// Open file description locks: the kind Wine and Samba map Windows
// byte-range locks onto, held by the open file rather than the process.
bool lockWhole(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

} // namespace

Status File::tryLockAgainstForeignWrites() const
{
    return lockWhole(fdOf(handle_), F_WRLCK) ? Status() : lastError();
}

void File::unlockForeignWrites() const { lockWhole(fdOf(handle_), F_UNLCK); }

Status File::reopen(Access access, File& out) const
{
    const std::string self = "/proc/self/fd/" + std::to_string(fdOf(handle_));
    out.close();
    int fd = -1;
    const Status s = openFd(self, accessFlags(access), fd);
    if (s) {
        out.adopt(fd, path_, false);
        out.tellTo(hooks_);
    }
    return s;
}

View::~View()
{
    if (data_)
        ::munmap(data_, size_);
}

Status View::of(const File& file, View& out)
{
    const int64_t size = file.size();
    if (size <= 0)
        return {};
    void* mapped = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fdOf(file.handle_), 0);
    if (mapped == MAP_FAILED)
        return lastError();
    out.data_ = mapped;
    out.size_ = size_t(size);
    return {};
}

Status remove(const std::string& path, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::Remove, path); !s)
        return s;
    return ::unlink(path.c_str()) == 0 ? Status() : lastError();
}

Status rename(const std::string& from, const std::string& to, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::Rename, from, &to); !s)
        return s;
    return std::rename(from.c_str(), to.c_str()) == 0 ? Status() : lastError();
}

Status syncFolder(const std::string& folder, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::SyncFolder, folder); !s)
        return s;
    int fd = -1;
    if (Status s = openFd(folder, O_RDONLY | O_DIRECTORY, fd); !s)
        return s;
    const int r = ::fsync(fd);
    const Status synced = r == 0 ? Status() : lastError();
    ::close(fd);
    return synced;
}

void discard(const std::string& path) { ::unlink(path.c_str()); }

Facts factsOf(const std::string& path, bool followLinks)
{
    struct stat st {};
    const int r = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (r != 0)
        return {errno == ENOENT || errno == ENOTDIR ? Kind::None : Kind::Unknown, 0};
    return {kindOfMode(st.st_mode), uint64_t(st.st_size)};
}

} // namespace os
