#include "folders/folder_search.h"

#include "folders/directory_search.h"
#include "platform/os/file.h"
#include "platform/xml/document.h"

namespace {

std::string withoutTrailingDelimiter(const std::string& path)
{
    return path.ends_with('/') && path.size() > 1 ? path.substr(0, path.size() - 1) : path;
}

// The extension of a name: from its last "." on, empty without one.
std::string_view extensionOf(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

// NF-e documents are named by their 44-digit access key: such a file makes
// a folder of files for either mode.
bool holdsAccessKey(std::string_view name)
{
    size_t run = 0;
    for (const char c : name) {
        run = c >= '0' && c <= '9' ? run + 1 : 0;
        if (run == 44)
            return true;
    }
    return false;
}

} // namespace

std::string FolderSearch::find(const std::string& Arquivo, const std::string& Extensao, const std::string& Pasta,
                               const std::string& NaoIncluir)
{
    pastaEncontrada.clear();
    visited_.clear();
    searchFolder(Arquivo, Extensao, Pasta, NaoIncluir);
    return pastaEncontrada;
}

void FolderSearch::searchFolder(const std::string& Arquivo, const std::string& Extensao, const std::string& Pasta,
                                const std::string& NaoIncluir)
{
    const os::Identity folder = os::identityAt(Pasta);
    if (folder == os::Identity{} || !visited_.insert({folder.device, folder.inode}).second)
        return;
    const std::string base = withoutTrailingDelimiter(Pasta);
    DirectorySearch search;
    TSearchRec entry;
    if (search.findFirst(base, "*.*", entry) != 0)
        return;
    const std::string excluded = asciiLower(NaoIncluir);
    const std::string wanted = asciiUpper(Arquivo);
    const std::string wantedExtension = asciiUpper(Extensao);
    while (pastaEncontrada.empty()) {
        const std::string& name = entry.Name;
        const std::string upper = asciiUpper(name);
        const bool skip = excluded.find(asciiLower(name)) != std::string::npos
                       || upper.find("$RECYCLE.BIN") != std::string::npos;
        if (!skip) {
            if (entry.Attr & faDirectory) {
                searchFolder(Arquivo, Extensao, base + '/' + name, NaoIncluir);
            } else if ((upper.find(wanted) != std::string::npos || holdsAccessKey(name))
                       && asciiUpper(extensionOf(name)) == wantedExtension) {
                // Only a regular file makes the folder an export folder.
                const std::string reason = xml::passedOver(entry.Facts, name);
                if (reason.empty())
                    pastaEncontrada = Pasta;
                else
                    logLine_(reason);
            }
        }
        if (search.findNext(entry) != 0)
            break;
        yield_();
    }
}
