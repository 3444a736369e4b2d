#include "platform/os/regional_format.h"

#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

#include <charconv>
#include <cmath>

namespace os {
namespace {

using namespace std::chrono;

void appendNumber(std::string& out, long long value, int width)
{
    const std::string digits = std::to_string(value);
    if (int(digits.size()) < width)
        out.append(size_t(width) - digits.size(), '0');
    out += digits;
}

bool isPatternLetter(char c)
{
    return c == 'd' || c == 'M' || c == 'y' || c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't';
}

// Walks a pattern: calls field(letter, run length) for each run of one
// pattern letter, and appends everything else to out as literal text.
template <typename Field>
void expandPattern(std::string_view pattern, std::string& out, Field field)
{
    for (size_t at = 0; at < pattern.size();) {
        const char c = pattern[at];
        if (c == '\'') {
            // Text in quotes up to the next lone quote; '' is one quote,
            // inside quotes or outside them.
            if (at + 1 < pattern.size() && pattern[at + 1] == '\'') {
                out += '\'';
                at += 2;
                continue;
            }
            for (++at; at < pattern.size(); ++at) {
                if (pattern[at] != '\'') {
                    out += pattern[at];
                } else if (at + 1 < pattern.size() && pattern[at + 1] == '\'') {
                    out += '\'';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            continue;
        }
        size_t run = 1;
        while (isPatternLetter(c) && at + run < pattern.size() && pattern[at + run] == c)
            ++run;
        if (isPatternLetter(c))
            field(c, int(run));
        else
            out += c;
        at += run;
    }
}

// The character of the date format that separates its fields, and the
// order of day, month and year in it ("dmy", "mdy", ...): the first
// character that is no letter once the first field has been met.
struct DateOrder {
    std::string order;
    std::string separator = "/";
};

bool isLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && !text::isWhitespace(c));
}

DateOrder dateOrderOf(std::string_view format)
{
    DateOrder result;
    for (size_t at = 0; at < format.size();) {
        char32_t c = 0;
        const size_t n = text::codePointAt(format.substr(at), c);
        const char32_t lower = c >= 'A' && c <= 'Z' ? c + 0x20 : c;
        if ((lower == 'd' || lower == 'm' || lower == 'y')
            && result.order.find(char(lower)) == std::string::npos) {
            result.order += char(lower);
        } else if (!isLetter(c) && result.order.size() == 1 && result.separator == "/") {
            result.separator = std::string(format.substr(at, n));
        }
        at += n;
    }
    return result;
}

size_t countDigits(std::string_view s)
{
    size_t n = 0;
    while (n < s.size() && s[n] >= '0' && s[n] <= '9')
        ++n;
    return n;
}

// One field of a short date: 1 to 4 characters, digits that trailing ASCII
// blanks may follow.
std::optional<int> dateField(std::string_view part)
{
    if (part.empty() || text::characterCount(part) > 4)
        return std::nullopt;
    const size_t digits = countDigits(part);
    if (digits == 0)
        return std::nullopt;
    for (char c : part.substr(digits)) {
        if (c != ' ' && (c < '\t' || c > '\r'))
            return std::nullopt;
    }
    int value = 0;
    std::from_chars(part.data(), part.data() + digits, value);
    return value;
}

} // namespace

std::string formatDate(const RegionalSettings& settings, year_month_day date, std::string_view pattern)
{
    std::string out;
    const int y = int(date.year());
    const unsigned m = unsigned(date.month());
    const unsigned weekdayIndex = weekday(sys_days(date)).c_encoding();
    expandPattern(pattern, out, [&](char letter, int run) {
        if (letter == 'd') {
            if (run <= 2)
                appendNumber(out, unsigned(date.day()), run);
            else
                out += run == 3 ? settings.shortDayNames[weekdayIndex] : settings.longDayNames[weekdayIndex];
        } else if (letter == 'M') {
            if (run <= 2)
                appendNumber(out, m, run);
            else
                out += run == 3 ? settings.shortMonthNames[m - 1] : settings.longMonthNames[m - 1];
        } else if (letter == 'y') {
            if (run <= 2)
                appendNumber(out, y % 100, run);
            else
                appendNumber(out, y, 4);
        } else {
            out.append(size_t(run), letter);
        }
    });
    return out;
}

std::string formatTime(const RegionalSettings& settings, milliseconds timeOfDay, std::string_view pattern)
{
    std::string out;
    const hh_mm_ss<milliseconds> t(timeOfDay);
    const long long hour = t.hours().count();
    const std::string& designator = hour < 12 ? settings.amDesignator : settings.pmDesignator;
    expandPattern(pattern, out, [&](char letter, int run) {
        const int width = run >= 2 ? 2 : 1;
        if (letter == 'H')
            appendNumber(out, hour, width);
        else if (letter == 'h')
            appendNumber(out, hour % 12 == 0 ? 12 : hour % 12, width);
        else if (letter == 'm')
            appendNumber(out, t.minutes().count(), width);
        else if (letter == 's')
            appendNumber(out, t.seconds().count(), width);
        else if (letter == 't')
            out.append(run == 1 ? std::string(text::leftCharacters(designator, 1)) : designator);
        else
            out.append(size_t(run), letter);
    });
    return out;
}

std::string formatDateTime(const RegionalSettings& settings, year_month_day date, milliseconds timeOfDay)
{
    std::string out = formatDate(settings, date, settings.shortDateFormat);
    if (timeOfDay != milliseconds::zero())
        out += ' ' + formatTime(settings, timeOfDay, settings.longTimeFormat);
    return out;
}

std::optional<year_month_day> readShortDate(const RegionalSettings& settings, std::string_view text)
{
    const DateOrder form = dateOrderOf(settings.shortDateFormat);
    if (form.order.size() != 3)
        return std::nullopt;
    std::string_view rest = text::trimWhitespace(text);
    int day = 0;
    int month = 0;
    int year = 0;
    for (size_t i = 0; i < 3; ++i) {
        const size_t end = rest.find(form.separator);
        if ((i < 2) == (end == std::string_view::npos))
            return std::nullopt;
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(i < 2 ? end + form.separator.size() : rest.size());
        const auto value = dateField(part);
        if (!value)
            return std::nullopt;
        if (form.order[i] == 'd')
            day = *value;
        else if (form.order[i] == 'm')
            month = *value;
        else
            year = text::characterCount(part) <= 2 ? (*value < 50 ? 2000 + *value : 1900 + *value) : *value;
    }
    const year_month_day date {std::chrono::year(year), std::chrono::month(unsigned(month)),
                               std::chrono::day(unsigned(day))};
    // There is no year 0 in the calendar of the dates we read.
    if (year == 0 || !date.ok())
        return std::nullopt;
    return date;
}

std::optional<double> readNumber(const RegionalSettings& settings, std::string_view text)
{
    // The number in the plain form from_chars reads: ASCII digits, '.', 'e'.
    std::string plain;
    const std::string_view trimmed = text::trimWhitespace(text);
    for (size_t at = 0; at < trimmed.size();) {
        const std::string_view rest = trimmed.substr(at);
        char32_t c = 0;
        const size_t n = text::utf8Sequence(rest, c);
        if (n == 0)
            return std::nullopt;
        if (c == '+' || c == '-' || c == 0x2212) {
            plain += c == '+' ? '+' : '-';
        } else if (!settings.decimalSeparator.empty() && rest.starts_with(settings.decimalSeparator)) {
            plain += '.';
            at += settings.decimalSeparator.size();
            continue;
        } else if (c == 'e' || c == 'E') {
            plain += 'e';
        } else if (c >= '0' && c <= '9') {
            plain += char(c);
        } else {
            return std::nullopt;
        }
        at += n;
    }
    // sign? digits ('.' digits?)? or sign? '.' digits, then an optional
    // exponent: 'e' sign? digits; anything left over, a second separator
    // say, makes it no number. Rewritten whole for from_chars.
    std::string_view rest = plain;
    const bool negative = !rest.empty() && rest[0] == '-';
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-'))
        rest.remove_prefix(1);
    const std::string_view whole = rest.substr(0, countDigits(rest));
    rest.remove_prefix(whole.size());
    std::string_view fraction;
    if (!rest.empty() && rest[0] == '.') {
        rest.remove_prefix(1);
        fraction = rest.substr(0, countDigits(rest));
        rest.remove_prefix(fraction.size());
    }
    if (whole.empty() && fraction.empty())
        return std::nullopt;
    std::string number = negative ? "-" : "";
    number.append(whole.empty() ? "0" : whole).append(".").append(fraction.empty() ? "0" : fraction);
    if (!rest.empty() && rest[0] == 'e') {
        rest.remove_prefix(1);
        const size_t sign = !rest.empty() && (rest[0] == '+' || rest[0] == '-') ? 1 : 0;
        const size_t digits = countDigits(rest.substr(sign));
        if (digits == 0)
            return std::nullopt;
        number.append("e").append(rest.substr(0, sign + digits));
        rest.remove_prefix(sign + digits);
    }
    if (!rest.empty())
        return std::nullopt;
    // from_chars refuses a value beyond a double's range, and one that a
    // digit says is not zero but would fall to zero.
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace os
