#include "folders/directory_search.h"

#include "platform/text/visible_text.h"

#include <QFile>

#include <algorithm>
#include <vector>

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
    names_.clear();
    next_ = 0;
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
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return pathNotFound;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray raw(e->d_name);
        const QString name = QString::fromStdString(text::visible(raw.toStdString()));
        if (matches(name))
            names_.push_back({name.toUpper(), name, raw});
    }
    ::closedir(dir);
    // Windows lists a folder in name order without regard to case.
    std::sort(names_.begin(), names_.end(), [](const Name& a, const Name& b) {
        return a.key != b.key ? a.key < b.key : a.native < b.native;
    });
    return findNext(entry);
}

int32_t DirectorySearch::findNext(TSearchRec& entry)
{
    if (next_ >= names_.size())
        return noMoreFiles;
    const Name& name = names_[next_++];
    struct stat st {};
    const QByteArray path = QFile::encodeName(folder_) + '/' + name.native;
    const bool known = ::stat(path.constData(), &st) == 0;
    entry.Name = name.shown;
    entry.nativeName = name.native;
    entry.Attr = known && S_ISDIR(st.st_mode) ? faDirectory : 0;
    entry.Mode = known ? uint32_t(st.st_mode) : 0;
    entry.Size = known ? uint64_t(st.st_size) : 0;
    return 0;
}
