#pragma once

#include "platform/paradox/field.h"
#include "platform/paradox/value.h"

#include <string>
#include <string_view>

namespace paradox {

// The text form of values used by table dumps and by rows read from text:
// dates 2026-12-09, times 10:00:00, timestamps 2026-12-09 10:00:00, numbers
// with four decimals and a full stop, logical 1 or 0, text with \t \n \r and
// \\ escaped, and \N for a blank value.
std::string valueText(const Field& field, const Value& value);

// A value as an error message quotes it: text as it is, numbers in plain
// decimal, logical values in words, dates as 2026-12-09.
std::string messageText(const Value& value);

// A date as 2026-12-09.
std::string dateText(Date date);

// Reads a value of the field's type from its text form. Raises Error naming
// the field when the text does not fit the type.
Value parseValueText(const Field& field, std::string_view text);

} // namespace paradox
