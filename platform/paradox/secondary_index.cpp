#include "platform/paradox/secondary_index.h"

#include "platform/paradox/file_names.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"

#include <cstring>

namespace paradox {
namespace {

void putBlock(uint8_t* p, int block) { bytes::putSortableSigned(p, 2, int16_t(block)); }

} // namespace

SecondaryIndex::SecondaryIndex(const std::string& path, TableFile& table)
    : path_(path), index_(std::make_unique<TableFile>(path, table.journal(), table.env()))
{
    const Header& x = index_->header();
    const Header& t = table.header();
    const std::string name = fileNameOf(path);
    auto refuse = [&](const std::string& why) {
        return Error("O índice secundário " + name + " da tabela " + table.name() + " não pode ser mantido por este programa ("
                     + why + "); a tabela não recebe registros.");
    };
    const int indexedCount = int(x.fields.size()) - 1 - t.keyFieldCount;
    if (x.fileVersion < 5 || indexedCount < 1 || t.fileType != FileType::KeyedTable)
        throw refuse("forma desconhecida");
    // The field numbers of the indexed fields follow the field names.
    const size_t numbersAt = 0x58 + bytes::u16le(x.raw.data() + 0x66);
    if (numbersAt + 2 * size_t(indexedCount) > x.raw.size())
        throw refuse("cabeçalho incompleto");
    for (int i = 0; i < indexedCount; ++i) {
        const uint16_t number = bytes::u16le(x.raw.data() + numbersAt + 2 * size_t(i));
        if (number & 0x8000)
            throw refuse("ordem decrescente");
        if (number < 1 || number > t.fields.size())
            throw refuse("campo inexistente");
        indexed_.push_back(&t.fields[number - 1u]);
    }
    for (int i = 0; i < t.keyFieldCount; ++i)
        key_.push_back(&t.fields[size_t(i)]);
    std::vector<const Field*> expected = indexed_;
    expected.insert(expected.end(), key_.begin(), key_.end());
    for (size_t i = 0; i < expected.size(); ++i)
        if (x.fields[i].type != expected[i]->type || x.fields[i].size != expected[i]->size)
            throw refuse("campos diferentes dos da tabela");
    if (x.fields.back().type != FieldType::Short)
        throw refuse("forma desconhecida");
}

SecondaryIndex::~SecondaryIndex() = default;

std::vector<uint8_t> SecondaryIndex::entryOf(const uint8_t* record, int block) const
{
    std::vector<uint8_t> entry(size_t(index_->header().recordSize), 0);
    size_t at = 0;
    for (const auto* group : {&indexed_, &key_})
        for (const Field* f : *group) {
            std::memcpy(entry.data() + at, record + f->offset, size_t(f->size));
            at += size_t(f->size);
        }
    putBlock(entry.data() + at, block);
    return entry;
}

void SecondaryIndex::verify(const TableFile& table) const
{
    const std::string name = fileNameOf(path_);
    auto stale = [&] {
        return Error("O índice secundário " + name + " não corresponde à tabela " + table.name()
                     + " (uma gravação foi interrompida?); reconstrua os índices no aplicativo Pelko.");
    };
    if (index_->rowCount() != table.rowCount() || !index_->inKeyOrder() || !index_->primaryIndexAgrees())
        throw stale();
    std::vector<std::vector<uint8_t>> expected;
    expected.reserve(table.rowCount());
    table.forEachRecord([&](const uint8_t* record, int block) { expected.push_back(entryOf(record, block)); });
    std::sort(expected.begin(), expected.end());
    std::vector<std::vector<uint8_t>> actual;
    actual.reserve(index_->rowCount());
    const size_t width = size_t(index_->header().recordSize);
    for (size_t r = 0; r < index_->rowCount(); ++r)
        actual.emplace_back(index_->record(r), index_->record(r) + width);
    std::sort(actual.begin(), actual.end());
    if (expected != actual)
        throw stale();
}

void SecondaryIndex::check(const uint8_t* record) { index_->writer().checkPlacement(entryOf(record, 0)); }

void SecondaryIndex::add(const uint8_t* record, int block, int tableStampBefore, int tableStampAfter)
{
    index_->writer().insertIndexRecord(entryOf(record, block), tableStampBefore, tableStampAfter);
}

void SecondaryIndex::moved(const uint8_t* record, int block)
{
    index_->writer().updateIndexEntry(entryOf(record, block).data());
}

} // namespace paradox
