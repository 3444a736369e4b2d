#pragma once

#include "platform/os/regional_settings.h"

#include <chrono>
#include <string>

// A moment of the local wall clock: the day and the time since its start.
struct LocalMoment {
    std::chrono::year_month_day date;
    std::chrono::milliseconds timeOfDay {0};
};

// The local wall-clock time now.
LocalMoment localMomentNow();

// The log's time stamp: the regional short date, a blank and the regional
// long time; the date alone at exactly midnight.
std::string logTimestamp(const LocalMoment& moment,
                         const os::RegionalSettings& settings = os::systemRegionalSettings());
