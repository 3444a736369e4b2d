#include "folders/folder_search.h"

#include "folders/directory_search.h"
#include "platform/xml/document.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/stat.h>

namespace {

QString withoutTrailingDelimiter(const QString& path)
{
    return path.endsWith(QChar('/')) && path.size() > 1 ? path.left(path.size() - 1) : path;
}

// The extension of a name: from its last "." on, empty without one.
QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QChar('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// NF-e documents are named by their 44-digit access key: such a file makes
// a folder of files for either mode.
bool holdsAccessKey(const QString& name)
{
    static const QRegularExpression key(QStringLiteral("[0-9]{44}"));
    return key.match(name).hasMatch();
}

} // namespace

QString FolderSearch::find(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                          const QString& NaoIncluir)
{
    pastaEncontrada.clear();
    visited_.clear();
    searchFolder(Arquivo, Extensao, Pasta, NaoIncluir);
    return pastaEncontrada;
}

void FolderSearch::searchFolder(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                                const QString& NaoIncluir)
{
    struct stat st {};
    if (::stat(QFile::encodeName(Pasta).constData(), &st) != 0
        || !visited_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)}).second)
        return;
    const QString base = withoutTrailingDelimiter(Pasta);
    DirectorySearch search;
    TSearchRec entry;
    if (search.findFirst(base, QStringLiteral("*.*"), entry) != 0)
        return;
    const QString excluded = asciiLower(NaoIncluir);
    const QString wanted = asciiUpper(Arquivo);
    const QString wantedExtension = asciiUpper(Extensao);
    while (pastaEncontrada.isEmpty()) {
        const QString& name = entry.Name;
        const bool skip = name == QLatin1String(".") || name == QLatin1String("..")
                       || excluded.contains(asciiLower(name)) || asciiUpper(name).contains(QLatin1String("$RECYCLE.BIN"));
        if (!skip) {
            if (entry.Attr & faDirectory) {
                searchFolder(Arquivo, Extensao, base + QChar('/') + name, NaoIncluir);
            } else if ((asciiUpper(name).contains(wanted) || holdsAccessKey(name))
                       && asciiUpper(extensionOf(name)) == wantedExtension) {
                // Only a regular file makes the folder an export folder.
                const std::string reason = xml::passedOver(entry.Mode, entry.Size, name.toStdString());
                if (reason.empty())
                    pastaEncontrada = Pasta;
                else
                    logLine_(QString::fromStdString(reason));
            }
        }
        if (search.findNext(entry) != 0)
            break;
        yield_();
    }
}
