#include "platform/os/regional_format.h"
#include "platform/os/strftime_pattern.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

using namespace std::chrono;

constexpr year_month_day march9 {year(2026), month(3), day(9)};

TEST(RegionalFormat, WritesEveryPatternLetter)
{
    os::RegionalSettings settings = os::neutralRegionalSettings();
    settings.amDesignator = "da manhã";
    settings.pmDesignator = "da tarde";
    const milliseconds morning = hours(7) + minutes(5) + seconds(3);
    const milliseconds evening = hours(17) + minutes(45) + seconds(30);
    const struct {
        const char* pattern;
        const char* date;  // of March 9, 2026, a Monday
        const char* morning;
        const char* evening;
    } cases[] = {
        {"d dd ddd dddd", "9 09 Mon Monday", "d dd ddd dddd", "d dd ddd dddd"},
        {"M MM MMM MMMM", "3 03 Mar March", "M MM MMM MMMM", "M MM MMM MMMM"},
        {"y yy yyyy", "26 26 2026", "y yy yyyy", "y yy yyyy"},
        {"h hh H HH", "h hh H HH", "7 07 7 07", "5 05 17 17"},
        {"m mm s ss", "m mm s ss", "5 05 3 03", "45 45 30 30"},
        {"t tt", "t tt", "d da manhã", "d da tarde"},
        {"HH'h'mm 'de' d", "HHhmm de 9", "07h05 de d", "17h45 de d"},
        {"'it''s' ''", "it's '", "it's '", "it's '"},
        {"'o''k'd", "o'k9", "o'kd", "o'kd"},
        {"dd.MM.yyyy '", "09.03.2026 ", "dd.MM.yyyy ", "dd.MM.yyyy "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(os::formatDate(settings, march9, c.pattern), c.date);
        EXPECT_EQ(os::formatTime(settings, morning, c.pattern), c.morning);
        EXPECT_EQ(os::formatTime(settings, evening, c.pattern), c.evening);
    }
}

TEST(RegionalFormat, TwelveHourClockAroundMidnightAndNoon)
{
    const os::RegionalSettings settings = os::neutralRegionalSettings();
    const std::pair<milliseconds, const char*> cases[] = {
        {minutes(30), "12:30 AM"}, {hours(11) + minutes(59), "11:59 AM"},
        {hours(12), "12:00 PM"},   {hours(23) + minutes(1), "11:01 PM"},
    };
    for (auto [time, text] : cases)
        EXPECT_EQ(os::formatTime(settings, time, "h:mm tt"), text);
}

TEST(RegionalFormat, DateAloneAtExactlyMidnight)
{
    os::RegionalSettings settings = os::neutralRegionalSettings();
    settings.shortDateFormat = "dd/MM/yyyy";
    EXPECT_EQ(os::formatDateTime(settings, march9, milliseconds(0)), "09/03/2026");
    EXPECT_EQ(os::formatDateTime(settings, march9, milliseconds(1)), "09/03/2026 00:00:00");
    EXPECT_EQ(os::formatDateTime(settings, march9, hours(23) + minutes(59) + seconds(59)), "09/03/2026 23:59:59");
}

TEST(RegionalFormat, ReadsShortDatesInTheFormatsOrder)
{
    const std::map<std::string, const char*> formats = {
        {"dmy", "dd/MM/yyyy"}, {"mdy", "M/d/yy"}, {"ymd", "yyyy-MM-dd"}, {"dotted", "dd.MM.yyyy"},
        {"none", "HH:mm"},
    };
    const struct {
        const char* form;
        const char* text;
        int year;  // 0: no date
        unsigned month, day;
    } cases[] = {
        {"dmy", "22/03/2016", 2016, 3, 22}, {"mdy", "3/22/16", 2016, 3, 22},
        {"ymd", "2016-03-22", 2016, 3, 22}, {"dotted", "22.03.2016", 2016, 3, 22},
        {"dmy", "22.03.2016", 0, 0, 0},     {"dmy", "1/1/49", 2049, 1, 1},
        {"dmy", "1/1/50", 1950, 1, 1},      {"dmy", "29/02/2100", 0, 0, 0},
        {"dmy", "29/02/2400", 2400, 2, 29}, {"dmy", "1/1/0", 2000, 1, 1},
        {"dmy", "1/1/0000", 0, 0, 0},       {"none", "22/03/2016", 0, 0, 0},
        {"dmy", "22/03/2016 \t", 2016, 3, 22}, {"dmy", "22\t/03/2016", 2016, 3, 22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.form) + " " + c.text);
        os::RegionalSettings settings = os::neutralRegionalSettings();
        settings.shortDateFormat = formats.at(c.form);
        const auto date = os::readShortDate(settings, c.text);
        if (c.year == 0) {
            EXPECT_FALSE(date.has_value());
        } else {
            ASSERT_TRUE(date.has_value());
            EXPECT_EQ(*date, (year_month_day {year(c.year), month(c.month), day(c.day)}));
        }
    }
}

TEST(RegionalFormat, ReadsNumbersWithTheRegionalSeparator)
{
    const struct {
        const char* separator;
        const char* text;
        bool read;
        double value;
    } cases[] = {
        {",", "12,5", true, 12.5},    {",", "12.5", false, 0},     {".", "12.5", true, 12.5},
        {".", "12,5", false, 0},      {",", "-,5", true, -0.5},    {",", "5,", true, 5},
        {",", "1,2,3", false, 0},     {",", "1e3,5", false, 0},    {"\xD9\xAB", "1\xD9\xAB" "5", true, 1.5},
        {",", "1e308", true, 1e308},  {",", "1e309", false, 0},    {",", "1e-400", false, 0},
        {",", "0e-400", true, 0},     {",", "nan", false, 0},      {",", "1 000", false, 0},
        {",", "\xFF", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.separator) + " " + c.text);
        os::RegionalSettings settings = os::neutralRegionalSettings();
        settings.decimalSeparator = c.separator;
        const auto value = os::readNumber(settings, c.text);
        ASSERT_EQ(value.has_value(), c.read);
        if (value) {
            EXPECT_EQ(*value, c.value);
        }
    }
}

TEST(StrftimePattern, TranslatesTheCLibrarysFormats)
{
    const std::pair<const char*, const char*> cases[] = {
        {"%d/%m/%Y", "dd/MM/yyyy"},
        {"%m/%d/%y", "MM/dd/yy"},
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%Y-%m-%d", "yyyy-MM-dd"},
        {"%T", "HH:mm:ss"},
        {"%r", "hh:mm:ss tt"},
        {"%I:%M:%S %p %Z", "hh:mm:ss tt"},
        {"%Z %H:%M", "HH:mm"},
        {"%e %b %Y", "d MMM yyyy"},
        {"%Hh%M", "HH'h'mm"},
        {"%Ey %Od %-d %_m", "yy dd d MM"},
        {"100%% o'k", "'100% o''k'"},
        {"%", "%"},
    };
    for (auto [format, pattern] : cases)
        EXPECT_EQ(os::patternOfStrftime(format), pattern) << format;
    EXPECT_EQ(os::patternOfStrftime("%r", "%H:%M:%S"), "HH:mm:ss");
}

// Each category follows LC_ALL, then its own variable, then LANG.
#ifndef _WIN32
TEST(SystemRegionalSettings, ReadTheLocaleNamesOfTheEnvironment)
{
    const struct {
        const char* all;
        const char* numeric;
        const char* time;
        const char* lang;
        const char* separator;
        const char* shortDate;
    } cases[] = {
        {"", "", "", "", ".", "d MMM yyyy"},
        {"", "", "", "C.UTF-8", ".", "d MMM yyyy"},
        {"", "", "", "en_US.UTF-8", ".", "M/d/yy"},
        {"", "", "", "en", ".", "M/d/yy"},
        {"", "", "en_US.UTF-8", "C", ".", "M/d/yy"},
        {"C.UTF-8", "", "en_US.UTF-8", "en_US.UTF-8", ".", "d MMM yyyy"},
        {"", "", "", "xx_YY.UTF-8", ".", "d MMM yyyy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.all) + "|" + c.numeric + "|" + c.time + "|" + c.lang);
        ::setenv("LC_ALL", c.all, 1);
        ::setenv("LC_NUMERIC", c.numeric, 1);
        ::setenv("LC_TIME", c.time, 1);
        ::setenv("LANG", c.lang, 1);
        const os::RegionalSettings settings = os::systemRegionalSettings();
        EXPECT_EQ(settings.decimalSeparator, c.separator);
        EXPECT_EQ(settings.shortDateFormat, c.shortDate);
    }
}
#else
// Windows' own settings of the user, which CTest starts in Brazilian
// Portuguese (Wine takes the user's locale from LC_ALL).
TEST(SystemRegionalSettings, ReadTheUsersLocaleFromWindows)
{
    const os::RegionalSettings settings = os::systemRegionalSettings();
    EXPECT_EQ(settings.decimalSeparator, ",");
    EXPECT_EQ(settings.shortDateFormat, "dd/MM/yyyy");
    EXPECT_EQ(settings.longTimeFormat, "HH:mm:ss");
    EXPECT_EQ(settings.longMonthNames[0], "janeiro");
    EXPECT_EQ(settings.longDayNames[0], "domingo");
}
#endif

} // namespace
