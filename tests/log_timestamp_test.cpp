#include "log/log_timestamp.h"

#include <gtest/gtest.h>

namespace {

TEST(LogTimestamp, BrazilianShortDateAndLongTimeWithoutZone)
{
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    const QDateTime moment(QDate(2026, 3, 9), QTime(7, 5, 3, 250));
    EXPECT_EQ(logTimestamp(moment, br).toStdString(), "09/03/2026 07:05:03");
}

TEST(LogTimestamp, DateAloneAtExactlyMidnight)
{
    const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(logTimestamp(QDateTime(QDate(2026, 12, 10), QTime(0, 0)), br).toStdString(), "10/12/2026");
    EXPECT_EQ(logTimestamp(QDateTime(QDate(2026, 12, 10), QTime(0, 0, 0, 1)), br).toStdString(),
              "10/12/2026 00:00:00");
}

TEST(LogTimestamp, LeavesTheTimeZoneOutOfAnyFormat)
{
    const std::pair<const char*, const char*> cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"HH'h't", "HH'h'"},
        {"HH'h'mm 't' t", "HH'h'mm 't'"},
    };
    for (auto [in, out] : cases)
        EXPECT_EQ(withoutTimeZone(QString::fromLatin1(in)).toStdString(), out) << in;
}

} // namespace
