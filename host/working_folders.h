#pragma once

#include "host/host_error.h"
#include "host/wine_prefix.h"

#include <string>

namespace db {
class Session;
}

// The program's own folders and the database session. Each step that may be
// refused says so in its status, with the message for the user; nothing is
// shown. Paths are UTF-8.

// The program's own folder inside the common application-data folder.
std::string programFolderIn(const std::string& pastaCommonAppData);

// The program folder, created when missing. A folder that is a link is
// refused rather than used.
StartupStatus createProgramFolder(const std::string& pastaPrograma);

// The "temp" folder inside it, created when missing; pastaTemporaria is set
// when it is there.
StartupStatus createTemporaryFolder(const std::string& pastaPrograma, std::string& pastaTemporaria);

// Deletes the database engine's lock files left behind by copies that are
// gone, in the temporary folder, the data folder and at the root of drive C:
// of the prefix; one that a running program holds open or locked stays.
void removeStaleLockFiles(const std::string& pastaTemporaria, const std::string& pastaDados, const WinePrefix& prefix);

// Points the session at the data folder (network control directory) and the
// temporary folder (private directory), creating the latter when missing.
StartupStatus openSession(db::Session& session, const std::string& pastaDados, const std::string& pastaTemporaria);
