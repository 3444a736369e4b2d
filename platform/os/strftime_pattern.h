#pragma once

#include <string>
#include <string_view>

namespace os {

// A C library date or time format (%d/%m/%Y, %I:%M:%S %p...) in the pattern
// letters of regional_format.h (dd/MM/yyyy, hh:mm:ss tt). Time zones are
// left out; %r takes ampmFormat, the locale's 12-hour time format.
std::string patternOfStrftime(std::string_view format, std::string_view ampmFormat = "%I:%M:%S %p");

} // namespace os
