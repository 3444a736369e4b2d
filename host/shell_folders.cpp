#include "host/shell_folders.h"

#include "host/host_error.h"
#include "host/host_paths.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

#include <cstdlib>
#include <filesystem>

namespace {

constexpr uint32_t CSIDL_FLAG_CREATE = 0x8000;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The quoted value of a line "XDG_DOCUMENTS_DIR = "...""; false for any
// other line.
bool documentsDirLine(std::string_view line, std::string& value)
{
    constexpr std::string_view name = "XDG_DOCUMENTS_DIR";
    line = text::trimWhitespace(line);
    if (!line.starts_with(name))
        return false;
    line = text::trimWhitespace(line.substr(name.size()));
    if (!line.starts_with('='))
        return false;
    line = text::trimWhitespace(line.substr(1));
    if (!line.starts_with('"'))
        return false;
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos)
        return false;
    value = line.substr(1, close - 1);
    return true;
}

// XDG_DOCUMENTS_DIR from user-dirs.dirs, with $HOME expanded.
std::string documentsFolder(const std::string& home)
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    std::string bytes;
    if (!readHostFile(config + "/user-dirs.dirs", bytes))
        bytes.clear();
    const std::string text = text::validText(bytes);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string path;
        if (documentsDirLine(std::string_view(text).substr(start, end - start), path)) {
            for (size_t at = 0; (at = path.find("$HOME", at)) != std::string::npos; at += home.size())
                path.replace(at, 5, home);
            if (path.starts_with('/'))
                return path;
        }
        start = end + 1;
    }
    return home + "/Documents";
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.ends_with('/'))
        path.pop_back();
    return path;
}

} // namespace

std::string shellFolder(uint32_t ID, bool Create)
{
    if (Create)
        ID |= CSIDL_FLAG_CREATE;
    const std::string home = environment("HOME");
    std::string path;
    switch (ID & ~CSIDL_FLAG_CREATE) {
    case CSIDL_COMMON_APPDATA:
        path = environment("XDG_DATA_HOME");
        if (path.empty() && !home.empty())
            path = home + "/.local/share";
        break;
    case CSIDL_PERSONAL:
        if (!home.empty())
            path = documentsFolder(home);
        break;
    default: break;
    }
    if (path.empty())
        throw HostError("Erro ao solicitar a pasta.");
    path = withoutTrailingSlash(path);
    if (ID & CSIDL_FLAG_CREATE) {
        std::error_code error;
        std::filesystem::create_directories(path, error);
        if (!std::filesystem::is_directory(path, error))
            throw HostError("Erro ao solicitar a pasta.");
    }
    return path;
}

std::string programVersion()
{
    return std::to_string(TESSALY_VERSION_MAJOR) + "." + std::to_string(TESSALY_VERSION_MINOR) + "."
           + std::to_string(TESSALY_VERSION_PATCH);
}
