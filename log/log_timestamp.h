#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The log's time stamp: the regional short date, a blank and the regional
// long time without its time zone; the date alone at exactly midnight.
QString logTimestamp(const QDateTime& moment, const QLocale& locale = QLocale::system());
QString logTimestamp(QDate date, QTime time, const QLocale& locale = QLocale::system());

// A time format with its time-zone parts left out.
QString withoutTimeZone(const QString& timeFormat);
