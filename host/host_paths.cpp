#include "host/host_paths.h"

#include "host/wine_prefix.h"

QString folderPart(const QString& path)
{
    const qsizetype at = std::max(path.lastIndexOf(QChar('\\')), path.lastIndexOf(QChar(':')));
    return at < 0 ? QString() : path.left(at + 1);
}

QString commandProgram(const QString& command)
{
    if (!command.startsWith(QChar('"')))
        return command;
    const qsizetype close = command.indexOf(QChar('"'), 1);
    return close < 0 ? command.mid(1) : command.mid(1, close - 1);
}

QString dropTrailingDelimiter(const QString& path)
{
    return path.endsWith(QChar('\\')) ? path.left(path.size() - 1) : path;
}

QString hostFile(const QString& folder, const QString& name)
{
    return folder + QChar('/') + matchCaseInsensitive(folder, name);
}
