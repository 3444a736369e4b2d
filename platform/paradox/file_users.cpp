#include "platform/paradox/file_users.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_names.h"

#include "platform/os/file_users.h"
#include "platform/os/folder.h"

#include <algorithm>
#include <string>

namespace paradox {
namespace {

ForeignUse foreignUseOf(const os::FileUse& use)
{
    return {true, fileNameOf(use.path), use.pid, use.program,
            use.how == os::FileUse::How::Lock ? "bloqueio" : "arquivo aberto"};
}

} // namespace

std::vector<std::string> tableFamilyAndControlFiles(const std::string& tablePath)
{
    const std::string dir = folderOf(tablePath);
    const std::string stem = stemOf(tablePath);
    std::vector<std::string> names;
    std::vector<std::string> files;
    if (!os::namesIn(dir, names))
        return files;
    for (const std::string& name : names) {
        const size_t dot = name.find_last_of('.');
        const bool family = dot != std::string::npos && equalsIgnoringCase(name.substr(0, dot), stem);
        const bool control = equalsIgnoringCase(name, "PDOXUSRS.NET") || equalsIgnoringCase(name, "PDOXUSRS.LCK")
                          || equalsIgnoringCase(name, "PARADOX.LCK");
        // This engine's own files beside a table (a journal, a file being
        // replaced) are not the host's.
        if ((family || control) && name.find(".tessaly-") == std::string::npos)
            files.push_back(dir + "/" + name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

ForeignUse foreignLock(const std::vector<std::string>& files)
{
    os::FileUse use;
    return os::lockedByOthers(files, use) ? foreignUseOf(use) : ForeignUse{};
}

ForeignUse foreignOpenFile(const std::vector<std::string>& files)
{
    const std::string self = os::ownProgram();
    // Another copy of this engine waits on its own lock.
    auto copyOfThisEngine = [&](const std::string& program) {
        const std::string name = fileNameOf(program);
        return program == self || name == "tessaly" || name == "pdx";
    };
    os::FileUse use;
    return os::openByOthers(files, copyOfThisEngine, use) ? foreignUseOf(use) : ForeignUse{};
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
