#pragma once

#include "platform/paradox/block.h"
#include "platform/paradox/code_page.h"
#include "platform/paradox/env.h"
#include "platform/paradox/file_lock.h"
#include "platform/os/file.h"
#include "platform/paradox/header.h"
#include "platform/paradox/memo_file.h"
#include "platform/paradox/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace paradox {

class Journal;
class TableWriter;
struct IndexLeaf;

// One Paradox table (.DB) with its family: primary index (.PX) and memo file
// (.MB). The whole file is held in memory and kept in step with what this
// engine writes; refresh() reloads it when another process changed it. This
// class reads; writing (TableWriter, table_writer.h) is a piece of its own.
class TableFile {
public:
    // Opens and reads the table. Raises Error when the file can't be read, is
    // encrypted or damaged (a truncated file, a block chain that loops or
    // leaves the file, a header that disagrees with the blocks). While a
    // commit cut short (or under way in another copy) left its journal, the
    // table reads as before it; opening never writes. The table's work
    // with the disk goes through env, which outlives it.
    explicit TableFile(std::string path, const Env& env = Env::plain());
    // A file of another table's family (a secondary index file), read and
    // written through that family's journal.
    TableFile(std::string path, Journal& family, const Env& env);
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    const std::string& path() const { return path_; }
    const Env& env() const { return env_; }
    // The file's own name, for messages.
    std::string name() const;
    const Header& header() const { return header_; }
    const std::vector<Field>& fields() const { return header_.fields; }
    const CodePage& codePage() const { return codePage_; }
    // The field of that name, without regard to case; -1 when there is none.
    int fieldIndex(std::string_view name) const;

    size_t rowCount() const { return header_.recordCount; }
    // Rows in chain order (key order for a keyed table).
    const uint8_t* record(size_t row) const;
    Value value(size_t row, size_t field);
    std::vector<Value> row(size_t row);

    // Locks the table for reading or writing. A file that another program
    // replaced by a new one (same name, other file) is opened anew first, so
    // that the lock and every read and write concern the file now there.
    std::unique_ptr<FileLock> lock(FileLock::Mode mode);

    // Reloads the file when its header, size or time shows a change by
    // another process. Returns true when it did. The caller holds a lock.
    bool refresh();
    // Counts changes seen or made, so that caches built on the rows know
    // when to rebuild.
    uint64_t generation() const { return generation_; }

    // The family's journal: what a transaction writes is held there until
    // its commit. Without a transaction each insert is one.
    Journal& journal() { return *journal_; }
    // A transaction over many inserts: one commit at its end (endTransaction),
    // with savepoints inside; going back to one also reloads what this
    // object holds in memory.
    void beginTransaction();
    void endTransaction();
    size_t savepoint();
    void release(size_t savepoint);
    void rollbackTo(size_t savepoint);
    // Whether a write to the table played back a commit cut short;
    // takeRecovered also forgets it, once told.
    bool recovered() const { return recovered_; }
    bool takeRecovered();
    // Plays back a commit cut short, with the table taken as for a write
    // (locks, fence, no other program using it), and lets it go again. True
    // when it played one back; raises Error when the journal was set aside
    // or is set aside now (another program wrote since), TableInUse when
    // another program has the table.
    bool recoverForWriting();
    // Before the first write of a transaction (TableWriter).
    void takeForWriting();

    // Adds one row (values in field order, Blank for none). Raises Error
    // naming the table, the column and the value when the row can't be
    // stored; the files are then left as they were.
    // Returns the stored record.
    std::vector<uint8_t> insert(const std::vector<Value>& values);

    // A table in key order: a keyed table, or a maintained secondary index
    // file (which is kept like one, its own index being the .Ynn/.YGn file).
    bool keyed() const;

    // For maintained secondary index files: adds one entry (a raw record),
    // and changes the block number (the last field) of the entry with the
    // same key. Raise Error like insert.
    // The index records the table's primary-index stamp: when it held the old
    // one, it takes the new one.
    void insertIndexRecord(std::vector<uint8_t> record, int tableStampBefore, int tableStampAfter);
    void updateIndexEntry(const uint8_t* record);
    // Raises Error when the record could not be placed (a duplicate key, a
    // key order this engine cannot decide); writes nothing.
    void checkPlacement(const std::vector<uint8_t>& record);

    // Every record along the chain with the number of its block.
    void forEachRecord(const std::function<void(const uint8_t*, int)>& visit) const;

    // The change stamp of the primary index (0 for an unkeyed table).
    int primaryIndexStamp();

    // Whether the primary index lists exactly the data blocks, with their
    // first keys and counts (always true for an unkeyed table).
    bool primaryIndexAgrees() const;
    // Whether the rows stand in key order along the chain.
    bool inKeyOrder() const;

private:
    friend class TableWriter;
    struct BlockRef {
        uint16_t number;
        uint16_t count;
    };
    using Identity = os::Identity;

    void openFile();
    void load();
    void recoverUnderFence();
    // Everything held in memory is read anew at the next refresh.
    void forgetImage();
    Identity identityNow() const;
    uint8_t* block(int number);
    const uint8_t* block(int number) const;
    Block view(int number);
    ConstBlock view(int number) const;
    const uint8_t* blockRecord(const BlockRef& b, int index) const;
    void rebuildRowIndex() { rowIndexStale_ = true; }
    void refreshRowIndex() const;
    TableWriter& writer();
    int keyWidth() const;
    // Keys compare as bytes (the sort orders this engine writes).
    int compareKeys(const uint8_t* a, const uint8_t* b) const;
    // The primary index's view of a block: its first key and count.
    IndexLeaf leafOf(int block) const;
    std::vector<IndexLeaf> allLeaves() const;

    std::string path_;
    const Env& env_;
    std::unique_ptr<Journal> ownJournal_;
    Journal* journal_ = nullptr;
    bool recovered_ = false;
    bool foreignUseChecked_ = false;
    os::File file_;
    bool writable_ = false;
    Header header_;
    CodePage codePage_{0};
    std::vector<uint8_t> image_;
    std::vector<BlockRef> chain_;
    // Row number of the first record of each chain entry, rebuilt when a
    // record is next asked for by its row number.
    mutable std::vector<size_t> firstRow_;
    mutable bool rowIndexStale_ = true;
    Identity identity_;
    uint64_t generation_ = 0;
    std::unique_ptr<MemoFile> memo_;
    std::string primaryIndexPath_;
    // Everything of writing, made at the first write; it works on this
    // object's image of the file.
    std::unique_ptr<TableWriter> writer_;
};

// The file beside path whose name is path's with another extension, matched
// without regard to case; empty when there is none.
std::string siblingFile(const std::string& path, std::string_view extension);

} // namespace paradox
