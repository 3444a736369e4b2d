#include "log/log_timestamp.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

os::RegionalSettings brazilian()
{
    os::RegionalSettings settings = os::neutralRegionalSettings();
    settings.decimalSeparator = ",";
    settings.shortDateFormat = "dd/MM/yyyy";
    settings.longTimeFormat = "HH:mm:ss";
    return settings;
}

LocalMoment at(int y, unsigned mo, unsigned d, milliseconds timeOfDay)
{
    return {year_month_day {year(y), month(mo), day(d)}, timeOfDay};
}

TEST(LogTimestamp, BrazilianShortDateAndLongTimeWithoutZone)
{
    EXPECT_EQ(logTimestamp(at(2026, 3, 9, hours(7) + minutes(5) + seconds(3) + milliseconds(250)), brazilian()),
              "09/03/2026 07:05:03");
}

TEST(LogTimestamp, DateAloneAtExactlyMidnight)
{
    EXPECT_EQ(logTimestamp(at(2026, 12, 10, milliseconds(0)), brazilian()), "10/12/2026");
    EXPECT_EQ(logTimestamp(at(2026, 12, 10, milliseconds(1)), brazilian()), "10/12/2026 00:00:00");
}

TEST(LogTimestamp, NowIsAValidLocalMoment)
{
    const LocalMoment now = localMomentNow();
    EXPECT_TRUE(now.date.ok());
    EXPECT_GE(now.timeOfDay, milliseconds(0));
    EXPECT_LT(now.timeOfDay, hours(24));
}

} // namespace
