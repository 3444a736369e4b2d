#include "import/record_values.h"

#include "platform/paradox/value.h"

#include <ctime>


// From the C library, which reads the time zone once per process; a local
// QDate reads the zone file again at every row.
db::DateTime today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    return {paradox::dateFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).days, 0};
}

void setText(db::Query& query, const char* name, const std::string& value)
{
    query.paramByName(name).setAsString(value);
}
