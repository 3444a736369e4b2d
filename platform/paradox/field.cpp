#include "platform/paradox/field.h"

#include "platform/paradox/bytes.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace paradox {
namespace {

struct TypeInfo {
    FieldType type;
    char letter;
};

constexpr TypeInfo typeTable[] = {
    {FieldType::Alpha, 'A'},         {FieldType::Date, 'D'},    {FieldType::Short, 'S'},
    {FieldType::Long, 'I'},          {FieldType::Currency, '$'}, {FieldType::Number, 'N'},
    {FieldType::Logical, 'L'},       {FieldType::Memo, 'M'},    {FieldType::Blob, 'B'},
    {FieldType::FormattedMemo, 'F'}, {FieldType::Ole, 'O'},     {FieldType::Graphic, 'G'},
    {FieldType::Time, 'T'},          {FieldType::Timestamp, '@'}, {FieldType::AutoIncrement, '+'},
    {FieldType::Bcd, '#'},           {FieldType::Bytes, 'Y'},
};

double decodeDouble(const uint8_t* p)
{
    uint64_t raw = bytes::uBE(p, 8);
    raw = (raw & 0x8000000000000000ULL) ? raw & 0x7FFFFFFFFFFFFFFFULL : ~raw;
    return std::bit_cast<double>(raw);
}

void encodeDouble(uint8_t* p, double d)
{
    if (d == 0)
        d = 0;  // -0.0 is stored as +0.0
    uint64_t bits = std::bit_cast<uint64_t>(d);
    bits = (bits & 0x8000000000000000ULL) ? ~bits : bits | 0x8000000000000000ULL;
    bytes::putUBE(p, 8, bits);
}

bool fitsSigned(int64_t v, int n)
{
    const int64_t limit = int64_t(1) << (8 * n - 1);
    return v > -limit && v < limit;  // the lowest value would read as blank
}

// A decimal text ("-12.50") into 32 BCD digits with `decimals` of them after
// the point; false when it is no number or does not fit.
bool encodeBcd(const std::string& text, int decimals, uint8_t* out)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+'))
        ++i;
    std::string whole;
    std::string fraction;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point)
            point = true;
        else if (c >= '0' && c <= '9')
            (point ? fraction : whole) += c;
        else
            return false;
    }
    if (whole.empty() && fraction.empty())
        return false;
    while (fraction.size() > size_t(decimals) && fraction.back() == '0')
        fraction.pop_back();
    if (fraction.size() > size_t(decimals))
        return false;
    fraction.resize(size_t(decimals), '0');
    const size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? std::string() : whole.substr(first);
    if (whole.size() + size_t(decimals) > 32)
        return false;
    const std::string digits = std::string(32 - whole.size() - size_t(decimals), '0') + whole + fraction;
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    const bool flip = negative && !zero;
    out[0] = uint8_t((flip ? 0 : 0x80) | 0x40 | decimals);
    for (int k = 0; k < 16; ++k) {
        int hi = digits[size_t(2 * k)] - '0';
        int lo = digits[size_t(2 * k + 1)] - '0';
        if (flip) {
            hi ^= 0xF;
            lo ^= 0xF;
        }
        out[1 + k] = uint8_t(hi << 4 | lo);
    }
    return true;
}

std::string wrongKind(const Field& f) { return std::string("tipo de valor incompatível com o campo ") + typeLetter(f.type); }

} // namespace

char typeLetter(FieldType type)
{
    for (const auto& t : typeTable)
        if (t.type == type)
            return t.letter;
    return '?';
}

bool typeFromLetter(char letter, FieldType& type)
{
    for (const auto& t : typeTable) {
        if (t.letter == letter) {
            type = t.type;
            return true;
        }
    }
    return false;
}

bool isBlobType(FieldType type)
{
    return type == FieldType::Memo || type == FieldType::Blob || type == FieldType::FormattedMemo
        || type == FieldType::Ole || type == FieldType::Graphic;
}

bool validSize(FieldType type, int size)
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes: return size >= 1 && size <= 255;
    case FieldType::Short: return size == 2;
    case FieldType::Logical: return size == 1;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoIncrement: return size == 4;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp: return size == 8;
    case FieldType::Bcd: return size == 17;
    default: return isBlobType(type) && size >= 10 && size <= 250;
    }
}

std::string bcdText(const uint8_t* p, int decimals)
{
    const bool negative = !(p[0] & 0x80);
    std::string digits;
    for (int i = 0; i < 32; ++i) {
        int nibble = (p[1 + i / 2] >> (i % 2 ? 0 : 4)) & 0xF;
        if (negative)
            nibble ^= 0xF;
        digits += char(nibble > 9 ? '?' : '0' + nibble);
    }
    std::string whole = digits.substr(0, size_t(32 - decimals));
    const size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? "0" : whole.substr(first);
    std::string text = (negative ? "-" : "") + whole;
    if (decimals > 0)
        text += "." + digits.substr(size_t(32 - decimals));
    return text;
}

Value decodeField(const Field& f, const uint8_t* p, const CodePage& codePage)
{
    if (bytes::allZero(p, size_t(f.size)))
        return Blank{};
    switch (f.type) {
    case FieldType::Alpha: {
        const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(f.size)));
        const size_t n = end ? size_t(end - p) : size_t(f.size);
        return codePage.toUtf8(std::string_view(reinterpret_cast<const char*>(p), n));
    }
    case FieldType::Date: return Date{int32_t(bytes::sortableSigned(p, 4))};
    case FieldType::Short: return bytes::sortableSigned(p, 2);
    case FieldType::Long:
    case FieldType::AutoIncrement: return bytes::sortableSigned(p, 4);
    case FieldType::Currency:
    case FieldType::Number: return decodeDouble(p);
    case FieldType::Logical: return p[0] == 0x81;
    case FieldType::Time: return Time{int32_t(bytes::sortableSigned(p, 4))};
    case FieldType::Timestamp: return Timestamp{decodeDouble(p)};
    case FieldType::Bcd: return bcdText(p, f.decimals);
    case FieldType::Bytes: return Bytes{std::string(reinterpret_cast<const char*>(p), size_t(f.size))};
    default: return Bytes{std::string(reinterpret_cast<const char*>(p), size_t(f.size))};
    }
}

std::string encodeField(const Field& f, const Value& v, const CodePage& codePage, uint8_t* out)
{
    std::memset(out, 0, size_t(f.size));
    if (isBlank(v))
        return {};
    const auto* integer = std::get_if<int64_t>(&v);
    const auto* number = std::get_if<double>(&v);
    switch (f.type) {
    case FieldType::Alpha: {
        const auto* text = std::get_if<std::string>(&v);
        if (!text)
            return wrongKind(f);
        const auto encoded = codePage.fromUtf8(*text);
        if (!encoded)
            return "caractere sem lugar na página de código " + std::to_string(codePage.number());
        if (encoded->size() > size_t(f.size))
            return "valor maior que o tamanho do campo (" + std::to_string(f.size) + ")";
        std::memcpy(out, encoded->data(), encoded->size());
        return {};
    }
    case FieldType::Date: {
        const auto* d = std::get_if<Date>(&v);
        if (!d || d->days <= 0)
            return wrongKind(f);
        bytes::putSortableSigned(out, 4, d->days);
        return {};
    }
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoIncrement: {
        if (!integer)
            return wrongKind(f);
        if (!fitsSigned(*integer, f.size))
            return "número fora do intervalo do campo";
        bytes::putSortableSigned(out, f.size, *integer);
        return {};
    }
    case FieldType::Currency:
    case FieldType::Number: {
        const double d = number ? *number : integer ? double(*integer) : NAN;
        if (!std::isfinite(d))
            return wrongKind(f);
        encodeDouble(out, d);
        return {};
    }
    case FieldType::Logical: {
        const auto* b = std::get_if<bool>(&v);
        if (!b)
            return wrongKind(f);
        out[0] = *b ? 0x81 : 0x80;
        return {};
    }
    case FieldType::Time: {
        const auto* t = std::get_if<Time>(&v);
        if (!t || t->ms < 0 || t->ms >= 86400000)
            return wrongKind(f);
        bytes::putSortableSigned(out, 4, t->ms);
        return {};
    }
    case FieldType::Timestamp: {
        const auto* t = std::get_if<Timestamp>(&v);
        if (!t || !(t->ms > 0))
            return wrongKind(f);
        encodeDouble(out, t->ms);
        return {};
    }
    case FieldType::Bytes: {
        const auto* b = std::get_if<Bytes>(&v);
        if (!b)
            return wrongKind(f);
        if (b->data.size() > size_t(f.size))
            return "valor maior que o tamanho do campo (" + std::to_string(f.size) + ")";
        std::memcpy(out, b->data.data(), b->data.size());
        return {};
    }
    case FieldType::Bcd: {
        const std::string text = integer ? std::to_string(*integer) : number ? std::to_string(*number)
                               : std::get_if<std::string>(&v) ? std::get<std::string>(v) : std::string();
        return encodeBcd(text, f.decimals, out) ? std::string() : wrongKind(f);
    }
    default: return std::string("gravação de campos do tipo ") + typeLetter(f.type) + " não suportada";
    }
}

} // namespace paradox
