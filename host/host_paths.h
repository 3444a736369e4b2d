#pragma once

#include <QString>


// Text rules for Windows paths: everything up to and including the last "\"
// or ":" (empty without either), and one final "\" removed.
QString folderPart(const QString& path);
QString dropTrailingDelimiter(const QString& path);
// The program of a command line: the quoted path when the command starts with
// a quote (installers write "C:\\Dir\\unins000.exe" /ARGS), else the whole text.
QString commandProgram(const QString& command);

// The file of that name in folder, matched without regard to case, as the
// host's file system does; folder + "/" + name when there is none.
QString hostFile(const QString& folder, const QString& name);
