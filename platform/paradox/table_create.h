#pragma once

#include "platform/paradox/field.h"

#include <string>
#include <string_view>
#include <vector>

namespace paradox {

struct ColumnLayout {
    std::string name;  // UTF-8
    FieldType type = FieldType::Alpha;
    int size = 0;      // Alpha and Bytes: width; BCD: decimals
    bool key = false;
};

struct TableLayout {
    std::vector<ColumnLayout> fields;  // key fields first
    int blockSizeKb = 2;            // 1, 2, 4, 8, 16 or 32
    int codePage = 1252;
};

// Reads a schema such as "Codigo:A6*,Nome:A60,Data:D,TagFisica:L,Preco:$":
// name, colon, type letter with its size where the type has one, and "*" for
// a key field. Raises Error naming the part not understood.
TableLayout parseSchema(std::string_view schema);

// Creates a version 7 table at path (and its .PX when it has key fields),
// empty. Raises Error when a file of that name exists or the layout is invalid.
void createTable(const std::string& path, const TableLayout& layout);

} // namespace paradox
