#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// A value written in a statement: a parameter (":name") or a literal.
struct Operand {
    enum class Kind { Parameter, Integer, Number, Text } kind = Kind::Text;
    std::string text;   // the parameter's name, or the literal as written
    int64_t integer = 0;
    double number = 0;
};

// The statements of the local SQL this engine answers:
//   SELECT * | col[, col...] FROM table [WHERE col = operand] [ORDER BY col [ASC | DESC]]
//   INSERT INTO table ( col[, col...] ) VALUES ( operand[, operand...] )
// Names of tables and columns are matched without regard to case later.
struct Statement {
    enum class Kind { Select, Insert } kind = Kind::Select;
    std::string table;
    std::vector<std::string> columns;  // empty: "*"
    bool hasWhere = false;
    std::string whereColumn;
    Operand whereValue;
    bool hasOrder = false;
    std::string orderColumn;
    bool descending = false;
    std::vector<Operand> values;  // INSERT
};

// Names of tables, columns, keywords and parameters compare without regard
// to ASCII case.
bool sameName(std::string_view a, std::string_view b);

// Raises SqlError naming what was not understood and where.
Statement parseStatement(std::string_view sql);

// The names of the parameters in the text, in order of appearance.
std::vector<std::string> parameterNames(std::string_view sql);

} // namespace db
