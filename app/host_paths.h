#pragma once

#include <QString>

// Where the maker sells updates of the host application.
inline constexpr const char* updatePageAddress = "https://www.example.com/pelko/atualizacao";

// Text rules for Windows paths: everything up to and including the last "\"
// or ":" (empty without either), and one final "\" removed.
QString folderPart(const QString& path);
QString dropTrailingDelimiter(const QString& path);

// The file of that name in folder, matched without regard to case, as the
// host's file system does; folder + "/" + name when there is none.
QString hostFile(const QString& folder, const QString& name);
