#pragma once

#include "platform/os/regional_settings.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The conversions of regional settings, the same on every OS.
//
// Pattern letters: d dd (day), ddd dddd (day name), M MM (month), MMM MMMM
// (month name), y yy (year of the century), yyyy (year), h hh (12-hour
// clock), H HH (24-hour clock), m mm (minute), s ss (second), t tt (the
// first letter of the AM/PM designator, the designator). Text in single
// quotes is copied, '' is one quote; any other character stands for itself.
namespace os {

std::string formatDate(const RegionalSettings& settings, std::chrono::year_month_day date, std::string_view pattern);
std::string formatTime(const RegionalSettings& settings, std::chrono::milliseconds timeOfDay,
                       std::string_view pattern);

// The short date, a blank and the long time; the date alone at exactly
// midnight. REQUIRES: 0 <= timeOfDay < 24 h.
std::string formatDateTime(const RegionalSettings& settings, std::chrono::year_month_day date,
                           std::chrono::milliseconds timeOfDay);

// A date written in the short-date form: the order of day, month and year
// and the separator come from the short date format; day and month take one
// or two digits, the year two to four (two digits fall in 1950-2049). White
// space around the text is passed over. Empty when the text is no such date.
std::optional<std::chrono::year_month_day> readShortDate(const RegionalSettings& settings, std::string_view text);

// A number written with the regional decimal separator: an optional sign
// (+, - or U+2212), digits with at most one separator, and an optional
// exponent (e or E, a sign, digits). White space around it is passed over;
// group separators are refused. Empty when the text is no such number, or
// one too large or too small for a double; never infinite nor NaN.
std::optional<double> readNumber(const RegionalSettings& settings, std::string_view text);

} // namespace os
