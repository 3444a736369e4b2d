#pragma once

#include "platform/os/status.h"

#include <string>
#include <vector>

namespace os {

// The names of every entry of folder (files, folders, hidden ones; not "."
// and ".."), in no particular order, as the file system spells them.
Status namesIn(const std::string& folder, std::vector<std::string>& names);

} // namespace os
