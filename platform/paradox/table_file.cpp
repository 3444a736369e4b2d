#include "platform/paradox/table_file.h"

#include "platform/paradox/table_writer.h"

#include "platform/paradox/file_names.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/primary_index.h"
#include "platform/paradox/secondary_index.h"
#include "platform/paradox/validity_checks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace paradox {

const Env& Env::plain()
{
    static const Env none;
    return none;
}

std::string siblingFile(const std::string& path, std::string_view extension)
{
    return findIgnoringCase(folderOf(path), stemOf(path) + std::string(extension));
}

TableFile::TableFile(std::string path, const Env& env)
    : path_(std::move(path))
    , env_(env)
    , ownJournal_(std::make_unique<Journal>(path_, &env.files))
    , journal_(ownJournal_.get())
{
    openFile();
}

TableFile::TableFile(std::string path, Journal& family, const Env& env)
    : path_(std::move(path)), env_(env), journal_(&family)
{
    openFile();
}

void TableFile::openFile()
{
    writable_ = os::File::open(path_, os::Access::ReadWrite, file_).ok();
    if (!writable_) {
        if (const auto status = os::File::open(path_, os::Access::Read, file_); !status)
            throw errorOf("Não foi possível abrir a tabela " + path_, status);
    }
    FileLock lock(file_, FileLock::Mode::Shared, name());
    load();
}

TableFile::~TableFile() = default;

std::string TableFile::name() const { return fileNameOf(path_); }

TableFile::Identity TableFile::identityNow() const { return file_.identity(); }

void TableFile::load()
{
    // What a writer killed in its commit left is read as before that commit;
    // only a writer plays it back (takeForWriting).
    if (ownJournal_ && !journal_->active())
        journal_->overlayLeftover();
    const Identity id = identityNow();
    std::vector<uint8_t> data(size_t(std::max<int64_t>(journal_->size(path_, file_), 0)));
    if (!journal_->read(path_, file_, data.data(), data.size(), 0))
        throw Error("Não foi possível ler a tabela " + path_);
    auto damaged = [&](const std::string& why) { return Error("A tabela " + name() + " está danificada: " + why + "."); };
    Header h;
    const std::string problem = parseHeader(data.data(), data.size(), data.size(), h);
    if (!problem.empty())
        throw damaged(problem);
    // Secondary index files (.Xnn, .XGn) are sorted tables and read as such.
    if (h.fileType == FileType::PrimaryIndex || h.fileType == FileType::SecondaryIndexOfX
        || h.fileType == FileType::CompositeIndexOfX)
        throw Error("O arquivo " + name() + " não é uma tabela (é um índice).");
    if (h.encrypted)
        throw Error("A tabela " + name() + " é protegida por senha (criptografada) e não pode ser lida.");
    if (h.keyFieldCount > int(h.fields.size()))
        throw damaged("mais campos de chave que campos");

    // A file written by DOS may stop inside its last block: the rest reads as zero.
    const size_t full = size_t(h.headerSize) + size_t(h.blocksInFile) * size_t(h.blockSize);
    if (data.size() < full) {
        if (full - data.size() >= size_t(h.blockSize))
            throw damaged("o arquivo é menor que os blocos do cabeçalho");
        data.resize(full, 0);
    }

    std::vector<BlockRef> chain;
    std::vector<bool> seen(size_t(h.blocksInFile) + 1, false);
    size_t total = 0;
    for (int b = h.firstBlock; b != 0;) {
        if (b < 1 || b > h.blocksInFile)
            throw damaged("a cadeia de blocos aponta para fora do arquivo (bloco " + std::to_string(b) + ")");
        if (seen[size_t(b)])
            throw damaged("a cadeia de blocos forma um laço (bloco " + std::to_string(b) + ")");
        seen[size_t(b)] = true;
        const ConstBlock view(data.data() + h.headerSize + size_t(b - 1) * size_t(h.blockSize), h.recordSize);
        if (!view.countValid(h.capacity()))
            throw damaged("contagem de registros inválida no bloco " + std::to_string(b));
        chain.push_back({uint16_t(b), uint16_t(view.count())});
        total += size_t(view.count());
        b = view.next();
    }
    if (total < h.recordCount)
        throw damaged("o cabeçalho conta " + std::to_string(h.recordCount) + " registros e os blocos têm "
                      + std::to_string(total));

    header_ = std::move(h);
    image_ = std::move(data);
    chain_ = std::move(chain);
    codePage_ = CodePage(header_.codePage);
    for (Field& f : header_.fields)
        f.name = codePage_.toUtf8(f.name);
    identity_ = id;
    rebuildRowIndex();
    const std::string memoPath = siblingFile(path_, ".MB");
    memo_ = std::make_unique<MemoFile>(memoPath);
    primaryIndexPath_.clear();
    if (header_.fileType == FileType::KeyedTable) {
        primaryIndexPath_ = siblingFile(path_, ".PX");
    } else if (keyed()) {
        // CUSTOMER.X06 has CUSTOMER.Y06, AREACODES.XG0 has AREACODES.YG0.
        const std::string ext = path_.substr(path_.find_last_of('.') + 1);
        primaryIndexPath_ = siblingFile(path_, ".Y" + ext.substr(1));
    }
    if (writer_)
        writer_->reset();
    ++generation_;
}

void TableFile::refreshRowIndex() const
{
    if (!rowIndexStale_)
        return;
    rowIndexStale_ = false;
    firstRow_.resize(chain_.size());
    size_t row = 0;
    for (size_t i = 0; i < chain_.size(); ++i) {
        firstRow_[i] = row;
        row += chain_[i].count;
    }
}

std::unique_ptr<FileLock> TableFile::lock(FileLock::Mode mode)
{
    // A file put in the table's place since it was opened is the table now.
    const Identity there = os::identityAt(path_);
    os::File now;
    if (there != Identity{} && (there.inode != identity_.inode || there.device != identity_.device)
        && os::File::open(path_, writable_ ? os::Access::ReadWrite : os::Access::Read, now)) {
        file_ = std::move(now);
        identity_ = {};  // the next refresh loads the new file
    }
    return std::make_unique<FileLock>(file_, mode, name());
}

bool TableFile::keyed() const
{
    return header_.fileType == FileType::KeyedTable || header_.fileType == FileType::SecondaryMaintained
        || header_.fileType == FileType::CompositeMaintained;
}

void TableFile::forEachRecord(const std::function<void(const uint8_t*, int)>& visit) const
{
    size_t left = rowCount();
    for (const BlockRef& b : chain_)
        for (int i = 0; i < b.count && left > 0; ++i, --left)
            visit(blockRecord(b, i), b.number);
}

bool TableFile::refresh()
{
    struct Tell {
        const TableFile& table;
        ~Tell()
        {
            if (table.env_.refreshed)
                table.env_.refreshed(table.path_);
        }
    } tell{*this};
    uint8_t head[0x58];
    const bool sameHeader = journal_->read(path_, file_, head, sizeof head, 0) && image_.size() >= sizeof head
                         && std::memcmp(head, image_.data(), sizeof head) == 0;
    const Identity now = identityNow();
    if (sameHeader && !journal_->overlaid() && (now == identity_ || (identity_ != Identity{} && journal_->leftByCommit(path_, now)))) {
        identity_ = now;
        return false;
    }
    load();
    return true;
}

int TableFile::fieldIndex(std::string_view fieldName) const
{
    for (size_t i = 0; i < header_.fields.size(); ++i)
        if (equalsIgnoringCase(header_.fields[i].name, fieldName))
            return int(i);
    return -1;
}

const uint8_t* TableFile::block(int number) const
{
    return image_.data() + header_.headerSize + size_t(number - 1) * size_t(header_.blockSize);
}

uint8_t* TableFile::block(int number)
{
    return image_.data() + header_.headerSize + size_t(number - 1) * size_t(header_.blockSize);
}

Block TableFile::view(int number) { return Block(block(number), header_.recordSize); }
ConstBlock TableFile::view(int number) const { return ConstBlock(block(number), header_.recordSize); }

TableWriter& TableFile::writer()
{
    if (!writer_)
        writer_ = std::make_unique<TableWriter>(*this);
    return *writer_;
}

void TableFile::forgetImage()
{
    identity_ = {};
    foreignUseChecked_ = false;
    if (writer_)
        writer_->reset();
}

// Called with the table locked for writing, before its first write of a
// transaction: no other program uses it, the fence goes up, and what a
// commit cut short left is played back (or set aside, which refuses the
// table) under it.
void TableFile::takeForWriting()
{
    // Other programs' use is looked for before the first write after the
    // image was last forgotten; before every later write the fence's own locks find any lock
    // another program has taken since.
    journal_->hold(fenceForWriting(path_, name(), !foreignUseChecked_));
    foreignUseChecked_ = true;
    recoverUnderFence();
}

void TableFile::recoverUnderFence()
{
    if (!ownJournal_)
        return;
    if (journal_->overlaid()) {
        journal_->dropOverlay();
        forgetImage();
    }
    const bool playedBack = Journal::recover(path_, &env_.files) == Journal::Leftover::PlayedBack;
    recovered_ = recovered_ || playedBack;
    if (playedBack)
        forgetImage();
}

bool TableFile::recoverForWriting()
{
    if (journal_->fenced() || !Journal::leftoverPresent(path_))
        return false;
    const auto held = lock(FileLock::Mode::Exclusive);
    const auto fence = fenceForWriting(path_, name());
    const bool before = recovered_;
    recovered_ = false;
    recoverUnderFence();
    const bool playedBack = recovered_;
    recovered_ = recovered_ || before;
    if (playedBack)
        refresh();
    return playedBack;
}

bool TableFile::takeRecovered() { return std::exchange(recovered_, false); }

void TableFile::beginTransaction() { journal_->begin(); }

void TableFile::endTransaction()
{
    try {
        journal_->end();
    } catch (...) {
        forgetImage();
        throw;
    }
}

size_t TableFile::savepoint() { return journal_->savepoint(); }

void TableFile::release(size_t savepoint) { journal_->release(savepoint); }

void TableFile::rollbackTo(size_t savepoint)
{
    journal_->rollbackTo(savepoint);
    forgetImage();
}

std::vector<uint8_t> TableFile::insert(const std::vector<Value>& values)
{
    // Held to the commit, so that another copy of the engine finds the
    // table either before this insert or after it.
    const auto held = lock(FileLock::Mode::Exclusive);
    beginTransaction();
    const size_t mark = savepoint();
    std::vector<uint8_t> record;
    try {
        record = writer().insert(values);
        release(mark);
    } catch (...) {
        rollbackTo(mark);
        journal_->end();
        throw;
    }
    endTransaction();  // the commit, unless a longer transaction holds it
    return record;
}

void TableFile::insertIndexRecord(std::vector<uint8_t> record, int tableStampBefore, int tableStampAfter)
{
    writer().insertIndexRecord(std::move(record), tableStampBefore, tableStampAfter);
}

void TableFile::updateIndexEntry(const uint8_t* record) { writer().updateIndexEntry(record); }

void TableFile::checkPlacement(const std::vector<uint8_t>& record) { writer().checkPlacement(record); }

int TableFile::primaryIndexStamp() { return writer().primaryIndexStamp(); }

IndexLeaf TableFile::leafOf(int number) const
{
    const ConstBlock b = view(number);
    return {std::vector<uint8_t>(b.record(0), b.record(0) + keyWidth()), uint16_t(number), uint16_t(b.count())};
}

std::vector<IndexLeaf> TableFile::allLeaves() const
{
    std::vector<IndexLeaf> leaves;
    for (const BlockRef& b : chain_)
        if (b.count > 0)
            leaves.push_back(leafOf(b.number));
    return leaves;
}

bool TableFile::primaryIndexAgrees() const
{
    if (!keyed())
        return true;
    return PrimaryIndex(primaryIndexPath_, header_, *journal_).describes(allLeaves());
}

bool TableFile::inKeyOrder() const
{
    for (size_t r = 1; r < rowCount(); ++r)
        if (compareKeys(record(r - 1), record(r)) >= 0)
            return false;
    return true;
}

int TableFile::keyWidth() const
{
    int width = 0;
    for (int i = 0; i < header_.keyFieldCount; ++i)
        width += header_.fields[size_t(i)].size;
    return width;
}

int TableFile::compareKeys(const uint8_t* a, const uint8_t* b) const
{
    return std::memcmp(a, b, size_t(keyWidth()));
}

const uint8_t* TableFile::blockRecord(const BlockRef& b, int index) const
{
    return view(b.number).record(index);
}

const uint8_t* TableFile::record(size_t row) const
{
    refreshRowIndex();
    const auto it = std::upper_bound(firstRow_.begin(), firstRow_.end(), row) - 1;
    const size_t i = size_t(it - firstRow_.begin());
    return blockRecord(chain_[i], int(row - firstRow_[i]));
}

Value TableFile::value(size_t row, size_t fieldNo)
{
    const Field& f = header_.fields.at(fieldNo);
    const uint8_t* p = record(row) + f.offset;
    if (!isBlobType(f.type))
        return decodeField(f, p, codePage_);
    if (bytes::allZero(p, size_t(f.size)))
        return Blank{};
    const int leader = f.size - 10;
    const uint8_t* descriptor = p + leader;
    const uint32_t length = bytes::u32le(descriptor + 4);
    std::string data;
    if (bytes::u32le(descriptor) == 0)
        data.assign(reinterpret_cast<const char*>(p), std::min<size_t>(length, size_t(leader)));
    else
        data = memo_->read(descriptor);
    if (f.type == FieldType::Memo || f.type == FieldType::FormattedMemo)
        return codePage_.toUtf8(data);
    // A graphic value starts with a tag and the length of the picture after it.
    if (f.type == FieldType::Graphic && data.size() >= 8)
        data.erase(0, 8);
    return Bytes{std::move(data)};
}

std::vector<Value> TableFile::row(size_t r)
{
    std::vector<Value> values;
    values.reserve(header_.fields.size());
    for (size_t f = 0; f < header_.fields.size(); ++f)
        values.push_back(value(r, f));
    return values;
}

} // namespace paradox
