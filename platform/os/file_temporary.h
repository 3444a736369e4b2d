#pragma once

#include "platform/os/file.h"

namespace os {

// A new file named shownAs + "-" + this process's number + "-" + a count,
// which no other writer, and no planted file or link, has.
Status createBeside(const std::string& shownAs, File& out);

} // namespace os
