#include "platform/os/regional_settings.h"

#include "platform/os/win32_error.h"

#include <windows.h>

// The user's regional settings from Windows itself: its formats are already
// written in the pattern letters RegionalSettings uses.
namespace os {
namespace {

// One item of the user's locale; fallback when Windows has none.
std::string item(LCTYPE what, const std::string& fallback)
{
    wchar_t buffer[128];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buffer, int(std::size(buffer)));
    if (n <= 1)
        return fallback;
    return narrow(std::wstring(buffer, size_t(n - 1)));
}

} // namespace

RegionalSettings systemRegionalSettings()
{
    RegionalSettings settings = neutralRegionalSettings();
    settings.decimalSeparator = item(LOCALE_SDECIMAL, settings.decimalSeparator);
    settings.shortDateFormat = item(LOCALE_SSHORTDATE, settings.shortDateFormat);
    settings.longTimeFormat = item(LOCALE_STIMEFORMAT, settings.longTimeFormat);
    settings.amDesignator = item(LOCALE_S1159, settings.amDesignator);
    settings.pmDesignator = item(LOCALE_S2359, settings.pmDesignator);
    for (size_t i = 0; i < 12; ++i) {
        settings.shortMonthNames[i] = item(LOCALE_SABBREVMONTHNAME1 + LCTYPE(i), settings.shortMonthNames[i]);
        settings.longMonthNames[i] = item(LOCALE_SMONTHNAME1 + LCTYPE(i), settings.longMonthNames[i]);
    }
    // Windows counts the days from Monday, the settings from Sunday.
    for (size_t i = 0; i < 7; ++i) {
        const LCTYPE day = LCTYPE((i + 6) % 7);
        settings.shortDayNames[i] = item(LOCALE_SABBREVDAYNAME1 + day, settings.shortDayNames[i]);
        settings.longDayNames[i] = item(LOCALE_SDAYNAME1 + day, settings.longDayNames[i]);
    }
    return settings;
}

} // namespace os
