#include "folders/directory_search.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

QString asciiUpper(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QChar('a') && c <= QChar('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

QString asciiLower(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QChar('A') && c <= QChar('Z'))
            c = QChar(c.unicode() + 32);
    return out;
}

DirectorySearch::~DirectorySearch() { close(); }

void DirectorySearch::close()
{
    if (dir_)
        ::closedir(static_cast<DIR*>(dir_));
    dir_ = nullptr;
}

bool DirectorySearch::matches(const QString& name) const
{
    return extension_.isEmpty() || asciiUpper(name).endsWith(extension_);
}

int32_t DirectorySearch::findFirst(const QString& folder, const QString& pattern, TSearchRec& entry)
{
    close();
    folder_ = folder;
    extension_ = pattern == QLatin1String("*.*") ? QString() : asciiUpper(pattern.mid(1));
    dir_ = ::opendir(QFile::encodeName(folder).constData());
    if (!dir_)
        return 3;  // path not found
    return findNext(entry);
}

int32_t DirectorySearch::findNext(TSearchRec& entry)
{
    if (!dir_)
        return noMoreFiles;
    while (const dirent* e = ::readdir(static_cast<DIR*>(dir_))) {
        const QString name = QFile::decodeName(e->d_name);
        if (!matches(name))
            continue;
        struct stat st {};
        const QByteArray path = QFile::encodeName(folder_ + QChar('/') + name);
        const bool isDir = ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        entry.Name = name;
        entry.Attr = isDir ? faDirectory : 0;
        return 0;
    }
    return noMoreFiles;
}
