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
    : env_(env)
    , ownJournal_(std::make_unique<Journal>(path, &env.files))
    , journal_(ownJournal_.get())
    , image_(std::move(path), *journal_)
{
    openFile();
}

TableFile::TableFile(std::string path, Journal& family, const Env& env)
    : env_(env), journal_(&family), image_(std::move(path), family)
{
    openFile();
}

void TableFile::openFile()
{
    image_.writable = os::File::open(image_.path, os::Access::ReadWrite, image_.file).ok();
    if (!image_.writable) {
        if (const auto status = os::File::open(image_.path, os::Access::Read, image_.file); !status)
            throw errorOf("Não foi possível abrir a tabela " + image_.path, status);
    }
    FileLock lock(image_.file, FileLock::Mode::Shared, name());
    load();
}

TableFile::~TableFile() = default;

TableFile::Identity TableFile::identityNow() const { return image_.file.identity(); }

void TableFile::load()
{
    // What a writer killed in its commit left is read as before that commit;
    // only a writer plays it back (takeForWriting).
    if (ownJournal_ && !journal_->active())
        journal_->overlayLeftover();
    const Identity id = identityNow();
    std::vector<uint8_t> data(size_t(std::max<int64_t>(journal_->size(image_.path, image_.file), 0)));
    if (!journal_->read(image_.path, image_.file, data.data(), data.size(), 0))
        throw Error("Não foi possível ler a tabela " + image_.path);
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

    image_.header = std::move(h);
    image_.bytes = std::move(data);
    image_.chain = std::move(chain);
    image_.codePage = CodePage(image_.header.codePage);
    for (Field& f : image_.header.fields)
        f.name = image_.codePage.toUtf8(f.name);
    identity_ = id;
    image_.rowsMoved();
    const std::string memoPath = siblingFile(image_.path, ".MB");
    memo_ = std::make_unique<MemoFile>(memoPath);
    image_.primaryIndexPath.clear();
    if (image_.header.fileType == FileType::KeyedTable) {
        image_.primaryIndexPath = siblingFile(image_.path, ".PX");
    } else if (keyed()) {
        // CUSTOMER.X06 has CUSTOMER.Y06, AREACODES.XG0 has AREACODES.YG0.
        const std::string ext = image_.path.substr(image_.path.find_last_of('.') + 1);
        image_.primaryIndexPath = siblingFile(image_.path, ".Y" + ext.substr(1));
    }
    if (writer_)
        writer_->reset();
    ++image_.generation;
}

std::unique_ptr<FileLock> TableFile::lock(FileLock::Mode mode)
{
    // A file put in the table's place since it was opened is the table now.
    const Identity there = os::identityAt(image_.path);
    os::File now;
    if (there != Identity{} && (there.inode != identity_.inode || there.device != identity_.device)
        && os::File::open(image_.path, image_.writable ? os::Access::ReadWrite : os::Access::Read, now)) {
        image_.file = std::move(now);
        identity_ = {};  // the next refresh loads the new file
    }
    return std::make_unique<FileLock>(image_.file, mode, name());
}

void TableFile::forEachRecord(const std::function<void(const uint8_t*, int)>& visit) const
{
    size_t left = rowCount();
    for (const BlockRef& b : image_.chain)
        for (int i = 0; i < b.count && left > 0; ++i, --left)
            visit(image_.blockRecord(b, i), b.number);
}

bool TableFile::refresh()
{
    struct Tell {
        const TableFile& table;
        ~Tell()
        {
            if (table.env_.refreshed)
                table.env_.refreshed(table.image_.path);
        }
    } tell{*this};
    uint8_t head[0x58];
    const bool sameHeader = journal_->read(image_.path, image_.file, head, sizeof head, 0) && image_.bytes.size() >= sizeof head
                         && std::memcmp(head, image_.bytes.data(), sizeof head) == 0;
    const Identity now = identityNow();
    if (sameHeader && !journal_->overlaid() && (now == identity_ || (identity_ != Identity{} && journal_->leftByCommit(image_.path, now)))) {
        identity_ = now;
        return false;
    }
    load();
    return true;
}

int TableFile::fieldIndex(std::string_view fieldName) const
{
    for (size_t i = 0; i < image_.header.fields.size(); ++i)
        if (equalsIgnoringCase(image_.header.fields[i].name, fieldName))
            return int(i);
    return -1;
}

TableWriter& TableFile::writer()
{
    if (!writer_)
        writer_ = std::make_unique<TableWriter>(*this, image_);
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
    journal_->hold(fenceForWriting(image_.path, name(), !foreignUseChecked_));
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
    const bool playedBack = Journal::recover(image_.path, &env_.files) == Journal::Leftover::PlayedBack;
    recovered_ = recovered_ || playedBack;
    if (playedBack)
        forgetImage();
}

bool TableFile::recoverForWriting()
{
    if (journal_->fenced() || !Journal::leftoverPresent(image_.path))
        return false;
    const auto held = lock(FileLock::Mode::Exclusive);
    const auto fence = fenceForWriting(image_.path, name());
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

bool TableFile::primaryIndexAgrees() const
{
    if (!keyed())
        return true;
    return PrimaryIndex(image_.primaryIndexPath, image_.header, *journal_).describes(image_.allLeaves());
}

bool TableFile::inKeyOrder() const
{
    for (size_t r = 1; r < rowCount(); ++r)
        if (image_.compareKeys(record(r - 1), record(r)) >= 0)
            return false;
    return true;
}

Value TableFile::value(size_t row, size_t fieldNo)
{
    const Field& f = image_.header.fields.at(fieldNo);
    const uint8_t* p = record(row) + f.offset;
    if (!isBlobType(f.type))
        return decodeField(f, p, image_.codePage);
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
        return image_.codePage.toUtf8(data);
    // A graphic value starts with a tag and the length of the picture after it.
    if (f.type == FieldType::Graphic && data.size() >= 8)
        data.erase(0, 8);
    return Bytes{std::move(data)};
}

std::vector<Value> TableFile::row(size_t r)
{
    std::vector<Value> values;
    values.reserve(image_.header.fields.size());
    for (size_t f = 0; f < image_.header.fields.size(); ++f)
        values.push_back(value(r, f));
    return values;
}

} // namespace paradox
