#include "platform/os/file_users.h"

#include "platform/os/win32_error.h"

#include <windows.h>

// What Windows shows of other programs' files: an open without any sharing
// fails with ERROR_SHARING_VIOLATION while another handle is open on the
// file, and a lock over the file's range fails while another holds part of
// it. The system does not say whose they are (pid 0, no program), and this
// process's own other handles count as well: callers close theirs first.
namespace os {
namespace {

enum class Probe { Free, Busy, Missing };

Probe probeOpen(const std::string& path)
{
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return Probe::Free;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? Probe::Busy : Probe::Missing;
}

bool rangeLocked(const std::string& path)
{
    const HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // The range of the data, below the byte of File::tryLock, which copies
    // of this program hold.
    OVERLAPPED o{};
    const bool locked = !LockFileEx(h, LOCKFILE_FAIL_IMMEDIATELY | LOCKFILE_EXCLUSIVE_LOCK, 0, 0, 0x7FFFFFFFu, &o);
    if (!locked)
        UnlockFileEx(h, 0, 0, 0x7FFFFFFFu, &o);
    CloseHandle(h);
    return locked;
}

} // namespace

// Any handle counts, this process's own included.
bool fileInUseByOthers(const std::string& path) { return probeOpen(path) == Probe::Busy; }

// A file another program holds open without letting it go cannot be deleted
// on Windows anyway; the probe first spares one it holds with every sharing.
void removeUnlessInUse(const std::string& folder, const std::string& name, bool folderMayBeLink)
{
    const DWORD folderAttributes = GetFileAttributesW(widen(folder).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || (!folderMayBeLink && (folderAttributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return;
    const std::string path = folder + '\\' + name;
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return;
    if (probeOpen(path) == Probe::Free && !rangeLocked(path))
        DeleteFileW(widen(path).c_str());
}

bool lockedByOthers(const std::vector<std::string>& files, FileUse& use)
{
    for (const std::string& path : files) {
        if (rangeLocked(path)) {
            use = FileUse{FileUse::How::Lock, path, 0, {}};
            return true;
        }
    }
    return false;
}

// An open without sharing fails on this process's own handles as on any
// other's, and the engine looks while it holds the table open: such a probe
// would refuse every run. Until the engine looks before it opens, other
// programs are found by their locks alone (lockedByOthers, and the fence,
// which meets them).
bool openByOthers(const std::vector<std::string>&, const std::function<bool(const std::string&)>&, FileUse&)
{
    return false;
}

std::string ownProgram()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace os
