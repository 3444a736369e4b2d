#include "platform/os/file.h"

#include "platform/os/file_events.h"
#include "platform/os/file_temporary.h"
#include "platform/os/win32_error.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

// Files through the Win32 API, paths widened to UTF-16 at every call. Every
// file is opened sharing reading, writing and deleting with others, so that
// it behaves as a POSIX descriptor does (a rename over an open file works);
// only the detection of other programs' use opens without sharing.
namespace os {
namespace {

HANDLE handleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD accessOf(Access access) { return access == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE; }

Status openHandle(const std::string& path, DWORD access, DWORD disposition, DWORD flags, HANDLE& out)
{
    bool valid = true;
    const std::wstring wide = widen(path, &valid);
    if (!valid)
        return Status::failure(EINVAL);
    out = CreateFileW(wide.c_str(), access, shareAll, nullptr, disposition, flags, nullptr);
    return out == INVALID_HANDLE_VALUE ? lastWin32Error() : Status();
}

Kind kindOfHandle(HANDLE handle)
{
    switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE:
        return Kind::Fifo;
    case FILE_TYPE_CHAR:
        return Kind::Device;
    case FILE_TYPE_DISK:
        break;
    default:
        return Kind::Unknown;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return Kind::Unknown;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Kind::Link;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Kind::Folder;
    return Kind::Regular;
}

// 100-nanosecond ticks since 1601 to nanoseconds since 1970.
int64_t nanosecondsOf(FILETIME time)
{
    const int64_t ticks = int64_t((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

Identity identityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    return {info.dwVolumeSerialNumber, (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow), nanosecondsOf(info.ftLastWriteTime)};
}

OVERLAPPED at(int64_t offset)
{
    OVERLAPPED o{};
    o.Offset = DWORD(uint64_t(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = DWORD(uint64_t(offset) >> 32);
    return o;
}

// The byte the whole-file advisory lock of File::tryLock takes. Windows
// locks are mandatory, so this one lies far beyond any data: it keeps out
// other copies of this program that ask for it, and no reader or writer.
constexpr int64_t advisoryLockByte = int64_t(0x7FFFFFFF) << 32;

Status lockRange(HANDLE handle, DWORD flags, int64_t from, uint64_t length)
{
    OVERLAPPED o = at(from);
    if (LockFileEx(handle, flags, 0, DWORD(length & 0xFFFFFFFFu), DWORD(length >> 32), &o))
        return {};
    return lastWin32Error();
}

void unlockRange(HANDLE handle, int64_t from, uint64_t length)
{
    OVERLAPPED o = at(from);
    UnlockFileEx(handle, 0, DWORD(length & 0xFFFFFFFFu), DWORD(length >> 32), &o);
}

} // namespace

// What the Win32 implementation does inside a File.
struct NativeFile {
    static Status open(const std::string& path, DWORD access, DWORD disposition, DWORD flags, File& out)
    {
        out.close();
        HANDLE h = INVALID_HANDLE_VALUE;
        const Status s = openHandle(path, access, disposition, flags, h);
        if (s)
            out.adopt(reinterpret_cast<intptr_t>(h), path, false);
        return s;
    }
    // As open(), keeping the file only when it is a regular one.
    static Status openRegular(const std::string& path, DWORD access, DWORD disposition, File& out)
    {
        const DWORD attributes = GetFileAttributesW(widen(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status::failure(disposition == OPEN_EXISTING ? EINVAL : EISDIR);
        if (Status s = open(path, access, disposition, FILE_FLAG_OPEN_REPARSE_POINT, out); !s)
            return s;
        if (const Kind kind = out.kind(); kind != Kind::Regular) {
            out.close();
            return Status::failure(kind == Kind::Link ? ELOOP : EINVAL);
        }
        return {};
    }
};

void File::close()
{
    if (handle_ != closed)
        CloseHandle(handleOf(handle_));
    handle_ = closed;
}

Status File::open(const std::string& path, Access access, File& out)
{
    return NativeFile::open(path, accessOf(access), OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, out);
}

Status File::openRegular(const std::string& path, Access access, File& out)
{
    return NativeFile::openRegular(path, accessOf(access), OPEN_EXISTING, out);
}

Status File::openOrCreateRegular(const std::string& path, File& out)
{
    return NativeFile::openRegular(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, out);
}

Status File::openForReading(const std::string& path, File& out)
{
    return NativeFile::open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, out);
}

Status File::createNew(const std::string& path, File& out)
{
    return NativeFile::open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, out);
}

Status File::createOrEmpty(const std::string& path, File& out)
{
    return NativeFile::open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, out);
}

Status File::createTemporaryFor(const std::string& path, File& out, const Hooks* hooks)
{
    // Windows has no files without a name: always one of its own beside
    // path, which no other writer, and no planted file or link, has.
    out.close();
    out.tellTo(hooks);
    const std::string shownAs = path + "-new";
    return createBeside(shownAs, out);
}

Identity File::identity() const { return identityOfHandle(handleOf(handle_)); }

Identity identityAt(const std::string& path)
{
    HANDLE h = INVALID_HANDLE_VALUE;
    if (!openHandle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, h))
        return {};
    const Identity identity = identityOfHandle(h);
    CloseHandle(h);
    return identity;
}

Kind File::kind() const { return kindOfHandle(handleOf(handle_)); }

bool File::named() const
{
    FILE_STANDARD_INFO info{};
    if (!GetFileInformationByHandleEx(handleOf(handle_), FileStandardInfo, &info, sizeof info))
        return false;
    return info.NumberOfLinks > 0 && !info.DeletePending;
}

Status File::readSomeAt(uint8_t* out, size_t n, int64_t offset, size_t& got) const
{
    got = 0;
    OVERLAPPED o = at(offset);
    DWORD read = 0;
    const DWORD want = DWORD(std::min<size_t>(n, 0x40000000));
    if (!ReadFile(handleOf(handle_), out, want, &read, &o)) {
        if (GetLastError() == ERROR_HANDLE_EOF)
            return {};
        return lastWin32Error();
    }
    got = read;
    return {};
}

Status File::writeAt(const uint8_t* data, size_t n, int64_t offset) const
{
    if (const int error = tell(hooks_, Event{Event::Kind::Write, path_, offset, data, n}))
        return Status::failure(error);
    size_t done = 0;
    while (done < n) {
        OVERLAPPED o = at(offset + int64_t(done));
        DWORD written = 0;
        const DWORD want = DWORD(std::min<size_t>(n - done, 0x40000000));
        if (!WriteFile(handleOf(handle_), data + done, want, &written, &o))
            return lastWin32Error();
        if (written == 0)
            return Status::failure(ENOSPC);
        done += written;
    }
    return {};
}

Status File::truncate(int64_t size) const
{
    if (const int error = tell(hooks_, Event{Event::Kind::Truncate, path_, size}))
        return Status::failure(error);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end) ? Status()
                                                                                               : lastWin32Error();
}

Status File::sync() const
{
    if (Status s = told(hooks_, Event::Kind::Sync, path_); !s)
        return s;
    return FlushFileBuffers(handleOf(handle_)) ? Status() : lastWin32Error();
}

Status File::place(const std::string& path)
{
    Status s = rename(path_, path, hooks_);
    if (s)
        path_ = path;
    return s;
}

Status File::tryLock(LockMode mode) const
{
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return lockRange(handleOf(handle_), flags, advisoryLockByte, 1);
}

Status File::lock(LockMode mode) const
{
    return lockRange(handleOf(handle_), mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, advisoryLockByte, 1);
}

void File::unlock() const { unlockRange(handleOf(handle_), advisoryLockByte, 1); }

// The whole file's range, as the host's engine locks ranges of it: other
// handles can then neither lock nor write there, and the lock answers with
// EAGAIN while another holds any part of it.
Status File::tryLockAgainstForeignWrites() const
{
    const Status s = lockRange(handleOf(handle_), LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0,
                               uint64_t(advisoryLockByte));
    return s || s.error() != EWOULDBLOCK ? s : Status::failure(EAGAIN);
}

void File::unlockForeignWrites() const { unlockRange(handleOf(handle_), 0, uint64_t(advisoryLockByte)); }

Status File::reopen(Access access, File& out) const
{
    out.close();
    const HANDLE h = ReOpenFile(handleOf(handle_), accessOf(access), shareAll, 0);
    if (h == INVALID_HANDLE_VALUE)
        return lastWin32Error();
    out.adopt(reinterpret_cast<intptr_t>(h), path_, false);
    out.tellTo(hooks_);
    return {};
}

View::~View()
{
    if (data_)
        UnmapViewOfFile(data_);
}

Status View::of(const File& file, View& out)
{
    const int64_t size = file.size();
    if (size <= 0)
        return {};
    const HANDLE mapping = CreateFileMappingW(handleOf(file.handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return lastWin32Error();
    void* mapped = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size_t(size));
    const Status s = mapped ? Status() : lastWin32Error();
    CloseHandle(mapping);  // the view keeps the mapping alive
    if (s) {
        out.data_ = mapped;
        out.size_ = size_t(size);
    }
    return s;
}

Status remove(const std::string& path, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::Remove, path); !s)
        return s;
    return DeleteFileW(widen(path).c_str()) ? Status() : lastWin32Error();
}

Status rename(const std::string& from, const std::string& to, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::Rename, from, &to); !s)
        return s;
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? Status()
               : lastWin32Error();
}

// A folder's entries cannot be flushed on Windows; renames are written
// through (MOVEFILE_WRITE_THROUGH) and the file system journals its names.
// The change is still told, so that tests see the same order as elsewhere.
Status syncFolder(const std::string& folder, const Hooks* hooks)
{
    if (Status s = told(hooks, Event::Kind::SyncFolder, folder); !s)
        return s;
    const DWORD attributes = GetFileAttributesW(widen(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastWin32Error();
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? Status() : Status::failure(ENOTDIR);
}

void discard(const std::string& path) { DeleteFileW(widen(path).c_str()); }

// The mode words of the folder search are POSIX ones whatever the system.
Kind kindOfMode(uint32_t mode)
{
    switch (mode & 0170000u) {
    case 0100000u:
        return Kind::Regular;
    case 0040000u:
        return Kind::Folder;
    case 0120000u:
        return Kind::Link;
    case 0010000u:
        return Kind::Fifo;
    case 0140000u:
        return Kind::Socket;
    case 0020000u:
    case 0060000u:
        return Kind::Device;
    default:
        return Kind::Other;
    }
}

Facts factsOf(const std::string& path, bool followLinks)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::None : Kind::Unknown, 0};
    }
    const uint64_t size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !followLinks) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return {Kind::Link, size};
        return {data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? Kind::Folder : Kind::Regular, size};
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    if (!openHandle(path, 0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, h))
        return {Kind::Unknown, 0};
    const Kind kind = kindOfHandle(h);
    const Identity identity = identityOfHandle(h);
    CloseHandle(h);
    return {kind, uint64_t(identity.size)};
}

} // namespace os
