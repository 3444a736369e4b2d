#include "platform/paradox/file_users.h"

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

bool lockedInProcLocks(const struct stat& target)
{
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        // "1: POSIX  ADVISORY  WRITE 1234 08:01:123456 0 EOF" (entries waiting on a lock carry "->").
        std::istringstream in(line);
        std::string id;
        std::string kind;
        std::string word;
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
        if (inode == target.st_ino && makedev(major, minor) == target.st_dev && std::atol(pid.c_str()) != ::getpid())
            return true;
    }
    return false;
}

bool openByOtherProcess(const struct stat& target)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    const std::string self = std::to_string(::getpid());
    bool found = false;
    while (!found) {
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
            if (st.st_ino == target.st_ino && st.st_dev == target.st_dev) {
                found = true;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

} // namespace

bool fileInUseByOthers(const std::string& path)
{
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0)
        return false;
    return lockedInProcLocks(target) || openByOtherProcess(target);
}

} // namespace paradox
