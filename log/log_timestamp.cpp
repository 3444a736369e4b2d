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
    const QString date = locale.toString(moment.date(), locale.dateFormat(QLocale::ShortFormat));
    if (moment.time() == QTime(0, 0))
        return date;
    return date + QChar(' ') + locale.toString(moment.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}
