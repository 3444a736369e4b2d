#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace paradox {

// A field value as the engine sees it. Text is UTF-8; a date counts days from
// 0001-01-01 (that day is 1), a time milliseconds since midnight, a timestamp
// milliseconds since day 0. Currency and Number are doubles; BCD is its
// decimal text.
struct Blank {
    bool operator==(const Blank&) const = default;
};
struct Date {
    int32_t days = 0;
    bool operator==(const Date&) const = default;
};
struct Time {
    int32_t ms = 0;
    bool operator==(const Time&) const = default;
};
struct Timestamp {
    double ms = 0;
    bool operator==(const Timestamp&) const = default;
};
struct Bytes {
    std::string data;
    bool operator==(const Bytes&) const = default;
};

using Value = std::variant<Blank, std::string, int64_t, double, bool, Date, Time, Timestamp, Bytes>;

inline bool isBlank(const Value& v) { return std::holds_alternative<Blank>(v); }

// Calendar conversions of the Date type (proleptic Gregorian).
Date dateFromYmd(int year, int month, int day);
void ymdFromDate(Date d, int& year, int& month, int& day);

} // namespace paradox
