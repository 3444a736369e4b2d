#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// An INI file read with the rules of the Windows INI reader: section and key
// names without regard to case, the first match wins, values trimmed with one
// pair of enclosing quotes removed, lines starting with ";" left out; text in
// Windows-1252 unless the file starts with a UTF-16 or UTF-8 byte-order mark.
class IniFile {
public:
    // False when the file can't be read; error then tells the system's reason.
    bool load(const QString& path, QString* error = nullptr);

    // The value, or defaultValue when the section or key is missing.
    QString value(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    bool hasKey(const QString& section, const QString& key) const;

private:
    struct Entry {
        QString section;
        QString key;
        QString value;
    };
    const Entry* find(const QString& section, const QString& key) const;

    std::vector<Entry> entries_;
};

// The text of bytes in Windows-1252, or as a byte-order mark says.
QString decodeWindowsText(const QByteArray& bytes);
