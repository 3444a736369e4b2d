#pragma once

#include "platform/paradox/code_page.h"
#include "platform/paradox/env.h"
#include "platform/paradox/file_lock.h"
#include "platform/os/file.h"
#include "platform/paradox/header.h"
#include "platform/paradox/table_image.h"
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

// One Paradox table (.DB) with its family: primary index (.PX) and memo file
// (.MB). The whole file is held in memory and kept in step with what this
// engine writes; refresh() reloads it when another process changed it. This
// class reads; writing (writer(), table_writer.h) is a piece of its own,
// working on the same image of the file (TableImage).
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

    const std::string& path() const { return image_.path; }
    const Env& env() const { return env_; }
    // The file's own name, for messages.
    std::string name() const { return image_.name(); }
    const Header& header() const { return image_.header; }
    const std::vector<Field>& fields() const { return image_.header.fields; }
    const CodePage& codePage() const { return image_.codePage; }
    // The field of that name, without regard to case; -1 when there is none.
    int fieldIndex(std::string_view name) const;

    size_t rowCount() const { return image_.rowCount(); }
    // Rows in chain order (key order for a keyed table).
    const uint8_t* record(size_t row) const { return image_.record(row); }
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
    uint64_t generation() const { return image_.generation; }

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

    // The writing of this table (rows, index entries), made at its first use
    // and kept in step with what this object reloads.
    TableWriter& writer();

    // A table in key order (TableImage::keyed).
    bool keyed() const { return image_.keyed(); }

    // Every record along the chain with the number of its block.
    void forEachRecord(const std::function<void(const uint8_t*, int)>& visit) const;

    // Whether the primary index lists exactly the data blocks, with their
    // first keys and counts (always true for an unkeyed table).
    bool primaryIndexAgrees() const;
    // Whether the rows stand in key order along the chain.
    bool inKeyOrder() const;

private:
    using BlockRef = TableImage::BlockRef;
    using Identity = os::Identity;

    void openFile();
    void load();
    void recoverUnderFence();
    // Everything held in memory is read anew at the next refresh.
    void forgetImage();
    Identity identityNow() const;

    const Env& env_;
    std::unique_ptr<Journal> ownJournal_;
    Journal* journal_ = nullptr;
    // What this object and its writer hold of the file.
    TableImage image_;
    bool recovered_ = false;
    bool foreignUseChecked_ = false;
    Identity identity_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<TableWriter> writer_;
};

// The file beside path whose name is path's with another extension, matched
// without regard to case; empty when there is none.
std::string siblingFile(const std::string& path, std::string_view extension);

} // namespace paradox
