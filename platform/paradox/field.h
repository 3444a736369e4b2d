#pragma once

#include "platform/paradox/code_page.h"
#include "platform/paradox/value.h"

#include <cstdint>
#include <string>

namespace paradox {

// Field type codes as stored in the header.
enum class FieldType : uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct Field {
    std::string name;  // UTF-8
    FieldType type = FieldType::Alpha;
    int size = 0;      // bytes in the record
    int decimals = 0;  // BCD only
    int offset = 0;    // from the start of the record
};

// One letter per type, as schemas and dumps write them ("A", "D", "$", ...).
char typeLetter(FieldType type);
// The type of a letter and whether it exists.
bool typeFromLetter(char letter, FieldType& type);
// True for types whose value lives (partly) in the memo file.
bool isBlobType(FieldType type);
// Whether the stored size is valid for the type.
bool validSize(FieldType type, int size);

// Decodes one field of a record (not BLOB types). Alpha text is converted
// from the code page.
Value decodeField(const Field& field, const uint8_t* data, const CodePage& codePage);

// Encodes v into the field's bytes. Returns an empty string on success, or
// what is wrong with the value (too long, no place in the code page, wrong
// kind of value) for the caller to report with the table and column.
std::string encodeField(const Field& field, const Value& v, const CodePage& codePage, uint8_t* out);

// The decimal text of a BCD field.
std::string bcdText(const uint8_t* data, int decimals);

} // namespace paradox
