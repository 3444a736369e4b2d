#include "platform/paradox/file_names.h"

#include "platform/os/folder.h"

#include <algorithm>
#include <cctype>

namespace paradox {

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of(os::pathSeparators());
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stemOf(const std::string& path)
{
    std::string name = fileNameOf(path);
    return name.substr(0, name.find_last_of('.'));
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of(os::pathSeparators());
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string findIgnoringCase(const std::string& folder, const std::string& name)
{
    const std::string dir = folder.empty() ? std::string(".") : folder;
    std::vector<std::string> names;
    if (!os::namesIn(dir, names))
        return {};
    for (const std::string& entry : names)
        if (equalsIgnoringCase(entry, name))
            return dir + "/" + entry;
    return {};
}

} // namespace paradox
