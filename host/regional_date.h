#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

// A date written in the regional short-date form: the order of day, month
// and year and the separator come from the locale's short date format; day
// and month take one or two digits, the year two or four (two digits fall
// in 1950-2049). Empty when the text is no such date.
std::optional<QDate> regionalDate(const QString& text, const QLocale& locale = QLocale::system());

// The host's data version as pelko.ini gives it: in the user's short-date
// form, or else in the day/month/four-digit-year form that the host writes
// under its own regional settings (a month-first or ISO locale reads that
// text as no date, or as another one only where both readings are dates).
std::optional<QDate> dataVersionDate(const QString& text, const QLocale& locale = QLocale::system());

// The oldest data version the host must have: 22 March 2016, whatever the
// regional settings.
QDate minimumDataVersion();
