#include "host/working_folders.h"

#include "host/host_paths.h"
#include "platform/os/file.h"
#include "platform/os/file_users.h"
#include "platform/sql/session.h"
#include "platform/text/visible_text.h"

#include <filesystem>

namespace {

bool folderExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Makes the folder and those above it; whether it is there is judged apart.
void makeFolder(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
}

bool isLink(const std::string& path) { return os::factsOf(path, false).kind == os::Kind::Link; }

// Deletes a lock file of the database engine left behind by a copy that is
// gone. One that a running engine (the host under Wine, say) holds open or
// locked is left alone: deleting it would break that engine's locking. The
// program's own folder is never taken through a link.
void removeStaleLockFile(const std::string& folder, const std::string& name, bool folderMayBeLink)
{
    if (folder.empty())
        return;
    const std::string file = hostFile(folder, name);
    os::removeUnlessInUse(folder, file.substr(file.rfind('/') + 1), folderMayBeLink);
}

// A working folder that is a link would send what the program writes and
// deletes there somewhere else: it is refused, not used.
StartupStatus refusalAsLink(const std::string& path, const std::string& which)
{
    if (!isLink(path))
        return StartupStatus::passed();
    return StartupStatus::refused("A " + which + " do programa é um link para outro lugar e não será usada: "
                                  + text::visible(path) + "\r\rA aplicação será finalizada");
}

} // namespace

std::string programFolderIn(const std::string& pastaCommonAppData)
{
    return pastaCommonAppData + "/Harbek/Tessaly.exe";
}

StartupStatus createProgramFolder(const std::string& pastaPrograma)
{
    if (StartupStatus link = refusalAsLink(pastaPrograma, "pasta"); !link.ok())
        return link;
    if (!folderExists(pastaPrograma))
        makeFolder(pastaPrograma);
    if (folderExists(pastaPrograma))
        return StartupStatus::passed();
    return StartupStatus::refused(
        "Não foi possível criar uma pasta do programa!\r\rA aplicação será finalizada");
}

StartupStatus createTemporaryFolder(const std::string& pastaPrograma, std::string& pastaTemporaria)
{
    const std::string path = pastaPrograma + "/temp";
    if (isLink(pastaPrograma))
        return StartupStatus::passed();  // refused already, and never entered
    if (StartupStatus link = refusalAsLink(path, "pasta temporária"); !link.ok())
        return link;
    if (!folderExists(path))
        makeFolder(path);
    if (folderExists(path)) {
        pastaTemporaria = path;
        return StartupStatus::passed();
    }
    return StartupStatus::refused(
        "Não foi possível criar a pasta temporária do programa!\r\rA aplicação será finalizada");
}

void removeStaleLockFiles(const std::string& pastaTemporaria, const std::string& pastaDados, const WinePrefix& prefix)
{
    removeStaleLockFile(pastaTemporaria, "PDOXUSRS.LCK", false);
    removeStaleLockFile(pastaTemporaria, "PARADOX.LCK", false);
    // The host's folders are reached through the prefix's drive links.
    removeStaleLockFile(pastaDados, "PDOXUSRS.LCK", true);
    removeStaleLockFile(pastaDados, "PARADOX.LCK", true);
    removeStaleLockFile(pastaDados, "PDOXUSRS.NET", true);
    removeStaleLockFile(prefix.nativePath("C:\\"), "PDOXUSRS.NET", true);
}

StartupStatus openSession(db::Session& session, const std::string& pastaDados, const std::string& pastaTemporaria)
{
    session.setNetFileDir(pastaDados);
    if (!folderExists(pastaTemporaria))
        makeFolder(pastaTemporaria);
    if (!folderExists(pastaTemporaria))
        return StartupStatus::refused("Ocorreu um erro na criação da pasta " + pastaTemporaria);
    session.setPrivateDir(pastaTemporaria);
    return StartupStatus::passed();
}
