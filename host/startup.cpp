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
    if (!options_.pastaDados.isEmpty()) {
        folders_.pastaDados = options_.pastaDados;
        return true;
    }
    const HostLocation found = findHostData(prefix_);
    folders_.pastaInstalacao = found.pastaInstalacao;
    folders_.pastaDados = found.pastaDados;
    if (!found.message.isEmpty())
        listener_.refused(found.message);
    return !found.pastaDados.isEmpty();
}

// The program's folder, then its "temp" folder; the window tries both and
// tells each refusal.
bool Startup::makeFolders()
{
    QString refusal = createProgramFolder(folders_.pastaPrograma);
    if (!refusal.isEmpty()) {
        listener_.refused(refusal);
        if (options_.refuseBeforeMaking)
            return false;
    }
    const bool programFolderMade = refusal.isEmpty();
    refusal = createTemporaryFolder(folders_.pastaPrograma, folders_.pastaTemporaria);
    if (!refusal.isEmpty()) {
        listener_.refused(refusal);
        return false;
    }
    return programFolderMade;
}

bool Startup::openSession()
{
    if (!options_.keepLockFiles)
        removeStaleLockFiles(folders_.pastaTemporaria, folders_.pastaDados, prefix_);
    const QString failure = ::openSession(session_, folders_.pastaDados, folders_.pastaTemporaria);
    if (failure.isEmpty())
        return true;
    listener_.refused(failure);
    return false;
}

bool Startup::checkTables()
{
    const QString missing = missingTablesMessage(folders_.pastaDados);
    if (missing.isEmpty())
        return true;
    listener_.tablesMissing(missing);
    return false;
}
