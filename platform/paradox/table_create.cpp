#include "platform/os/folder.h"
#include "platform/paradox/table_create.h"

#include "platform/paradox/file_names.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/code_page.h"
#include "platform/paradox/error.h"
#include "platform/os/file.h"
#include "platform/paradox/header.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

namespace paradox {
namespace {

using namespace offsets;

constexpr int version7 = 12;
constexpr size_t tableNameLength = 261;
// Plain byte order ("ascii" for Windows code pages), whose rules every reader knows.
constexpr const char* sortOrderName = "DBWINUS0";
constexpr uint8_t sortOrderByte = 0x4C;

std::string withExtension(const std::string& path, const char* extension)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of(os::pathSeparators());
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    return stem + extension;
}

int storedSize(const ColumnLayout& f)
{
    switch (f.type) {
    case FieldType::Alpha:
    case FieldType::Bytes: return f.size;
    case FieldType::Bcd: return 17;
    case FieldType::Short: return 2;
    case FieldType::Logical: return 1;
    case FieldType::Currency:
    case FieldType::Number:
    case FieldType::Timestamp: return 8;
    default: return 4;
    }
}

void writeFile(const std::string& path, const std::vector<uint8_t>& data)
{
    if (const auto status = os::createWith(path, data); !status)
        throw errorOf("Não foi possível criar " + path, status);
}

// A header of size bytes (rounded up to whole 2 KB) for these fields.
Header newHeader(size_t used, FileType type, int recordSize, int blockKb, const std::vector<Field>& fields,
                 int keyFields, int codePage)
{
    Header h;
    h.raw.assign((used + 0x7FF) / 0x800 * 0x800, 0);
    h.recordSize = recordSize;
    h.fileType = type;
    h.blockSize = blockKb * 1024;
    h.fields = fields;
    h.keyFieldCount = keyFields;
    h.sortOrderCode = sortOrderByte;
    h.fileVersion = version7;
    h.codePage = codePage;
    h.indexRoot = type == FileType::PrimaryIndex ? 1 : 0;
    storeLayout(h);
    storeCounters(h);
    bytes::putU16le(&h.raw[realHeaderSize], uint16_t(used));
    return h;
}

Field fieldOf(const ColumnLayout& column)
{
    Field f;
    f.name = column.name;
    f.type = column.type;
    f.size = storedSize(column);
    f.decimals = column.type == FieldType::Bcd ? column.size : 0;
    return f;
}

} // namespace

TableLayout parseSchema(std::string_view schema)
{
    TableLayout layout;
    size_t start = 0;
    while (start <= schema.size()) {
        const size_t comma = std::min(schema.find(',', start), schema.size());
        const std::string_view part = schema.substr(start, comma - start);
        const size_t colon = part.find(':');
        if (colon == std::string_view::npos || colon == 0 || colon + 1 >= part.size())
            throw Error("Esquema não entendido em '" + std::string(part) + "': use NOME:TIPO.");
        ColumnLayout f;
        f.name = std::string(part.substr(0, colon));
        std::string_view type = part.substr(colon + 1);
        if (type.ends_with('*')) {
            f.key = true;
            type.remove_suffix(1);
        }
        if (!typeFromLetter(type.front(), f.type) || isBlobType(f.type))
            throw Error("Tipo de campo não entendido em '" + std::string(part) + "'.");
        const std::string_view digits = type.substr(1);
        const bool sized = f.type == FieldType::Alpha || f.type == FieldType::Bytes || f.type == FieldType::Bcd;
        if (sized) {
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), f.size);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
                throw Error("Tamanho de campo não entendido em '" + std::string(part) + "'.");
        } else if (!digits.empty()) {
            throw Error("O tipo de '" + std::string(part) + "' não leva tamanho.");
        }
        layout.fields.push_back(std::move(f));
        start = comma + 1;
    }
    return layout;
}

void createTable(const std::string& path, const TableLayout& layout)
{
    const int n = int(layout.fields.size());
    if (n == 0 || n > 255)
        throw Error("Uma tabela precisa de 1 a 255 campos.");
    int keys = 0;
    int recordSize = 0;
    for (int i = 0; i < n; ++i) {
        const ColumnLayout& f = layout.fields[size_t(i)];
        if (f.key && keys != i)
            throw Error("Os campos de chave precisam vir primeiro (campo " + f.name + ").");
        keys += f.key;
        if ((f.type == FieldType::Alpha || f.type == FieldType::Bytes) && (f.size < 1 || f.size > 255))
            throw Error("Tamanho inválido no campo " + f.name + ".");
        if (f.type == FieldType::Bcd && (f.size < 0 || f.size > 32))
            throw Error("Casas decimais inválidas no campo " + f.name + ".");
        recordSize += storedSize(f);
    }
    const int code = layout.blockSizeKb;
    if (code != 1 && code != 2 && code != 4 && code != 8 && code != 16 && code != 32)
        throw Error("Tamanho de bloco inválido: " + std::to_string(code) + " KB.");
    if (recordSize > code * 1024 - 6)
        throw Error("O registro não cabe num bloco de " + std::to_string(code) + " KB.");
    const CodePage codePage(layout.codePage);

    // Variable part: descriptors, pointers, table name, field names, field
    // numbers, sort order.
    std::vector<uint8_t> names;
    for (const ColumnLayout& f : layout.fields) {
        const auto encoded = codePage.fromUtf8(f.name);
        if (!encoded || encoded->empty() || encoded->find('\0') != std::string::npos)
            throw Error("Nome de campo inválido: " + f.name + ".");
        names.insert(names.end(), encoded->begin(), encoded->end());
        names.push_back(0);
    }
    const std::string tableName = fileNameOf(path).substr(0, tableNameLength - 1);
    const size_t namesAt = descriptorsWithExtension + 2 * size_t(n) + 4 + 4 * size_t(n) + tableNameLength;
    const size_t numbersAt = namesAt + names.size();
    const size_t sortAt = numbersAt + 2 * size_t(n);
    const size_t used = sortAt + std::strlen(sortOrderName) + 1;
    std::vector<Field> fields;
    for (const ColumnLayout& f : layout.fields)
        fields.push_back(fieldOf(f));
    Header db = newHeader(used, keys ? FileType::KeyedTable : FileType::UnkeyedTable, recordSize, code, fields, keys,
                          layout.codePage);
    std::vector<uint8_t>& h = db.raw;
    bytes::putU16le(&h[unknown12], uint16_t(n + 2));
    bytes::putU32le(&h[encryption1], 0xFF00FF00);
    h[structureStamp] = 1;
    h[plainMarks] = 0x1F;
    h[plainMarks + 1] = 0x0F;
    h[dataHeaderMark] = 0x20;
    bytes::putU16le(&h[versionWord1], 0x0100 + version7);
    bytes::putU16le(&h[versionWord2], 0x0100 + version7);
    bytes::putU32le(&h[structureTime], uint32_t(std::time(nullptr)));
    bytes::putU16le(&h[highestFieldId], uint16_t(n + 1));
    bytes::putU16le(&h[fieldNumbersOffset], uint16_t(numbersAt - descriptorsWithout));
    h[extensionMarks] = 1;
    h[extensionMarks + 1] = 1;
    bytes::putU16le(&h[sortOrderOffset], uint16_t(sortAt - descriptorsWithout));
    for (int i = 0; i < n; ++i)
        bytes::putU16le(&h[numbersAt + 2 * size_t(i)], uint16_t(i + 1));
    std::memcpy(&h[namesAt - tableNameLength], tableName.data(), tableName.size());
    std::memcpy(&h[namesAt], names.data(), names.size());
    std::memcpy(&h[sortAt], sortOrderName, std::strlen(sortOrderName));

    const std::string indexPath = withExtension(path, ".PX");
    std::vector<uint8_t> px;
    if (keys) {
        int keyWidth = 0;
        for (int i = 0; i < keys; ++i)
            keyWidth += storedSize(layout.fields[size_t(i)]);
        const size_t pxUsed = descriptorsWithout + 2 * size_t(keys) + 4 + tableNameLength;
        const std::vector<Field> keyFields(fields.begin(), fields.begin() + keys);
        px = newHeader(pxUsed, FileType::PrimaryIndex, keyWidth + 6, code, keyFields, 0, 0).raw;
        bytes::putU16le(&px[unknown12], uint16_t(n + 3));
        const std::string pxName = fileNameOf(indexPath).substr(0, tableNameLength - 1);
        std::memcpy(&px[descriptorsWithout + 2 * size_t(keys) + 4], pxName.data(), pxName.size());
    }
    writeFile(path, h);
    if (keys) {
        try {
            writeFile(indexPath, px);
        } catch (...) {
            os::discard(path);
            throw;
        }
    }
}

} // namespace paradox
