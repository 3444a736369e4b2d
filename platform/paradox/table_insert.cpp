// Inserting rows.
//
// Every write leaves files that other readers open with every row whose
// insert had returned, none twice and no half row. A reader takes the first
// "record count" rows along the block chain, so a keyed insert goes in two
// steps: the row is first added at the end of the chain and counted (one
// block write, then the header); then it is put in key order, and the copy
// at the end, now beyond the count, is taken away. The primary index follows
// the blocks. A process killed between two writes leaves either the old
// table, the new one, or the new row at the end of the chain out of key
// order; the next insert finishes the work. Within this engine every write
// goes through the family's journal, so the files reach the disk only whole;
// the order still keeps a table that another writer left halfway readable.

#include "platform/paradox/table_writer.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/file_users.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/secondary_index.h"
#include "platform/paradox/text_form.h"
#include "platform/paradox/validity_checks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace paradox {
namespace {

bool byteOrdered(const Header& h)
{
    return h.sortOrderId == "ascii" || h.sortOrderId == "DBWINUS0" || (h.sortOrderId.empty() && h.sortOrderCode == 0);
}


} // namespace

TableWriter::TableWriter(TableFile& table, TableImage& image) : table_(table), image_(image) {}

TableWriter::~TableWriter() = default;

void TableWriter::reset()
{
    primaryIndex_.reset();
    repairPending_ = true;
    familyChecked_ = false;
    primaryIndexVerified_ = false;
}

std::vector<uint8_t> TableWriter::encodeRow(const std::vector<Value>& values)
{
    if (values.size() != image_.header.fields.size())
        throw Error("A tabela " + image_.name() + " tem " + std::to_string(image_.header.fields.size()) + " campos e o registro "
                    + std::to_string(values.size()) + ".");
    std::vector<uint8_t> record(size_t(image_.header.recordSize), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        const Field& f = image_.header.fields[i];
        Value v = values[i];
        if (f.type == FieldType::AutoIncrement && isBlank(v))
            v = int64_t(image_.header.autoIncrement) + 1;
        std::string problem;
        if (isBlobType(f.type)) {
            const auto* text = std::get_if<std::string>(&v);
            const auto encoded = text ? image_.codePage.fromUtf8(*text) : std::nullopt;
            if (isBlank(v) || (text && text->empty()))
                problem.clear();
            else if (!encoded || encoded->size() > size_t(f.size - 10))
                problem = "memorandos maiores que o campo não são suportados";
            else {
                std::memcpy(record.data() + f.offset, encoded->data(), encoded->size());
                bytes::putU32le(record.data() + f.offset + f.size - 6, uint32_t(encoded->size()));
            }
        } else {
            problem = encodeField(f, v, image_.codePage, record.data() + f.offset);
        }
        if (!problem.empty())
            throw Error("Não foi possível gravar na tabela " + image_.name() + " o valor '" + messageText(v) + "' no campo "
                        + f.name + ": " + problem + ".");
    }
    return record;
}

void TableWriter::checkWritable()
{
    if (familyChecked_)
        return;
    if (image_.header.fileType != FileType::KeyedTable && image_.header.fileType != FileType::UnkeyedTable)
        throw Error("O arquivo " + image_.name() + " é um índice secundário e não recebe registros diretamente.");
    if (!image_.writable)
        throw Error("A tabela " + image_.name() + " não pode ser gravada (somente leitura).");
    if (image_.header.needsRebuild)
        throw Error("A tabela " + image_.name() + " precisa ser reconstruída pelo aplicativo antes de receber registros.");
    if (image_.keyed() && image_.primaryIndexPath.empty())
        throw Error("A tabela " + image_.name() + " tem chave mas não tem seu índice primário (.PX).");
    const std::string checks = siblingFile(image_.path, ".VAL");
    validityChecks_ = checks.empty() ? nullptr : std::make_unique<ValidityChecks>(checks, image_.header);
    // Secondary indexes that the host keeps up to date get every new row;
    // ones it does not keep are left for it to rebuild.
    secondaryIndexes_.clear();
    std::vector<std::string> maintained;
    for (const std::string& file : tableFamilyAndControlFiles(image_.path)) {
        const std::string ext = file.substr(file.find_last_of('.'));
        if (ext.size() != 4 || (ext[1] != 'X' && ext[1] != 'x'))
            continue;
        uint8_t type = 0;
        os::File index;
        if (os::File::open(file, os::Access::Read, index) && index.readAt(&type, 1, offsets::fileType)
            && (type == uint8_t(FileType::SecondaryMaintained) || type == uint8_t(FileType::CompositeMaintained)))
            maintained.push_back(file);
    }
    for (const std::string& x : maintained) {
        auto index = std::make_unique<SecondaryIndex>(x, table_);
        index->verify(table_);
        secondaryIndexes_.push_back(std::move(index));
    }
    familyChecked_ = true;
}

void TableWriter::writeBlock(int number)
{
    const int64_t at = int64_t(image_.header.headerSize) + int64_t(number - 1) * image_.header.blockSize;
    image_.journal->write(image_.path, image_.file, image_.block(number), size_t(image_.header.blockSize), at);
}

void TableWriter::writeHeader()
{
    storeCounters(image_.header);
    std::memcpy(image_.bytes.data(), image_.header.raw.data(), image_.header.raw.size());
    image_.journal->write(image_.path, image_.file, image_.header.raw.data(), image_.header.raw.size(), 0);
}

void TableWriter::bumpChangeCounters()
{
    uint8_t* d = image_.header.raw.data();
    const bool dosCounter = image_.header.hasDataExtension() && d[offsets::changeCount4] != 0
                         && d[offsets::changeCount4] == uint8_t(d[offsets::changeCount] - d[offsets::structureStamp]);
    d[offsets::changeCount] = uint8_t(d[offsets::changeCount] + 1);
    if (image_.header.fileVersion < 5)
        ++image_.header.autoIncrement;  // the modification count of old tables
    if (dosCounter)
        d[offsets::changeCount4] = uint8_t(d[offsets::changeCount4] + 1);
}

// A block for new records. A block taken from the free list leaves it in the
// header at once, before anything is written into the block; an appended one
// is counted in the header by the caller once its bytes are in the file. So
// the header never names a block that is missing or is still on the list.
int TableWriter::allocateBlock()
{
    if (image_.header.firstFreeBlock != 0) {
        const int b = image_.header.firstFreeBlock;
        image_.header.firstFreeBlock = bytes::u16le(image_.block(b));
        writeHeader();
        return b;
    }
    if (image_.header.blocksInFile >= 0xFFFF)
        throw Error("A tabela " + image_.name() + " atingiu o número máximo de blocos.");
    const int b = ++image_.header.blocksInFile;
    image_.bytes.resize(size_t(image_.header.headerSize) + size_t(b) * size_t(image_.header.blockSize), 0);
    return b;
}


void TableWriter::initBlock(int number, int prev, int next)
{
    std::memset(image_.block(number), 0, size_t(image_.header.blockSize));
    const Block b = image_.view(number);
    b.setNext(next);
    b.setPrev(prev);
    b.setCount(0);
}

void TableWriter::setBlockCount(int number, int count)
{
    touched_.push_back(number);
    const Block b = image_.view(number);
    b.setCount(count);
    // Bytes after the last record are zero, as later engines leave them.
    uint8_t* end = b.record(count);
    std::memset(end, 0, size_t(b.data() + image_.header.blockSize - end));
}

void TableWriter::setNext(int number, int next) { image_.view(number).setNext(next); }
void TableWriter::setPrev(int number, int prev) { image_.view(number).setPrev(prev); }

// Where a key goes: after the last record whose key is not greater, found by
// the blocks' first keys and then inside the block. withoutLast leaves the
// chain's last record out of the search.
TableWriter::Position TableWriter::findPosition(const uint8_t* key, bool withoutLast) const
{
    auto countOf = [&](size_t b) {
        return int(image_.chain[b].count) - (withoutLast && b + 1 == image_.chain.size() ? 1 : 0);
    };
    size_t lo = 0;
    size_t hi = image_.chain.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (countOf(mid) > 0 && image_.compareKeys(image_.blockRecord(image_.chain[mid], 0), key) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0)
        return {0, 0};
    size_t b = lo - 1;
    int lowIndex = 0;
    int highIndex = countOf(b);
    while (lowIndex < highIndex) {
        const int mid = (lowIndex + highIndex) / 2;
        if (image_.compareKeys(image_.blockRecord(image_.chain[b], mid), key) <= 0)
            lowIndex = mid + 1;
        else
            highIndex = mid;
    }
    return {b, lowIndex};
}

// The record before a position, and the one at it; null where there is none.
const uint8_t* TableWriter::before(Position p) const
{
    if (p.index > 0)
        return image_.blockRecord(image_.chain[p.block], p.index - 1);
    return nullptr;
}

const uint8_t* TableWriter::at(Position p) const
{
    if (p.block < image_.chain.size() && p.index < image_.chain[p.block].count)
        return image_.blockRecord(image_.chain[p.block], p.index);
    if (p.block + 1 < image_.chain.size() && image_.chain[p.block + 1].count > 0)
        return image_.blockRecord(image_.chain[p.block + 1], 0);
    return nullptr;
}

// Under a sort order other than plain byte order the engine places a key only
// where byte order and every national order agree: walking the key fields of
// the new key and a neighbour position by position, the first difference must
// come between digits, capitals or the padding of a shorter text, after
// equal characters of the same kind.
void TableWriter::checkKeyOrderSupported(const uint8_t* rec, Position target) const
{
    // A named secondary index may compare text without regard to case.
    if (byteOrdered(image_.header) && image_.header.fileType != FileType::CompositeMaintained)
        return;
    auto plain = [](uint8_t c) { return c == 0 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'); };
    auto decidedPlainly = [&](const uint8_t* a, const uint8_t* b) {
        for (int i = 0; i < image_.header.keyFieldCount; ++i) {
            const Field& f = image_.header.fields[size_t(i)];
            for (int k = 0; k < f.size; ++k) {
                const uint8_t x = a[f.offset + k];
                const uint8_t y = b[f.offset + k];
                if (f.type != FieldType::Alpha) {
                    if (x != y)
                        return true;
                    continue;
                }
                if (!plain(x) || !plain(y))
                    return false;
                if (x != y)
                    return true;
            }
        }
        return true;
    };
    const uint8_t* previous = before(target);
    const uint8_t* next = at(target);
    const bool ok = (!previous || decidedPlainly(rec, previous)) && (!next || decidedPlainly(rec, next));
    if (!ok)
        throw Error("A tabela " + image_.name() + " usa a ordem de classificação " + image_.header.sortOrderId
                    + ", na qual este programa só insere chaves cuja ordem não dependa de minúsculas, acentos ou "
                      "sinais; a chave nova não é uma delas.");
}

void TableWriter::appendAtTail(const uint8_t* rec)
{
    const size_t width = size_t(image_.header.recordSize);
    if (!image_.chain.empty() && image_.chain.back().count < image_.header.capacity()) {
        BlockRef& tail = image_.chain.back();
        std::memcpy(image_.view(tail.number).record(tail.count), rec, width);
        ++tail.count;
        setBlockCount(tail.number, tail.count);
        writeBlock(tail.number);
    } else {
        const int tail = image_.chain.empty() ? 0 : image_.chain.back().number;
        const int m = allocateBlock();
        initBlock(m, tail, 0);
        std::memcpy(image_.view(m).record(0), rec, width);
        setBlockCount(m, 1);
        writeBlock(m);
        writeHeader();
        if (tail) {
            setNext(tail, m);
            writeBlock(tail);
        } else {
            image_.header.firstBlock = m;
        }
        image_.chain.push_back({uint16_t(m), 1});
        linked_.emplace_back(tail, m);
        ++image_.header.blocksInUse;
        image_.header.lastBlock = m;
    }
    ++image_.header.recordCount;
    bumpChangeCounters();
    writeHeader();
    image_.rowsMoved();
}

// Takes the last record of the chain away: the copy of a row already put in
// its place, beyond the record count.
void TableWriter::removeTailRecord()
{
    BlockRef& tail = image_.chain.back();
    if (tail.count > 1 || image_.chain.size() == 1) {
        --tail.count;
        if (tail.count > 0)
            setBlockCount(tail.number, tail.count);
        else
            bytes::putU16le(image_.block(tail.number) + 4, uint16_t(-image_.header.recordSize));
        writeBlock(tail.number);
        image_.rowsMoved();
        return;
    }
    const int freed = tail.number;
    const int previous = image_.chain[image_.chain.size() - 2].number;
    setNext(previous, 0);
    writeBlock(previous);
    initBlock(freed, previous, image_.header.firstFreeBlock);
    writeBlock(freed);
    image_.header.firstFreeBlock = freed;
    freed_.push_back(freed);
    --image_.header.blocksInUse;
    image_.header.lastBlock = previous;
    image_.chain.pop_back();
    writeHeader();
    image_.rowsMoved();
}

// The row at the end of the chain goes to target; its copy at the end is
// then taken away.
void TableWriter::placeInKeyOrder(Position target)
{
    const size_t width = size_t(image_.header.recordSize);
    const size_t tailIndex = image_.chain.size() - 1;
    BlockRef& tail = image_.chain.back();
    std::vector<uint8_t> row(image_.view(tail.number).record(tail.count - 1), image_.view(tail.number).record(tail.count));
    if (target.block == tailIndex) {
        // Same block: one write moves the row to its place.
        uint8_t* base = image_.view(tail.number).record(0);
        std::memmove(base + (target.index + 1) * width, base + target.index * width,
                     (tail.count - 1 - target.index) * width);
        std::memcpy(base + target.index * width, row.data(), width);
        writeBlock(tail.number);
        return;
    }
    BlockRef t = image_.chain[target.block];
    const int capacity = image_.header.capacity();
    if (t.count < capacity) {
        uint8_t* base = image_.view(t.number).record(0);
        std::memmove(base + (target.index + 1) * width, base + target.index * width, (t.count - target.index) * width);
        std::memcpy(base + target.index * width, row.data(), width);
        setBlockCount(t.number, t.count + 1);
        writeBlock(t.number);
        image_.chain[target.block].count = uint16_t(t.count + 1);
    } else {
        // Split: half the records stay, the rest go to a new block linked after it.
        std::vector<uint8_t> rows(image_.view(t.number).record(0), image_.view(t.number).record(t.count));
        rows.insert(rows.begin() + ptrdiff_t(size_t(target.index) * width), row.begin(), row.end());
        const int total = t.count + 1;
        const int keep = total / 2;
        const int next = image_.view(t.number).next();
        const int s = allocateBlock();
        initBlock(s, t.number, next);
        std::memcpy(image_.view(s).record(0), rows.data() + keep * width, size_t(total - keep) * width);
        setBlockCount(s, total - keep);
        writeBlock(s);
        writeHeader();
        std::memcpy(image_.view(t.number).record(0), rows.data(), size_t(keep) * width);
        setBlockCount(t.number, keep);
        setNext(t.number, s);
        writeBlock(t.number);
        if (next) {
            setPrev(next, s);
            writeBlock(next);
        }
        image_.chain[target.block].count = uint16_t(keep);
        image_.chain.insert(image_.chain.begin() + ptrdiff_t(target.block) + 1,
                            BlockRef{uint16_t(s), uint16_t(total - keep)});
        linked_.emplace_back(t.number, s);
        splitBlocks_.push_back(s);
        ++image_.header.blocksInUse;
    }
    image_.rowsMoved();
    removeTailRecord();
    writeHeader();
}

void TableWriter::updatePrimaryIndex()
{
    if (!image_.keyed())
        return;
    auto freed = [&](int b) { return std::find(freed_.begin(), freed_.end(), b) != freed_.end(); };
    std::vector<std::pair<uint16_t, IndexLeaf>> added;
    for (const auto& [after, b] : linked_)
        if (!freed(b))
            added.emplace_back(uint16_t(after), image_.leafOf(b));
    std::vector<IndexLeaf> changed;
    std::sort(touched_.begin(), touched_.end());
    touched_.erase(std::unique(touched_.begin(), touched_.end()), touched_.end());
    for (int b : touched_) {
        const bool isAdded = std::any_of(added.begin(), added.end(), [&](const auto& a) { return a.second.block == b; });
        if (!freed(b) && !isAdded)
            changed.push_back(image_.leafOf(b));
    }
    primaryIndex_->update(changed, added, 1);
    touched_.clear();
    linked_.clear();
    freed_.clear();
}

std::vector<uint8_t> TableWriter::insert(const std::vector<Value>& values)
{
    // Held to the commit, so that another copy of the engine finds the
    // table either before this insert or after it.
    const auto held = table_.lock(FileLock::Mode::Exclusive);
    table_.beginTransaction();
    const size_t mark = table_.savepoint();
    std::vector<uint8_t> record;
    try {
        record = insertHeld(values);
        table_.release(mark);
    } catch (...) {
        table_.rollbackTo(mark);
        image_.journal->end();
        throw;
    }
    table_.endTransaction();  // the commit, unless a longer transaction holds it
    return record;
}

std::vector<uint8_t> TableWriter::insertHeld(const std::vector<Value>& values)
{
    // The fence goes up before the first write of a transaction and stays
    // until its commit; while it stands, no other program can take the table.
    // Only then is the table looked at: what another copy committed before
    // the fence is read, never overwritten.
    if (!image_.journal->fenced())
        table_.takeForWriting();
    table_.refresh();
    checkWritable();
    std::vector<uint8_t> rec = encodeRow(values);
    if (validityChecks_)
        validityChecks_->apply(rec, table_);
    // Every index must be able to take the row before anything is written.
    for (const auto& index : secondaryIndexes_)
        index->check(rec.data());
    const int stampBefore = primaryIndexStamp();
    placeRecord(rec);
    updateSecondaryIndexes(rec, stampBefore);
    return rec;
}

void TableWriter::placeRecord(std::vector<uint8_t>& rec)
{
    splitBlocks_.clear();
    Position target{0, 0};
    const bool inKeyOrder = image_.keyed();
    if (inKeyOrder) {
        repairUnjournaledInsert();
        checkPrimaryIndex();
        target = findPosition(rec.data(), false);
        const uint8_t* previous = before(target);
        if (previous && image_.compareKeys(previous, rec.data()) == 0) {
            std::string key;
            for (int i = 0; i < image_.header.keyFieldCount; ++i) {
                const Field& f = image_.header.fields[size_t(i)];
                const Value v = decodeField(f, rec.data() + f.offset, image_.codePage);
                key += (i ? ", " : "") + f.name + " = '" + messageText(v) + "'";
            }
            throw Error("Chave duplicada na tabela " + image_.name() + ": " + key + ".");
        }
        checkKeyOrderSupported(rec.data(), target);
    } else {
        repairUnjournaledInsert();
    }
    for (const Field& f : image_.header.fields) {
        if (f.type == FieldType::AutoIncrement) {
            // A negative number given by hand does not move the counter.
            const auto v = int64_t(bytes::sortableSigned(rec.data() + f.offset, 4));
            if (image_.header.fileVersion >= 5 && v > int64_t(image_.header.autoIncrement))
                image_.header.autoIncrement = uint32_t(v);
        }
    }
    const bool atEnd = !inKeyOrder || image_.chain.empty() || target.block + 1 > image_.chain.size()
                    || (target.block + 1 == image_.chain.size() && target.index == image_.chain.back().count);
    appendAtTail(rec.data());
    if (!atEnd)
        placeInKeyOrder(target);
    updatePrimaryIndex();
    ++image_.generation;
}

int TableWriter::primaryIndexStamp()
{
    if (!image_.keyed())
        return 0;
    if (!primaryIndex_)
        primaryIndex_ = std::make_unique<PrimaryIndex>(image_.primaryIndexPath, image_.header, *image_.journal);
    return primaryIndex_->stamp();
}

// The new row gets its entry in every maintained secondary index, and rows
// that a split moved get the number of their new block.
} // namespace paradox
