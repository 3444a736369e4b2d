#pragma once

#include <string>

namespace paradox {

// Whether a process other than this one has the file open (its descriptors
// under /proc) or holds a lock on it (/proc/locks). A file that does not
// exist is in use by nobody.
bool fileInUseByOthers(const std::string& path);

} // namespace paradox
