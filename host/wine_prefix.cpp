#include "host/wine_prefix.h"

#include "platform/text/utf8_text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.ends_with('/'))
        path.pop_back();
    return path;
}

// The home folder, written plainly; the root when $HOME is unset.
std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return "/";
    return withoutTrailingSlashes(fs::path(home).lexically_normal().string());
}

bool isFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// The folder that holds path: "/" for a path right below the root.
std::string parentOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

} // namespace

WinePrefix::WinePrefix()
{
    const char* prefix = std::getenv("WINEPREFIX");
    root_ = withoutTrailingSlashes(prefix && *prefix ? std::string(prefix) : homeFolder() + "/.wine");
}

std::string matchCaseInsensitive(const std::string& folder, const std::string& name)
{
    std::error_code error;
    if (fs::exists(folder + '/' + name, error))
        return name;
    std::vector<std::string> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path().filename().string());
    // In a fixed order, should more than one match.
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries)
        if (text::equalsIgnoringCase(entry, name))
            return entry;
    return name;
}

std::string WinePrefix::nativePath(const std::string& windowsPath, const std::string& relativeTo) const
{
    std::string rest = windowsPath;
    std::string base;
    if (rest.size() >= 2 && rest[1] == ':' && isAsciiLetter(rest[0])) {
        const std::string drive {char(rest[0] | 0x20), ':'};
        rest = rest.substr(2);
        base = root_ + "/dosdevices/" + drive;
        if (!isFolder(base) && drive == "c:")
            base = root_ + "/drive_c";
        if (!isFolder(base))
            return {};
        std::error_code error;
        base = fs::canonical(base, error).string();
        if (error)
            return {};
    } else if (rest.starts_with("\\\\")) {
        return {};
    } else if (rest.starts_with('\\')) {
        base = root_ + "/drive_c";
    } else {
        base = relativeTo;
        if (base.empty())
            return {};
    }
    for (size_t start = 0; start <= rest.size();) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            base = parentOf(base);
            continue;
        }
        base += '/' + matchCaseInsensitive(base, part);
    }
    return base;
}
