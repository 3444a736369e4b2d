#pragma once

#include "platform/os/status.h"

#include <string>
#include <string_view>
#include <vector>

namespace os {

// The names of every entry of folder (files, folders, hidden ones; not "."
// and ".."), in no particular order, as the file system spells them.
Status namesIn(const std::string& folder, std::vector<std::string>& names);

// The characters that end a folder's name in a path: "/" on POSIX systems,
// either slash on Windows.
std::string_view pathSeparators();

} // namespace os
