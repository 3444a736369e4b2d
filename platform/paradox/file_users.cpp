#include "platform/paradox/file_users.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_names.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace paradox {
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
        if (file && owner != ::getpid())
            visit(kind, owner, *file);
    }
}

// Every other process with one of the files open; stops when visit says so.
template <typename Visit>
void visitOpenFiles(const std::vector<FileId>& ids, Visit visit)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    const std::string self = std::to_string(::getpid());
    bool done = false;
    while (!done) {
        const dirent* p = ::readdir(proc);
        if (!p)
            break;
        const std::string pid = p->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue;
        while (const dirent* f = ::readdir(fds)) {
            struct stat st {};
            if (f->d_name[0] == '.' || ::stat((fdDir + "/" + f->d_name).c_str(), &st) != 0)
                continue;
            if (const FileId* file = findId(ids, st.st_dev, st.st_ino)) {
                done = visit(pid, *file);
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
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

std::vector<std::string> tableFamilyAndControlFiles(const std::string& tablePath)
{
    const std::string dir = folderOf(tablePath);
    const std::string stem = stemOf(tablePath);
    std::vector<std::string> files;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return files;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const size_t dot = name.find_last_of('.');
        const bool family = dot != std::string::npos && equalsIgnoringCase(name.substr(0, dot), stem);
        const bool control = equalsIgnoringCase(name, "PDOXUSRS.NET") || equalsIgnoringCase(name, "PDOXUSRS.LCK")
                          || equalsIgnoringCase(name, "PARADOX.LCK");
        // This engine's own files beside a table (a journal, a file being
        // replaced) are not the host's.
        if ((family || control) && name.find(".tessaly-") == std::string::npos)
            files.push_back(dir + "/" + name);
    }
    ::closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

ForeignUse foreignLock(const std::vector<std::string>& files)
{
    ForeignUse use;
    visitLocks(idsOf(files), [&](const std::string& kind, long pid, const FileId& file) {
        if (use.found || kind == "FLOCK")
            return;
        use = {true, fileNameOf(file.path), pid > 0 ? pid : 0, pid > 0 ? programOf(pid) : std::string(), "bloqueio"};
    });
    return use;
}

ForeignUse foreignOpenFile(const std::vector<std::string>& files)
{
    ForeignUse use;
    const std::string self = exeOf("self");
    visitOpenFiles(idsOf(files), [&](const std::string& pid, const FileId& file) {
        const std::string exe = exeOf(pid);
        const std::string name = fileNameOf(exe);
        if (exe == self || name == "tessaly" || name == "pdx")
            return false;  // another copy of this engine waits on its own lock
        use = {true, fileNameOf(file.path), std::atol(pid.c_str()), programOf(std::atol(pid.c_str())), "arquivo aberto"};
        return true;
    });
    return use;
}

void refuseForeignUse(const std::vector<std::string>& files, const std::string& tableName)
{
    ForeignUse use = foreignLock(files);
    if (!use.found)
        use = foreignOpenFile(files);
    if (!use.found)
        return;
    std::string who = use.program.empty() ? std::string("outro programa") : use.program;
    if (use.pid)
        who += ", processo " + std::to_string(use.pid);
    throw TableInUse("A tabela " + tableName + " está em uso por outro programa (" + who + ": " + use.how + " em "
                     + use.file + "). Feche o aplicativo Pelko e execute a importação novamente.");
}

} // namespace paradox
