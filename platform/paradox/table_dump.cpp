#include "platform/paradox/table_dump.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"

namespace paradox {
namespace {

int versionNumber(int fileVersion)
{
    if (fileVersion == 3)
        return 30;
    if (fileVersion == 4)
        return 35;
    if (fileVersion <= 9)
        return 40;
    return fileVersion <= 11 ? 50 : 70;
}

} // namespace

void dumpTable(TableFile& table, std::ostream& out, bool headerOnly)
{
    const Header& h = table.header();
    out << "# file_version: " << versionNumber(h.fileVersion) << "\n# file_type: " << int(h.fileType)
        << "\n# code_page: " << h.codePage << "\n# records: " << h.recordCount << "\n# record_size: " << h.recordSize
        << "\n# header_size: " << h.headerSize << "\n# block_size_kb: " << h.blockSize / 1024
        << "\n# blocks: " << h.blocksInFile << "\n# first_block: " << h.firstBlock << "\n# last_block: " << h.lastBlock
        << "\n# key_fields: " << h.keyFieldCount << "\n# autoinc: " << int32_t(h.autoIncrement)
        << "\n# table_name: " << h.tableName << "\n# fields: " << h.fields.size() << "\n";
    for (size_t i = 0; i < h.fields.size(); ++i) {
        const Field& f = h.fields[i];
        out << "# field " << i << ": " << f.name << ' ' << typeLetter(f.type) << ' '
            << f.size << '\n';
    }
    if (headerOnly)
        return;
    for (size_t r = 0; r < table.rowCount(); ++r) {
        for (size_t i = 0; i < h.fields.size(); ++i) {
            if (i)
                out << '\t';
            out << valueText(h.fields[i], table.value(r, i));
        }
        out << '\n';
    }
}

} // namespace paradox
