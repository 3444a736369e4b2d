#pragma once

#include <string>

// Paths here are UTF-8.

// Text rules for Windows paths: everything up to and including the last "\"
// or ":" (empty without either), and one final "\" removed.
std::string folderPart(const std::string& path);
std::string dropTrailingDelimiter(const std::string& path);
// The program of a command line: the quoted path when the command starts with
// a quote (installers write "C:\\Dir\\unins000.exe" /ARGS), else the whole text.
std::string commandProgram(const std::string& command);

// The bytes of a file of the host, read to its end. False when it can't be
// read, with the system's reason in reason when given.
bool readHostFile(const std::string& path, std::string& bytes, std::string* reason = nullptr);

// The file of that name in folder, matched without regard to case, as the
// host's file system does; folder + "/" + name when there is none.
std::string hostFile(const std::string& folder, const std::string& name);
