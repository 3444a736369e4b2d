#include "host/regional_date.h"

#include "platform/os/regional_format.h"
#include "platform/text/utf8_text.h"

namespace {

// The form the host writes under its own settings: day, month and a year of
// four digits, with "/" between them.
std::optional<std::chrono::year_month_day> hostFormDate(std::string_view text)
{
    os::RegionalSettings hostForm = os::neutralRegionalSettings();
    hostForm.shortDateFormat = "dd/MM/yyyy";
    const std::string_view trimmed = text::trimWhitespace(text);
    const size_t lastSeparator = trimmed.rfind('/');
    if (lastSeparator == std::string_view::npos || trimmed.size() - lastSeparator - 1 != 4)
        return std::nullopt;
    return os::readShortDate(hostForm, trimmed);
}

} // namespace

std::optional<std::chrono::year_month_day> dataVersionDate(std::string_view text, const os::RegionalSettings& settings)
{
    if (const auto date = os::readShortDate(settings, text))
        return date;
    return hostFormDate(text);
}

std::chrono::year_month_day minimumDataVersion()
{
    using namespace std::chrono;
    return year_month_day {year(2016), March, day(22)};
}
