#pragma once

#include "host/host_error.h"
#include "host/wine_prefix.h"

#include <string>

namespace db {
class Session;
}

// The folders a start finds and makes, as native paths in UTF-8.
struct HostFolders {
    std::string pastaCommonAppData;
    std::string pastaDocumentos;
    std::string pastaInstalacao;
    std::string pastaDados;  // the host's data folder
    std::string pastaPrograma;  // the program's own folder: the log lives there
    std::string pastaTemporaria;
};

// Where the refusals of a start go: each is told as it happens, before the
// start ends. Nothing is shown here; the front end decides how.
class StartupListener {
public:
    virtual ~StartupListener() = default;
    // A message of the host's discovery, or a reason to stop.
    virtual void refused(const std::string& message) = 0;
    // The data folder lacks the host's tables; the window logs this one too.
    virtual void tablesMissing(const std::string& message) { refused(message); }
};

struct StartupOptions {
    // The host's data folder as the user names it: nothing is looked up.
    std::string pastaDados;
    // The host's data folder and its tables are judged before anything is
    // made, the first refusal ends the start, and the documents folder (which
    // only the folder search needs) is not asked for: a command that is
    // refused leaves nothing behind.
    bool refuseBeforeMaking = false;
    // Nothing is deleted, not even the lock files of copies that are gone.
    bool keepLockFiles = false;
};

// The start shared by the window and the command line, up to a database
// session on the host's data folder. The window's order is: the shell
// folders, the data folder (a refusal there still lets the program's
// folders be made), the program's folder and its "temp" folder, the stale
// lock files and the session, then the host's two tables.
class Startup {
public:
    Startup(HostFolders& folders, db::Session& session, StartupListener& listener, StartupOptions options = {},
            WinePrefix prefix = WinePrefix());

    // Runs the whole start, filling the folders as it goes. True when the
    // session is ready; false after a refusal, which the listener has been
    // told (or nothing, for an empty route). Raises what asking for a shell
    // folder raises ("Erro ao solicitar a pasta.").
    bool run();

    // The host's data folder, found through the Wine prefix or given; sets
    // pastaInstalacao and pastaDados (empty when refused). True when found.
    bool findData();

private:
    bool makeFolders();
    bool openSession();
    bool checkTables();
    // Tells a refusal; true when the step passed.
    bool told(const StartupStatus& status);

    HostFolders& folders_;
    db::Session& session_;
    StartupListener& listener_;
    StartupOptions options_;
    WinePrefix prefix_;
};
