#include "log/log_timestamp.h"

QString withoutTimeZone(const QString& timeFormat)
{
    QString out;
    bool quoted = false;
    for (QChar c : timeFormat) {
        if (c == QChar('\''))
            quoted = !quoted;
        if (!quoted && c == QChar('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

QString logTimestamp(const QDateTime& moment, const QLocale& locale)
{
    return logTimestamp(moment.date(), moment.time(), locale);
}

QString logTimestamp(QDate date, QTime time, const QLocale& locale)
{
    const QString day = locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
    if (time == QTime(0, 0))
        return day;
    return day + QChar(' ') + locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}
