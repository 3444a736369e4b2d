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

// The same, raising the framework's "''%s'' is not a valid date" error.
QDate regionalDateOrThrow(const QString& text, const QLocale& locale = QLocale::system());
