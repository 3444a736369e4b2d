#include "host/regional_date.h"

#include <QStringList>

#include <stdexcept>

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
    if (order.size() != 3)
        return std::nullopt;
    const QStringList parts = text.trimmed().split(separator);
    if (parts.size() != 3)
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
        else
            year = part.size() <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QDate regionalDateOrThrow(const QString& text, const QLocale& locale)
{
    if (const auto date = regionalDate(text, locale))
        return *date;
    throw std::runtime_error("''" + text.toStdString() + "'' is not a valid date");
}
