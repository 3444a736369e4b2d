#include "platform/sql/values.h"

#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"
#include "platform/sql/query.h"
#include "platform/sql/sql_error.h"
#include "platform/sql/statement.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace db {
namespace {

using paradox::FieldType;

bool isText(FieldType t) { return t == FieldType::Alpha || t == FieldType::Memo || t == FieldType::FormattedMemo; }

bool isWhole(FieldType t) { return t == FieldType::Short || t == FieldType::Long || t == FieldType::AutoIncrement; }

bool isDecimal(FieldType t) { return t == FieldType::Currency || t == FieldType::Number || t == FieldType::Bcd; }

std::string textOfNumber(double d)
{
    char b[64];
    const auto r = std::to_chars(b, b + sizeof b, d);
    return std::string(b, r.ptr);
}

std::string currencyText(int64_t tenThousandths)
{
    const bool negative = tenThousandths < 0;
    const uint64_t v = negative ? uint64_t(-tenThousandths) : uint64_t(tenThousandths);
    std::string fraction = std::to_string(v % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    return (negative ? "-" : "") + std::to_string(v / 10000) + "." + fraction;
}

// A number for a numeric field, kept whole where the field is.
paradox::Value numberFor(FieldType t, int64_t whole, double value, bool isWholeValue)
{
    if (t == FieldType::Bcd)
        return isWholeValue ? std::to_string(whole) : textOfNumber(value);
    if (isWhole(t))
        return whole;
    return isWholeValue ? double(whole) : value;
}

} // namespace

size_t fieldOf(const paradox::TableFile& table, std::string_view column)
{
    const int i = table.fieldIndex(column);
    if (i < 0)
        throw paradox::Error("O campo " + std::string(column) + " não existe na tabela " + table.name() + ".");
    return size_t(i);
}

paradox::Value operandValue(const paradox::TableFile& table, const paradox::Field& f, const Operand& o,
                            const std::vector<Param>& params)
{
    auto mismatch = [&](const std::string& value) {
        return paradox::Error("O valor '" + value + "' não serve para o campo " + f.name + " da tabela " + table.name()
                              + ".");
    };
    switch (o.kind) {
    case Operand::Kind::Integer:
        if (isWhole(f.type) || isDecimal(f.type))
            return numberFor(f.type, o.integer, double(o.integer), true);
        if (isText(f.type))
            return o.text;
        throw mismatch(o.text);
    case Operand::Kind::Number:
        if (isDecimal(f.type))
            return numberFor(f.type, 0, o.number, false);
        throw mismatch(o.text);
    case Operand::Kind::Text:
        if (isText(f.type))
            return o.text.empty() ? paradox::Value(paradox::Blank{}) : paradox::Value(o.text);
        throw mismatch(o.text);
    case Operand::Kind::Parameter: break;
    }
    const Param* p = nullptr;
    for (const Param& candidate : params)
        if (!p && sameName(candidate.name(), o.text))
            p = &candidate;
    if (!p || p->type() == Param::Type::Unbound)
        throw SqlError("O parâmetro :" + o.text + " não recebeu valor.");
    switch (p->type()) {
    case Param::Type::Text: {
        if (p->text().empty())
            return paradox::Blank{};
        if (isText(f.type))
            return p->text();
        int64_t whole = 0;
        const std::string& t = p->text();
        if ((isWhole(f.type) || isDecimal(f.type))
            && std::from_chars(t.data(), t.data() + t.size(), whole).ptr == t.data() + t.size())
            return numberFor(f.type, whole, double(whole), true);
        double d = 0;
        if (isDecimal(f.type) && std::from_chars(t.data(), t.data() + t.size(), d).ptr == t.data() + t.size())
            return numberFor(f.type, 0, d, false);
        throw mismatch(t);
    }
    case Param::Type::DateTime: {
        const DateTime dt = p->dateTime();
        if (f.type == FieldType::Date)
            return paradox::Date{dt.days};
        if (f.type == FieldType::Timestamp)
            return paradox::Timestamp{double(dt.days) * 86400000.0 + dt.msOfDay};
        if (f.type == FieldType::Time)
            return paradox::Time{dt.msOfDay};
        throw mismatch("data e hora");
    }
    case Param::Type::Boolean:
        if (f.type == FieldType::Logical)
            return p->boolean();
        throw mismatch(p->boolean() ? "verdadeiro" : "falso");
    case Param::Type::Currency: {
        const int64_t c = p->currencyTenThousandths();
        if (f.type == FieldType::Bcd)
            return currencyText(c);
        if (isDecimal(f.type))
            return double(c) / 10000.0;
        if (isWhole(f.type) && c % 10000 == 0)
            return c / 10000;
        throw mismatch(currencyText(c));
    }
    case Param::Type::SmallInt:
        if (isWhole(f.type) || isDecimal(f.type))
            return numberFor(f.type, p->smallInt(), double(p->smallInt()), true);
        throw mismatch(std::to_string(p->smallInt()));
    case Param::Type::Unbound: break;
    }
    throw SqlError("O parâmetro :" + o.text + " não recebeu valor.");
}

std::string valueAsString(const paradox::Value& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&v))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&v))
        return textOfNumber(*d);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "True" : "False";
    if (const auto* d = std::get_if<paradox::Date>(&v))
        return paradox::dateText(*d);
    if (const auto* t = std::get_if<paradox::Time>(&v))
        return std::to_string(t->ms);
    if (const auto* t = std::get_if<paradox::Timestamp>(&v))
        return textOfNumber(t->ms);
    if (const auto* b = std::get_if<paradox::Bytes>(&v))
        return b->data;
    return {};
}

// Plain byte order for the "ascii" sort orders; under other orders letters
// compare without regard to case first (a close reading of the national
// orders, which this engine does not carry), then byte by byte.
std::string sortKey(const paradox::TableFile& table, size_t field, size_t row)
{
    const paradox::Field& f = table.fields()[field];
    const auto* p = reinterpret_cast<const char*>(table.record(row) + f.offset);
    std::string raw(p, size_t(f.size));
    const paradox::Header& h = table.header();
    const bool byteOrder = h.sortOrderId == "ascii" || h.sortOrderId == "DBWINUS0" || h.sortOrderId.empty();
    if (f.type != FieldType::Alpha || byteOrder)
        return raw;
    std::string folded = raw;
    for (char& c : folded)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return folded + raw;
}

} // namespace db
