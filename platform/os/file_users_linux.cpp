#include "platform/os/file_users.h"

#include "platform/os/folder.h"
#include "platform/os/process.h"

#include <climits>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// What this machine shows of other processes' files: /proc/locks and each
// process's open descriptors under /proc.
namespace os {
namespace {

struct FileId {
    dev_t dev;
    ino_t ino;
    std::string path;
};

std::vector<FileId> idsOf(const std::vector<std::string>& paths)
{
    std::vector<FileId> ids;
    for (const std::string& p : paths) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0)
            ids.push_back({st.st_dev, st.st_ino, p});
    }
    return ids;
}

const FileId* findId(const std::vector<FileId>& ids, dev_t dev, ino_t ino)
{
    for (const FileId& id : ids)
        if (id.dev == dev && id.ino == ino)
            return &id;
    return nullptr;
}

std::string programOf(long pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string exeOf(const std::string& pid)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

// Every lock in /proc/locks on one of the files that is not this process's
// own: kind is POSIX, OFDLCK or FLOCK.
template <typename Visit>
void visitLocks(const std::vector<FileId>& ids, Visit visit)
{
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream in(line);
        std::string id;
        std::string kind;
        in >> id >> kind;
        if (kind == "->")
            in >> kind;
        std::string mode;
        std::string access;
        std::string pid;
        std::string device;
        in >> mode >> access >> pid >> device;
        unsigned major = 0;
        unsigned minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(device.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3)
            continue;
        const FileId* file = findId(ids, makedev(major, minor), ino_t(inode));
        const long owner = std::atol(pid.c_str());
        if (file && owner != processId())
            visit(kind, owner, *file);
    }
}

// Every other process with one of the files open; stops when visit says so.
template <typename Visit>
void visitOpenFiles(const std::vector<FileId>& ids, Visit visit)
{
    std::vector<std::string> processes;
    if (!namesIn("/proc", processes))
        return;
    const std::string self = std::to_string(processId());
    for (const std::string& pid : processes) {
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        std::vector<std::string> fds;
        if (!namesIn(fdDir, fds))
            continue;
        for (const std::string& fd : fds) {
            struct stat st {};
            if (::stat((fdDir + "/" + fd).c_str(), &st) != 0)
                continue;
            if (const FileId* file = findId(ids, st.st_dev, st.st_ino)) {
                if (visit(pid, *file))
                    return;
                break;
            }
        }
    }
}

} // namespace

bool fileInUseByOthers(const std::string& path)
{
    const auto ids = idsOf({path});
    if (ids.empty())
        return false;
    bool used = false;
    visitLocks(ids, [&](const std::string&, long, const FileId&) { used = true; });
    if (!used)
        visitOpenFiles(ids, [&](const std::string&, const FileId&) { return used = true; });
    return used;
}

void removeUnlessInUse(const std::string& folder, const std::string& name, bool folderMayBeLink)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folderMayBeLink ? 0 : O_NOFOLLOW);
    const int dir = ::open(folder.c_str(), flags);
    if (dir < 0)
        return;
    struct stat st {};
    const std::string throughDir = "/proc/self/fd/" + std::to_string(dir) + "/" + name;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
        && !fileInUseByOthers(throughDir))
        ::unlinkat(dir, name.c_str(), 0);
    ::close(dir);
}

bool lockedByOthers(const std::vector<std::string>& files, FileUse& use)
{
    bool found = false;
    visitLocks(idsOf(files), [&](const std::string& kind, long pid, const FileId& file) {
        if (found || kind == "FLOCK")
            return;
        found = true;
        use = {FileUse::How::Lock, file.path, pid > 0 ? pid : 0, pid > 0 ? programOf(pid) : std::string()};
    });
    return found;
}

bool openByOthers(const std::vector<std::string>& files, const std::function<bool(const std::string&)>& ignore,
                  FileUse& use)
{
    bool found = false;
    visitOpenFiles(idsOf(files), [&](const std::string& pid, const FileId& file) {
        if (ignore(exeOf(pid)))
            return false;
        const long number = std::atol(pid.c_str());
        use = {FileUse::How::Open, file.path, number, programOf(number)};
        return found = true;
    });
    return found;
}

std::string ownProgram() { return exeOf("self"); }

} // namespace os
