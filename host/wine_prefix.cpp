#include "host/wine_prefix.h"

#include <QDir>
#include <QFileInfo>

WinePrefix::WinePrefix()
{
    const QByteArray prefix = qgetenv("WINEPREFIX");
    root_ = prefix.isEmpty() ? QDir::homePath() + QStringLiteral("/.wine") : QString::fromLocal8Bit(prefix);
    while (root_.size() > 1 && root_.endsWith(QChar('/')))
        root_.chop(1);
}

QString matchCaseInsensitive(const QString& folder, const QString& name)
{
    if (QFileInfo::exists(folder + QChar('/') + name))
        return name;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return name;
}

QString WinePrefix::nativePath(const QString& windowsPath, const QString& relativeTo) const
{
    QString rest = windowsPath;
    QString base;
    if (rest.size() >= 2 && rest.at(1) == QChar(':') && rest.at(0).isLetter()) {
        const QString drive = rest.left(2).toLower();
        rest = rest.mid(2);
        base = root_ + QStringLiteral("/dosdevices/") + drive;
        if (!QFileInfo(base).isDir() && drive == QLatin1String("c:"))
            base = root_ + QStringLiteral("/drive_c");
        if (!QFileInfo(base).isDir())
            return {};
        base = QFileInfo(base).canonicalFilePath();
    } else if (rest.startsWith(QLatin1String("\\\\"))) {
        return {};
    } else if (rest.startsWith(QChar('\\'))) {
        base = root_ + QStringLiteral("/drive_c");
    } else {
        base = relativeTo;
        if (base.isEmpty())
            return {};
    }
    for (const QString& part : rest.split(QChar('\\'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            base = QFileInfo(base).path();
            continue;
        }
        base += QChar('/') + matchCaseInsensitive(base, part);
    }
    return base;
}
