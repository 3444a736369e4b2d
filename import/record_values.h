#pragma once

#include "platform/sql/query.h"

#include <string>

// Small bridges between the import and the engine.

// Today at time of day zero, as a date-time parameter.
db::DateTime today();

// Sets a parameter by name as text.
void setText(db::Query& query, const char* name, const std::string& value);

// The largest code of six digits; the next one would not fit.
inline constexpr int32_t largestCode = 999999;
