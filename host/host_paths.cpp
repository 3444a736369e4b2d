#include "host/host_paths.h"

#include "host/wine_prefix.h"
#include "platform/os/file.h"

#include <vector>

std::string folderPart(const std::string& path)
{
    const size_t at = path.find_last_of("\\:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string commandProgram(const std::string& command)
{
    if (!command.starts_with('"'))
        return command;
    const size_t close = command.find('"', 1);
    return close == std::string::npos ? command.substr(1) : command.substr(1, close - 1);
}

std::string dropTrailingDelimiter(const std::string& path)
{
    return path.ends_with('\\') ? path.substr(0, path.size() - 1) : path;
}

std::string hostFile(const std::string& folder, const std::string& name)
{
    return folder + '/' + matchCaseInsensitive(folder, name);
}

bool readHostFile(const std::string& path, std::string& bytes, std::string* reason)
{
    std::vector<uint8_t> content;
    os::File file;
    auto status = os::File::openForReading(path, file);
    if (status)
        status = file.readToEnd(content);
    if (!status) {
        if (reason)
            *reason = status.text();
        return false;
    }
    bytes.assign(content.begin(), content.end());
    return true;
}
