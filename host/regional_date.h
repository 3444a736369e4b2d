#pragma once

#include "platform/os/regional_settings.h"

#include <chrono>
#include <optional>
#include <string_view>

// The host's data version as pelko.ini gives it: in the user's short-date
// form, or else in the day/month/four-digit-year form that the host writes
// under its own regional settings (a month-first or ISO locale reads that
// text as no date, or as another one only where both readings are dates).
std::optional<std::chrono::year_month_day> dataVersionDate(
    std::string_view text, const os::RegionalSettings& settings = os::systemRegionalSettings());

// The oldest data version the host must have: 22 March 2016, whatever the
// regional settings.
std::chrono::year_month_day minimumDataVersion();
