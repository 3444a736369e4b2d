#pragma once

#include <string>
#include <string_view>

// Names of the files of a table, as the engine's messages and lookups use them.
namespace paradox {

// The file's own name: everything after the last "/".
std::string fileNameOf(const std::string& path);
// The file's own name without its extension: what every file of a table's
// family shares.
std::string stemOf(const std::string& path);
// The folder part, "." when there is none.
std::string folderOf(const std::string& path);
// Names compare without regard to ASCII case, as the host's file system does.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// The entry of folder ("." when empty) named name without regard to case, as
// folder + "/" + its real name; empty when there is none.
std::string findIgnoringCase(const std::string& folder, const std::string& name);

} // namespace paradox
