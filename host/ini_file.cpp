#include "host/ini_file.h"

#include <QFile>
#include <QStringDecoder>

QString decodeWindowsText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        return decoder(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE);
        return decoder(bytes.mid(2));
    }
    QStringDecoder decoder("windows-1252");
    if (decoder.isValid())
        return decoder(bytes);
    return QString::fromLatin1(bytes);
}

bool IniFile::load(const QString& path, QString* error)
{
    entries_.clear();
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QString text = decodeWindowsText(bytes);
    QString section;
    bool inSection = false;
    for (QString line : text.split(QChar('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QChar(';')))
            continue;
        if (line.startsWith(QChar('['))) {
            const qsizetype end = line.indexOf(QChar(']'));
            section = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            inSection = true;
            continue;
        }
        const qsizetype eq = line.indexOf(QChar('='));
        if (!inSection || eq < 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == QChar('"') || value.front() == QChar('\''))
            && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        entries_.push_back({section, line.left(eq).trimmed(), value});
    }
    return true;
}

const IniFile::Entry* IniFile::find(const QString& section, const QString& key) const
{
    for (const Entry& e : entries_)
        if (e.section.compare(section, Qt::CaseInsensitive) == 0 && e.key.compare(key, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

QString IniFile::value(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Entry* e = find(section, key);
    return e ? e->value : defaultValue;
}

bool IniFile::hasKey(const QString& section, const QString& key) const { return find(section, key) != nullptr; }
