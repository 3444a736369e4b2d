#include "platform/os/folder.h"

#include "platform/os/posix_error.h"

#include <dirent.h>
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

std::string_view pathSeparators() { return "/"; }

} // namespace os
