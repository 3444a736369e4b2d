#include "platform/os/folder.h"

#include "platform/os/posix_error.h"

#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>

namespace os {

Status namesIn(const std::string& folder, std::vector<std::string>& names)
{
    names.clear();
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return lastError();
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(d);
    return {};
}

Status lookAtFolder(const std::string& folder, bool& isFolder)
{
    isFolder = false;
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return lastError();
    isFolder = S_ISDIR(st.st_mode);
    if (!isFolder)
        return {};
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return lastError();
    ::closedir(d);
    return {};
}

Status heldFolderName(const std::string& folder, std::string& out)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    out = "/proc/self/fd/" + std::to_string(fd);
    return {};
}

std::string_view pathSeparators() { return "/"; }

} // namespace os
