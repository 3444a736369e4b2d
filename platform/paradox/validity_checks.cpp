#include "platform/paradox/validity_checks.h"

#include "platform/paradox/file_names.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"

#include <cctype>
#include <cstring>
#include "platform/os/file.h"

namespace paradox {
namespace {

constexpr size_t entriesAt = 0x35;
constexpr size_t entrySize = 0x1C;
constexpr size_t lookupBlockSize = 0x50;

std::string shown(const Field& f, const uint8_t* stored, const CodePage& cp)
{
    return messageText(decodeField(f, stored, cp));
}

} // namespace

bool pictureSupported(const std::string& picture)
{
    return picture.find_first_of("*[]{};,") == std::string::npos;
}

bool matchesPicture(const std::string& picture, const std::string& value)
{
    if (!pictureSupported(picture) || picture.size() != value.size())
        return false;
    for (size_t i = 0; i < picture.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        switch (picture[i]) {
        case '#':
            if (!std::isdigit(c))
                return false;
            break;
        case '?':
            if (!std::isalpha(c) && c < 0x80)
                return false;
            break;
        case '&':
            if ((!std::isalpha(c) && c < 0x80) || std::islower(c))
                return false;
            break;
        case '!':
            if (std::islower(c))
                return false;
            break;
        case '@': break;
        default:
            if (value[i] != picture[i])
                return false;
        }
    }
    return true;
}

ValidityChecks::ValidityChecks(const std::string& path, const Header& table)
    : path_(path)
{
    std::vector<uint8_t> d;
    os::File file;
    if (!os::File::open(path, os::Access::Read, file) || !file.readWhole(d))
        d.clear();  // refused below as too short
    const std::string name = fileNameOf(path);
    auto refuse = [&](const std::string& why) {
        return Error("As regras de validação de " + name + " não podem ser aplicadas por este programa (" + why
                     + "); a tabela não recebe registros.");
    };
    if (d.size() < entriesAt)
        throw refuse("arquivo curto demais");
    if (d[1] != 9 && d[1] != 10 && d[1] != 11)
        throw refuse("formato antigo");
    // Referential integrity, child side: the references this table makes.
    // (The parent side that follows concerns changes to this table's keys,
    // which an insert does not make.)
    if (const size_t ri = bytes::u32le(&d[0x0D]); ri != 0) {
        constexpr size_t entry = 0x1E0;
        if (ri + 2 > d.size())
            throw refuse("integridade referencial incompleta");
        const int count = bytes::u16le(&d[ri]);
        for (int i = 0; i < count; ++i) {
            const size_t at = ri + 2 + size_t(i) * entry;
            if (at + entry > d.size())
                throw refuse("integridade referencial incompleta");
            Reference r;
            r.parentTable.assign(reinterpret_cast<const char*>(&d[at + 0xD4]), strnlen(reinterpret_cast<const char*>(&d[at + 0xD4]), 0x72));
            const int fields = bytes::u16le(&d[at + 0x19E]);
            if (fields < 1 || fields > 16 || r.parentTable.empty())
                throw refuse("integridade referencial em forma desconhecida");
            for (int k = 0; k < fields; ++k) {
                const int child = bytes::u16le(&d[at + 0x1A0 + 2 * size_t(k)]);
                const int parent = bytes::u16le(&d[at + 0x1C0 + 2 * size_t(k)]);
                if (child < 1 || child > int(table.fields.size()) || parent < 1)
                    throw refuse("integridade referencial em forma desconhecida");
                r.childFields.push_back(child - 1);
                r.parentFields.push_back(parent - 1);
            }
            references_.push_back(std::move(r));
        }
    }
    size_t at = entriesAt;
    for (int e = 0; e < d[2]; ++e) {
        if (at + entrySize > d.size())
            throw refuse("entrada incompleta");
        const uint8_t* entry = &d[at];
        FieldCheck check;
        check.field = entry[0];
        if (check.field >= int(table.fields.size()))
            throw refuse("campo inexistente");
        const Field& f = table.fields[size_t(check.field)];
        check.required = entry[2] != 0;
        size_t payload = at + entrySize;
        auto take = [&](size_t n) {
            if (payload + n > d.size())
                throw refuse("entrada incompleta");
            std::vector<uint8_t> bytes(d.begin() + ptrdiff_t(payload), d.begin() + ptrdiff_t(payload + n));
            payload += n;
            return bytes;
        };
        if (bytes::u32le(entry + 0x04) != 0) {
            const auto block = take(lookupBlockSize);
            check.lookupTable.assign(reinterpret_cast<const char*>(block.data()), strnlen(reinterpret_cast<const char*>(block.data()), 0x1A));
        }
        if (bytes::u32le(entry + 0x0C) != 0)
            check.minimum = take(size_t(f.size));
        if (bytes::u32le(entry + 0x10) != 0)
            check.maximum = take(size_t(f.size));
        if (bytes::u32le(entry + 0x14) != 0)
            check.defaultValue = take(size_t(f.size));
        if (bytes::u32le(entry + 0x18) != 0) {
            const auto picture = take(entry[1]);
            check.picture.assign(reinterpret_cast<const char*>(picture.data()), strnlen(reinterpret_cast<const char*>(picture.data()), picture.size()));
            if (!pictureSupported(check.picture))
                throw refuse("máscara " + check.picture + " no campo " + f.name);
            if (f.type != FieldType::Alpha)
                throw refuse("máscara em campo não alfanumérico " + f.name);
        }
        if ((!check.minimum.empty() || !check.maximum.empty()) && f.type == FieldType::Alpha
            && table.sortOrderId != "ascii" && table.sortOrderId != "DBWINUS0")
            throw refuse("mínimo ou máximo de texto sob a ordem " + table.sortOrderId);
        fields_.push_back(std::move(check));
        at = payload;
    }
}

// A foreign key that is not blank must name a row of the parent table.
void ValidityChecks::checkReference(const Reference& r, const std::vector<uint8_t>& record, const TableFile& table) const
{
    const Header& h = table.header();
    bool blank = true;
    for (int f : r.childFields)
        blank = blank && bytes::allZero(record.data() + h.fields[size_t(f)].offset, size_t(h.fields[size_t(f)].size));
    if (blank)
        return;
    const Field& first = h.fields[size_t(r.childFields.front())];
    auto broken = [&](const std::string& why) {
        return Error("O valor '" + shown(first, record.data() + first.offset, table.codePage()) + "' não pode ser gravado no campo "
                     + first.name + " da tabela " + table.name() + ": " + why + " (integridade referencial).");
    };
    const std::string parentPath = siblingFile(folderOf(table.path()) + "/" + r.parentTable, ".DB");
    if (parentPath.empty())
        throw broken("a tabela mãe " + r.parentTable + " não foi encontrada");
    TableFile parent(parentPath, table.env());
    for (size_t k = 0; k < r.childFields.size(); ++k) {
        const Field& c = h.fields[size_t(r.childFields[k])];
        if (r.parentFields[k] >= int(parent.fields().size()) || parent.fields()[size_t(r.parentFields[k])].type != c.type
            || parent.fields()[size_t(r.parentFields[k])].size != c.size)
            throw broken("a tabela mãe " + r.parentTable + " tem outros campos");
    }
    for (size_t row = 0; row < parent.rowCount(); ++row) {
        bool same = true;
        for (size_t k = 0; k < r.childFields.size() && same; ++k) {
            const Field& c = h.fields[size_t(r.childFields[k])];
            const Field& p = parent.fields()[size_t(r.parentFields[k])];
            same = std::memcmp(record.data() + c.offset, parent.record(row) + p.offset, size_t(c.size)) == 0;
        }
        if (same)
            return;
    }
    throw broken("não consta da tabela mãe " + r.parentTable);
}

void ValidityChecks::apply(std::vector<uint8_t>& record, const TableFile& table) const
{
    const Header& h = table.header();
    for (const FieldCheck& c : fields_) {
        const Field& f = h.fields[size_t(c.field)];
        uint8_t* p = record.data() + f.offset;
        const auto size = size_t(f.size);
        if (bytes::allZero(p, size) && !c.defaultValue.empty())
            std::memcpy(p, c.defaultValue.data(), size);
        auto broken = [&](const std::string& rule) {
            return Error("O valor '" + shown(f, p, table.codePage()) + "' não pode ser gravado no campo " + f.name
                         + " da tabela " + table.name() + ": " + rule + ".");
        };
        if (bytes::allZero(p, size)) {
            if (c.required)
                throw Error("O campo " + f.name + " da tabela " + table.name() + " é obrigatório e não recebeu valor.");
            continue;
        }
        if (!c.minimum.empty() && std::memcmp(p, c.minimum.data(), size) < 0)
            throw broken("menor que o mínimo " + shown(f, c.minimum.data(), table.codePage()));
        if (!c.maximum.empty() && std::memcmp(p, c.maximum.data(), size) > 0)
            throw broken("maior que o máximo " + shown(f, c.maximum.data(), table.codePage()));
        if (!c.picture.empty()) {
            const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, size));
            const std::string value(reinterpret_cast<const char*>(p), end ? size_t(end - p) : size);
            if (!matchesPicture(c.picture, value))
                throw broken("fora da máscara " + c.picture);
        }
        if (!c.lookupTable.empty()) {
            const std::string lookupPath = siblingFile(folderOf(table.path()) + "/" + c.lookupTable, ".DB");
            if (lookupPath.empty())
                throw broken("a tabela de consulta " + c.lookupTable + " não foi encontrada");
            TableFile lookup(lookupPath, table.env());
            const Field& key = lookup.fields().front();
            if (key.type != f.type || key.size != f.size)
                throw broken("a tabela de consulta " + c.lookupTable + " tem outro tipo de campo");
            bool found = false;
            for (size_t r = 0; r < lookup.rowCount() && !found; ++r)
                found = std::memcmp(lookup.record(r) + key.offset, p, size) == 0;
            if (!found)
                throw broken("não consta da tabela de consulta " + c.lookupTable);
        }
    }
    for (const Reference& r : references_)
        checkReference(r, record, table);
}

} // namespace paradox
