#include "platform/paradox/text_form.h"

#include "platform/paradox/error.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace paradox {
namespace {

std::string escaped(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (c == '\0')
            break;
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescaped(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string two(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}


std::string timeText(int64_t ms)
{
    const int64_t s = ms / 1000;
    return two(int(s / 3600)) + ":" + two(int(s / 60 % 60)) + ":" + two(int(s % 60));
}

std::string fixed4(double d)
{
    char b[64];
    const auto r = std::to_chars(b, b + sizeof b, d, std::chars_format::fixed, 4);
    return std::string(b, r.ptr);
}

template <typename T>
bool parseWhole(std::string_view s, T& out)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parseDate(std::string_view s, Date& out)
{
    int y = 0;
    int m = 0;
    int d = 0;
    if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !parseWhole(s.substr(0, 4), y)
        || !parseWhole(s.substr(5, 2), m) || !parseWhole(s.substr(8, 2), d) || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    out = dateFromYmd(y, m, d);
    int y2 = 0;
    int m2 = 0;
    int d2 = 0;
    ymdFromDate(out, y2, m2, d2);
    return y2 == y && m2 == m && d2 == d;
}

bool parseTime(std::string_view s, int64_t& ms)
{
    int h = 0;
    int m = 0;
    int sec = 0;
    if (s.size() != 8 || s[2] != ':' || s[5] != ':' || !parseWhole(s.substr(0, 2), h) || !parseWhole(s.substr(3, 2), m)
        || !parseWhole(s.substr(6, 2), sec) || h > 23 || m > 59 || sec > 59)
        return false;
    ms = (int64_t(h) * 3600 + m * 60 + sec) * 1000;
    return true;
}

} // namespace

std::string dateText(Date d)
{
    int y = 0;
    int m = 0;
    int day = 0;
    ymdFromDate(d, y, m, day);
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, day);
    return b;
}

std::string messageText(const Value& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return fixed4(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "verdadeiro" : "falso";
    if (const auto* d = std::get_if<Date>(&v))
        return dateText(*d);
    return isBlank(v) ? std::string() : std::string("(valor)");
}

std::string valueText(const Field& f, const Value& v)
{
    if (isBlank(v))
        return "\\N";
    if (const auto* s = std::get_if<std::string>(&v))
        return escaped(*s);
    if (const auto* i = std::get_if<int64_t>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return fixed4(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "1" : "0";
    if (const auto* d = std::get_if<Date>(&v))
        return dateText(*d);
    if (const auto* t = std::get_if<Time>(&v))
        return timeText(t->ms);
    if (const auto* t = std::get_if<Timestamp>(&v)) {
        const auto ms = int64_t(std::llround(t->ms));
        return dateText(Date{int32_t(ms / 86400000)}) + " " + timeText(ms % 86400000);
    }
    const auto& bytes = std::get<Bytes>(v);
    (void)f;
    return "<" + std::to_string(bytes.data.size()) + " bytes>";
}

Value parseValueText(const Field& f, std::string_view text)
{
    if (text == "\\N")
        return Blank{};
    auto fail = [&] { return Error("Valor '" + std::string(text) + "' não serve para o campo " + f.name + "."); };
    switch (f.type) {
    case FieldType::Alpha:
    case FieldType::Memo:
    case FieldType::FormattedMemo: return unescaped(text);
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement: {
        int64_t i = 0;
        if (!parseWhole(text, i))
            throw fail();
        return i;
    }
    case FieldType::Currency:
    case FieldType::Number: {
        double d = 0;
        if (!parseWhole(text, d) || !std::isfinite(d))
            throw fail();
        return d;
    }
    case FieldType::Logical:
        if (text == "1" || text == "0")
            return text == "1";
        throw fail();
    case FieldType::Date: {
        Date d;
        if (!parseDate(text, d))
            throw fail();
        return d;
    }
    case FieldType::Time: {
        int64_t ms = 0;
        if (!parseTime(text, ms))
            throw fail();
        return Time{int32_t(ms)};
    }
    case FieldType::Timestamp: {
        Date d;
        int64_t ms = 0;
        if (text.size() != 19 || text[10] != ' ' || !parseDate(text.substr(0, 10), d) || !parseTime(text.substr(11), ms))
            throw fail();
        return Timestamp{double(d.days) * 86400000.0 + double(ms)};
    }
    case FieldType::Bcd: {
        double d = 0;
        if (!parseWhole(text, d))
            throw fail();
        return std::string(text);
    }
    default: throw fail();
    }
}

} // namespace paradox
