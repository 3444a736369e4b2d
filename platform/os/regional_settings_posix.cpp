#include "platform/os/regional_settings.h"

#include "platform/os/strftime_pattern.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace os {
namespace {

// The locale a category follows: LC_ALL, then the category's own variable,
// then LANG; "C" when none of them is set.
std::string localeName(const char* category)
{
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "C";
}

struct LocaleName {
    std::string language;
    std::string territory;
    std::string modifier;  // with its '@'
};

// language[_territory][.codeset][@modifier]
LocaleName parse(std::string_view name)
{
    LocaleName parts;
    if (const size_t at = name.find('@'); at != std::string_view::npos) {
        parts.modifier = std::string(name.substr(at));
        name = name.substr(0, at);
    }
    name = name.substr(0, name.find('.'));
    const size_t split = name.find_first_of("_-");
    parts.language = std::string(name.substr(0, split));
    if (split != std::string_view::npos)
        parts.territory = std::string(name.substr(split + 1));
    return parts;
}

bool isNeutral(const LocaleName& name) { return name.language == "C" || name.language == "POSIX"; }

// American English: the window has always written its dates and times as
// M/d/yy and h:mm:ss AM, where the C library writes 03/09/2026 and
// 05:05:03 PM; the results stay as they were.
bool isUnitedStates(const LocaleName& name)
{
    return name.language == "en" && (name.territory.empty() || name.territory == "US");
}

RegionalSettings unitedStatesSettings()
{
    RegionalSettings settings = neutralRegionalSettings();
    settings.shortDateFormat = "M/d/yy";
    settings.longTimeFormat = "h:mm:ss tt";
    return settings;
}

using Locale = std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)>;

// The C library's locale of that name, in UTF-8 whatever codeset the name
// asks for, since every text of ours is UTF-8; null when it is not there.
Locale openLocale(const LocaleName& name, int mask)
{
    std::string full = name.language;
    if (!name.territory.empty())
        full += '_' + name.territory;
    full += ".UTF-8" + name.modifier;
    return Locale(newlocale(mask, full.c_str(), locale_t(nullptr)), &freelocale);
}

std::string item(locale_t locale, nl_item what) { return nl_langinfo_l(what, locale); }

RegionalSettings settingsOf(const LocaleName& timeName, const LocaleName& numericName)
{
    RegionalSettings settings = neutralRegionalSettings();
    if (isUnitedStates(timeName)) {
        settings = unitedStatesSettings();
    } else if (!isNeutral(timeName)) {
        if (const Locale time = openLocale(timeName, LC_TIME_MASK)) {
            const std::string ampm = item(time.get(), T_FMT_AMPM);
            settings.shortDateFormat = patternOfStrftime(item(time.get(), D_FMT), ampm);
            settings.longTimeFormat = patternOfStrftime(item(time.get(), T_FMT), ampm);
            settings.amDesignator = item(time.get(), AM_STR);
            settings.pmDesignator = item(time.get(), PM_STR);
            for (int i = 0; i < 12; ++i) {
                settings.shortMonthNames[size_t(i)] = item(time.get(), nl_item(ABMON_1 + i));
                settings.longMonthNames[size_t(i)] = item(time.get(), nl_item(MON_1 + i));
            }
            for (int i = 0; i < 7; ++i) {
                settings.shortDayNames[size_t(i)] = item(time.get(), nl_item(ABDAY_1 + i));
                settings.longDayNames[size_t(i)] = item(time.get(), nl_item(DAY_1 + i));
            }
        }
    }
    if (!isNeutral(numericName) && !isUnitedStates(numericName)) {
        if (const Locale numeric = openLocale(numericName, LC_NUMERIC_MASK)) {
            const std::string separator = item(numeric.get(), RADIXCHAR);
            if (!separator.empty())
                settings.decimalSeparator = separator;
        }
    }
    return settings;
}

} // namespace

RegionalSettings systemRegionalSettings()
{
    return settingsOf(parse(localeName("LC_TIME")), parse(localeName("LC_NUMERIC")));
}

} // namespace os
