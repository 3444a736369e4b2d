#include "log/log_timestamp.h"

#include "platform/os/regional_format.h"

#include <algorithm>
#include <ctime>

LocalMoment localMomentNow()
{
    // Asking the C library directly reads the time zone once per process.
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    ::localtime_r(&now.tv_sec, &local);
    using namespace std::chrono;
    // A leap second is written as the second before it.
    return {year_month_day {year(local.tm_year + 1900), month(unsigned(local.tm_mon + 1)), day(unsigned(local.tm_mday))},
            hours(local.tm_hour) + minutes(local.tm_min) + seconds(std::min(local.tm_sec, 59))
                + milliseconds(now.tv_nsec / 1000000)};
}

std::string logTimestamp(const LocalMoment& moment, const os::RegionalSettings& settings)
{
    return os::formatDateTime(settings, moment.date, moment.timeOfDay);
}
