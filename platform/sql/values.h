#pragma once

#include "platform/paradox/value.h"

#include <string>
#include <string_view>
#include <vector>

namespace paradox {
class TableFile;
struct Field;
}

namespace db {

struct Operand;
class Param;

// The field of a table by name, without regard to case. Raises paradox::Error
// naming the table and the column when there is none.
size_t fieldOf(const paradox::TableFile& table, std::string_view column);

// The value an operand gives a field: a parameter converted to the field's
// type, or a literal. Raises paradox::Error naming the table, the column and
// the value when the two do not fit; an empty text stores as blank.
paradox::Value operandValue(const paradox::TableFile& table, const paradox::Field& field, const Operand& operand,
                            const std::vector<Param>& params);

// A value as text for a result column; blank is the empty text.
std::string valueAsString(const paradox::Value& value);

// Bytes whose order is the column's order in the table's sort order.
std::string sortKey(const paradox::TableFile& table, size_t field, size_t row);

} // namespace db
