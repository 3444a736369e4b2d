#include "host/registry_file.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// The key of a "[...]" line, its escapes decoded.
QString keyOfLine(const QString& line)
{
    const qsizetype end = line.lastIndexOf(QChar(']'));
    return decodeRegistryString(line.mid(1, end - 1));
}

// Splits "name"=value; the name may hold escaped quotes.
bool splitValueLine(const QString& line, QString& name, QString& value)
{
    if (line.startsWith(QChar('@'))) {
        name.clear();
        value = line.mid(line.indexOf(QChar('=')) + 1);
        return line.size() > 1 && line.at(1) == QChar('=');
    }
    if (!line.startsWith(QChar('"')))
        return false;
    qsizetype i = 1;
    while (i < line.size() && line.at(i) != QChar('"'))
        i += line.at(i) == QChar('\\') ? 2 : 1;
    if (i + 1 >= line.size() || line.at(i + 1) != QChar('='))
        return false;
    name = decodeRegistryString(line.mid(1, i - 1));
    value = line.mid(i + 2);
    return true;
}

// The text between the first and the last quote of a value.
QString quotedPart(const QString& value)
{
    const qsizetype first = value.indexOf(QChar('"'));
    const qsizetype last = value.lastIndexOf(QChar('"'));
    return first >= 0 && last > first ? decodeRegistryString(value.mid(first + 1, last - first - 1)) : QString();
}

} // namespace

QString decodeRegistryString(const QString& s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i) != QChar('\\') || i + 1 >= s.size()) {
            out += s.at(i);
            continue;
        }
        const QChar c = s.at(++i);
        switch (c.unicode()) {
        case 'n': out += QChar('\n'); break;
        case 'r': out += QChar('\r'); break;
        case 't': out += QChar('\t'); break;
        case 'a': out += QChar('\a'); break;
        case 'b': out += QChar('\b'); break;
        case 'e': out += QChar(0x1B); break;
        case 'f': out += QChar('\f'); break;
        case 'v': out += QChar('\v'); break;
        case 'x': {
            uint code = 0;
            int digits = 0;
            static const QString hexDigits = QStringLiteral("0123456789abcdef");
            while (digits < 4 && i + 1 < s.size() && hexDigits.contains(s.at(i + 1), Qt::CaseInsensitive)) {
                code = code * 16 + uint(hexDigits.indexOf(s.at(++i), 0, Qt::CaseInsensitive));
                ++digits;
            }
            out += QChar(char16_t(code));
            break;
        }
        default:
            if (c >= QChar('0') && c <= QChar('7')) {
                uint code = uint(c.unicode() - '0');
                for (int k = 0; k < 2 && i + 1 < s.size() && s.at(i + 1) >= QChar('0') && s.at(i + 1) <= QChar('7'); ++k)
                    code = code * 8 + uint(s.at(++i).unicode() - '0');
                out += QChar(char16_t(code));
            } else {
                out += c;
            }
        }
    }
    return out;
}

bool RegistryFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        text_ = decoder(bytes.mid(2));
    } else {
        text_ = QString::fromUtf8(bytes);
    }
    win64_ = false;
    for (const QStringView line : QStringView(text_).split(QChar('\n'))) {
        if (line.trimmed() == QLatin1String("#arch=win64"))
            win64_ = true;
        if (line.startsWith(QChar('[')))
            break;
    }
    return true;
}

bool RegistryFile::hasKey(const QString& key) const
{
    for (const QString& line : text_.split(QChar('\n')))
        if (line.startsWith(QChar('[')) && keyOfLine(line).compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::optional<RegistryValue> RegistryFile::value(const QString& key, const QString& name) const
{
    bool inKey = false;
    const QStringList lines = text_.split(QChar('\n'));
    for (QString line : lines) {
        if (line.endsWith(QChar('\r')))
            line.chop(1);
        if (line.startsWith(QChar('['))) {
            if (inKey)
                return std::nullopt;
            inKey = keyOfLine(line).compare(key, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString valueName;
        QString value;
        if (!inKey || !splitValueLine(line, valueName, value) || valueName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (value.startsWith(QChar('"')))
            return RegistryValue{RegistryValue::Type::String, quotedPart(value)};
        if (value.startsWith(QLatin1String("str(2):")))
            return RegistryValue{RegistryValue::Type::ExpandableString, quotedPart(value)};
        if (value.startsWith(QLatin1String("str:")))
            return RegistryValue{RegistryValue::Type::String, quotedPart(value)};
        return RegistryValue{RegistryValue::Type::Other, {}};
    }
    return std::nullopt;
}
