#include "host/regional_date.h"

#include <QStringList>

namespace {

// Three numbers in the order given ("dmy", "mdy", "ymd"…), separated so;
// a two-digit year falls in 1950-2049 unless four digits are required.
std::optional<QDate> dateInOrder(const QString& text, const QString& order, QChar separator, bool fourDigitYear)
{
    const QStringList parts = text.trimmed().split(separator);
    if (order.size() != 3 || parts.size() != 3)
        return std::nullopt;
    int day = 0;
    int month = 0;
    int year = 0;
    for (int i = 0; i < 3; ++i) {
        const QString& part = parts[i];
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 4 || !part.front().isDigit())
            return std::nullopt;
        if (order[i] == QChar('d'))
            day = value;
        else if (order[i] == QChar('m'))
            month = value;
        else if (fourDigitYear && part.size() != 4)
            return std::nullopt;
        else
            year = part.size() <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> regionalDate(const QString& text, const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString order;
    QChar separator = QChar('/');
    for (QChar c : format) {
        const QChar lower = c.toLower();
        if ((lower == QChar('d') || lower == QChar('m') || lower == QChar('y')) && !order.contains(lower))
            order += lower;
        else if (!c.isLetter() && order.size() == 1 && separator == QChar('/'))
            separator = c;
    }
    return dateInOrder(text, order, separator, false);
}

std::optional<QDate> dataVersionDate(const QString& text, const QLocale& locale)
{
    if (const auto date = regionalDate(text, locale))
        return date;
    return dateInOrder(text, QStringLiteral("dmy"), QChar('/'), true);
}

QDate minimumDataVersion() { return QDate(2016, 3, 22); }
