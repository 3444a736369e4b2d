#include "host/startup.h"

#include "host/host_discovery.h"
#include "host/shell_folders.h"
#include "host/working_folders.h"

Startup::Startup(HostFolders& folders, db::Session& session, StartupListener& listener, StartupOptions options,
                 WinePrefix prefix)
    : folders_(folders), session_(session), listener_(listener), options_(std::move(options)), prefix_(std::move(prefix))
{
}

bool Startup::run()
{
    if (options_.refuseBeforeMaking) {
        if (!findData() || !checkTables())
            return false;
        folders_.pastaCommonAppData = shellFolder(CSIDL_COMMON_APPDATA, false);
        folders_.pastaPrograma = programFolderIn(folders_.pastaCommonAppData);
        return makeFolders() && openSession();
    }
    folders_.pastaCommonAppData = shellFolder(CSIDL_COMMON_APPDATA, false);
    folders_.pastaDocumentos = shellFolder(CSIDL_PERSONAL, false);
    const bool found = findData();
    folders_.pastaPrograma = programFolderIn(folders_.pastaCommonAppData);
    const bool made = makeFolders();
    return found && made && openSession() && checkTables();
}

bool Startup::findData()
{
    if (!options_.pastaDados.empty()) {
        folders_.pastaDados = options_.pastaDados;
        return true;
    }
    const HostLocation found = findHostData(prefix_);
    folders_.pastaInstalacao = found.pastaInstalacao;
    folders_.pastaDados = found.pastaDados;
    if (!found.message.empty())
        listener_.refused(found.message);
    return !found.pastaDados.empty();
}

// The program's folder, then its "temp" folder; the window tries both and
// tells each refusal.
bool Startup::makeFolders()
{
    const bool programFolderMade = told(createProgramFolder(folders_.pastaPrograma));
    if (!programFolderMade && options_.refuseBeforeMaking)
        return false;
    return told(createTemporaryFolder(folders_.pastaPrograma, folders_.pastaTemporaria)) && programFolderMade;
}

bool Startup::openSession()
{
    if (!options_.keepLockFiles)
        removeStaleLockFiles(folders_.pastaTemporaria, folders_.pastaDados, prefix_);
    return told(::openSession(session_, folders_.pastaDados, folders_.pastaTemporaria));
}

bool Startup::checkTables()
{
    const StartupStatus tables = checkHostTables(folders_.pastaDados);
    if (!tables.ok())
        listener_.tablesMissing(tables.message());
    return tables.ok();
}

bool Startup::told(const StartupStatus& status)
{
    if (!status.ok())
        listener_.refused(status.message());
    return status.ok();
}
