// The regional conversions of the OS seam give the very results that the
// log, the data-version gate and the price reading got from
// QLocale::system(). Run once under each locale the tests set (see
// CMakeLists.txt).

#include "host/regional_date.h"
#include "log/log_timestamp.h"
#include "platform/os/regional_format.h"
#include "rules/decimal_separator.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>
#include <optional>
#include <cstring>

namespace {

using namespace std::chrono;

// Three numbers in the order given ("dmy", "mdy", "ymd"...), separated so,
// as QString read them; a two-digit year falls in 1950-2049 unless four
// digits are required.
std::optional<QDate> qtDateInOrder(const QString& text, const QString& order, QChar separator, bool fourDigitYear)
{
    const QStringList parts = text.trimmed().split(separator);
    if (order.size() != 3 || parts.size() != 3)
        return std::nullopt;
    int d = 0;
    int m = 0;
    int y = 0;
    for (int i = 0; i < 3; ++i) {
        const QString& part = parts[i];
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 4 || !part.front().isDigit())
            return std::nullopt;
        if (order[i] == QChar('d'))
            d = value;
        else if (order[i] == QChar('m'))
            m = value;
        else if (fourDigitYear && part.size() != 4)
            return std::nullopt;
        else
            y = part.size() <= 2 ? (value < 50 ? 2000 + value : 1900 + value) : value;
    }
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// A date in the short-date form of QLocale::system().
std::optional<QDate> qtRegionalDate(const QString& text)
{
    const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    QString order;
    QChar separator = QChar('/');
    for (QChar c : format) {
        const QChar lower = c.toLower();
        if ((lower == QChar('d') || lower == QChar('m') || lower == QChar('y')) && !order.contains(lower))
            order += lower;
        else if (!c.isLetter() && order.size() == 1 && separator == QChar('/'))
            separator = c;
    }
    return qtDateInOrder(text, order, separator, false);
}

// The data version as the gate read it with QLocale.
std::optional<QDate> qtDataVersionDate(const QString& text)
{
    if (const auto date = qtRegionalDate(text))
        return date;
    return qtDateInOrder(text, QStringLiteral("dmy"), QChar('/'), true);
}

// A Qt time format with its time-zone parts left out.
QString withoutTimeZone(const QString& timeFormat)
{
    QString out;
    bool quoted = false;
    for (QChar c : timeFormat) {
        if (c == QChar('\''))
            quoted = !quoted;
        if (!quoted && c == QChar('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

// The log's time stamp as QLocale wrote it.
std::string qtLogTimestamp(QDate date, QTime time)
{
    const QLocale locale = QLocale::system();
    const QString day = locale.toString(date, locale.dateFormat(QLocale::ShortFormat));
    if (time == QTime(0, 0))
        return day.toStdString();
    return (day + QChar(' ') + locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat))))
        .toStdString();
}

TEST(RegionalParity, QtReferenceLeavesTheTimeZoneOutOfAnyFormat)
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

TEST(RegionalParity, SameDecimalSeparator)
{
    EXPECT_EQ(os::systemRegionalSettings().decimalSeparator, QString(QLocale::system().decimalPoint()).toStdString());
}

TEST(RegionalParity, SameLogTimeStamps)
{
    const os::RegionalSettings settings = os::systemRegionalSettings();
    const struct {
        int y, mo, d, h, mi, s, ms;
    } cases[] = {
        {2026, 3, 9, 7, 5, 3, 250},   {2026, 12, 10, 0, 0, 0, 0},  {2026, 12, 10, 0, 0, 0, 1},
        {2026, 1, 1, 0, 30, 0, 0},    {2026, 6, 15, 12, 0, 0, 0},  {2026, 6, 15, 12, 59, 59, 999},
        {2026, 11, 30, 23, 59, 59, 0}, {1999, 10, 31, 13, 1, 2, 0}, {2000, 2, 29, 9, 9, 9, 9},
        {2049, 5, 5, 17, 45, 0, 0},   {2005, 7, 4, 11, 59, 59, 0},
    };
    for (const auto& c : cases) {
        const QDate qDate(c.y, c.mo, c.d);
        const QTime qTime(c.h, c.mi, c.s, c.ms);
        const std::string expected = qtLogTimestamp(qDate, qTime);
        const year_month_day date {year(c.y), month(unsigned(c.mo)), day(unsigned(c.d))};
        const milliseconds timeOfDay = hours(c.h) + minutes(c.mi) + seconds(c.s) + milliseconds(c.ms);
        EXPECT_EQ(logTimestamp({date, timeOfDay}, settings), expected)
            << qDate.toString(Qt::ISODate).toStdString() << " " << qTime.toString(Qt::ISODateWithMs).toStdString();
    }
}

// The short dates of the tests below: each field's digits, signs, blanks
// and separators in and around it.
constexpr const char* shortDateCases[] = {
    "22/03/2016", "03/22/2016", "3/22/16", "22/3/16", "22 Mar 2016", "22 03 2016", " 22/03/2016 ",
    "\t22/03/2016\n", "\xC2\xA0" "22/03/2016", "22/03/2016\xE3\x80\x80", "22 /03/2016", "22/03 /2016",
    "22/03/2016 ", "22\t/03/16", "22/03/ 2016", "2 2/03/2016", "+2/03/2016", "-2/03/2016",
    "22/03/20161", "22/03/016", "22/03/0016", "1/1/0000", "1/1/0001", "01/01/00", "1/1/49", "1/1/50",
    "31/02/2016", "29/02/2016", "29/02/2015", "29/02/1900", "29/02/2000", "2/29/2000", "0/1/2016",
    "1/0/2016", "32/01/2016", "1/13/2016", "13/1/2016", "22//2016", "22/03/", "/03/2016", "22/03/2016/",
    "22-03-2016", "22.03.2016", "", "   ", "abc", "22/03/2O16", "٢٢/03/2016", "22/03/16x", "00022/3/16",
    "0022/3/16", "9/9/9", "09/09/09", "12/12/1234", "22/03/2016 ", "22/03/2016\t", "1/1/ 2016",
};

void expectSameDate(const std::optional<year_month_day>& date, const std::optional<QDate>& expected, const char* text)
{
    ASSERT_EQ(date.has_value(), expected.has_value()) << '"' << text << '"';
    if (date) {
        EXPECT_EQ(int(date->year()), expected->year()) << text;
        EXPECT_EQ(unsigned(date->month()), unsigned(expected->month())) << text;
        EXPECT_EQ(unsigned(date->day()), unsigned(expected->day())) << text;
    }
}

TEST(RegionalParity, SameShortDatesRead)
{
    const os::RegionalSettings settings = os::systemRegionalSettings();
    for (const char* text : shortDateCases)
        expectSameDate(os::readShortDate(settings, text), qtRegionalDate(QString::fromUtf8(text)), text);
}

// The host's data version: the user's form, then the host's own.
TEST(RegionalParity, SameDataVersionsRead)
{
    for (const char* text : shortDateCases)
        expectSameDate(dataVersionDate(text), qtDataVersionDate(QString::fromUtf8(text)), text);
}

// The price: the full stops of vUnCom become commas, then the regional
// conversion reads the text.
TEST(RegionalParity, SamePricesRead)
{
    const os::RegionalSettings settings = os::systemRegionalSettings();
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    const char* cases[] = {
        "12.50", "12,50", "1500", "0", "0.00", "-3.5", "+3.5", "\xE2\x88\x92" "3.5", ".5", "5.", ",5", "5,",
        "1.234.5", "1,234.5", "1.234,5", " 12.5 ", "\t12.5\r\n", "12 .5", "\xC2\xA0" "7.25\xE2\x80\xAF",
        "1e3", "1E3", "1.5e-3", "2.5E+2", "1e", "e5", "5e3.5", "1e5e5", "1e05", "+-5", "--5", "5-", "-", "+",
        ".", ",", "", "   ", "12abc", "0x10", "1%", "1;2", "00012.340", "123456789012345678901234567890",
        "0.1", "0.30000000000000004", "1e400", "1e-400", "1e-310", "0e5", "0.0000e-400", "\x01" "5", "٣",
        "9999999999.9999", "R$ 12.50", "12.50 BRL",
    };
    for (const char* text : cases) {
        const std::string regional = TrocaVirgPPto(text);
        bool ok = false;
        const double expected = locale.toDouble(QString::fromStdString(regional), &ok);
        const auto value = os::readNumber(settings, regional);
        ASSERT_EQ(value.has_value(), ok) << '"' << regional << '"';
        if (value) {
            EXPECT_EQ(std::memcmp(&*value, &expected, sizeof expected), 0) << regional << ": " << *value << " " << expected;
        }
    }
}

// QLocale reads "nan" and "inf" as numbers, which would store NaN or an
// infinite price in a currency column; the seam refuses them.
TEST(RegionalParity, RefusesWhatIsNoFiniteNumber)
{
    const os::RegionalSettings settings = os::systemRegionalSettings();
    for (const char* text : {"nan", "NaN", "inf", "-inf", "+inf", "INF", "infinity"})
        EXPECT_FALSE(os::readNumber(settings, text).has_value()) << text;
}

} // namespace
