#pragma once

#include <array>
#include <string>

namespace os {

// The user's regional settings, as far as the system uses them: the decimal
// separator of prices, and the short date and long time of the log and of
// the host's data version. Formats are written in the pattern letters of
// the host's platform (see regional_format.h), so that every OS can hand its
// own over unchanged; the long time leaves the time zone out.
struct RegionalSettings {
    std::string decimalSeparator;
    std::string shortDateFormat;
    std::string longTimeFormat;
    std::string amDesignator;
    std::string pmDesignator;
    std::array<std::string, 12> shortMonthNames;  // January first
    std::array<std::string, 12> longMonthNames;
    std::array<std::string, 7> shortDayNames;  // Sunday first
    std::array<std::string, 7> longDayNames;
};

// The settings of the C locale: a full stop, d MMM yyyy and HH:mm:ss.
RegionalSettings neutralRegionalSettings();

// The settings the process runs under, read afresh at every call. On POSIX
// systems they come from the environment's locale names (LC_ALL, then
// LC_NUMERIC or LC_TIME, then LANG), never from the C library's global
// locale, which a front end may have set differently.
RegionalSettings systemRegionalSettings();

} // namespace os
