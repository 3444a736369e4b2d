#include "platform/paradox/value.h"

namespace paradox {
namespace {

// Days from 1970-01-01 (civil calendar), after H. Hinnant's algorithm.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

constexpr int64_t unixEpochDay = 719163;  // 1970-01-01 counted from 0001-01-01 = 1

} // namespace

Date dateFromYmd(int year, int month, int day)
{
    return Date{int32_t(daysFromCivil(year, unsigned(month), unsigned(day)) + unixEpochDay)};
}

void ymdFromDate(Date date, int& year, int& month, int& day)
{
    int64_t z = int64_t(date.days) - unixEpochDay + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(int64_t(yoe) + era * 400 + (month <= 2));
}

} // namespace paradox
