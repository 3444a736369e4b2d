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
        return 3;  // path not found
    std::vector<std::pair<QString, QByteArray>> found;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray raw(e->d_name);
        QString name = QString::fromStdString(text::visible(raw.toStdString()));
        if (matches(name))
            found.emplace_back(std::move(name).toUpper(), raw);
    }
    ::closedir(dir);
    // The host's platform lists a folder in name order without regard to case.
    std::sort(found.begin(), found.end());
    for (auto& f : found)
        names_.push_back(std::move(f.second));
    return findNext(entry);
}

int32_t DirectorySearch::findNext(TSearchRec& entry)
{
    if (next_ >= names_.size())
        return noMoreFiles;
    const QByteArray& raw = names_[next_++];
    struct stat st {};
    const QByteArray path = QFile::encodeName(folder_) + '/' + raw;
    const bool isDir = ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    entry.Name = QString::fromStdString(text::visible(raw.toStdString()));
    entry.nativeName = raw;
    entry.Attr = isDir ? faDirectory : 0;
    return 0;
}
