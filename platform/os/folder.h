#pragma once

#include "platform/os/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace os {

// The names of every entry of folder (files, folders, hidden ones; not "."
// and ".."), in no particular order, as the file system spells them.
Status namesIn(const std::string& folder, std::vector<std::string>& names);

// Whether folder, looked at through links, is a folder that can be listed.
// isFolder tells what was found when it could be looked at; the failure is
// the system's error when it could not (nothing there: ENOENT), or, for a
// folder, when it cannot be listed.
Status lookAtFolder(const std::string& folder, bool& isFolder);

// A name for folder that stays valid while the process runs and is plain
// text, for a folder whose own name is not: the folder is held open for the
// rest of the process. Where every name is text, folder itself.
Status heldFolderName(const std::string& folder, std::string& out);

// The characters that end a folder's name in a path: "/" on POSIX systems,
// either slash on Windows.
std::string_view pathSeparators();

} // namespace os
