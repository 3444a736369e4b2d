#pragma once

#include "platform/paradox/env.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace paradox {
class TableFile;
}

namespace db {

// The database session: one per front end (the window, the command line). It
// keeps the tables that queries and table objects have opened, so that
// repeated statements find them ready, and the lookup indexes built on their
// columns.
class Session {
public:
    // Every table the session opens works with the disk through env, which
    // outlives the session.
    explicit Session(const paradox::Env& env = paradox::Env::plain()) : env_(env) {}
    const paradox::Env& env() const { return env_; }

    // The network control directory and the private directory; set before the
    // first table opens.
    void setNetFileDir(std::string dir) { netFileDir_ = std::move(dir); }
    void setPrivateDir(std::string dir) { privateDir_ = std::move(dir); }
    const std::string& netFileDir() const { return netFileDir_; }
    const std::string& privateDir() const { return privateDir_; }

    // The file of a table named in a statement (see findTableFile), looked up
    // once and kept while it exists.
    std::string tableFile(const std::string& folder, const std::string& name);

    // The table file at path, opened once. Raises paradox::Error.
    std::shared_ptr<paradox::TableFile> open(const std::string& path);
    // A transaction over every table the session opens until commit(): what
    // is inserted meanwhile is held in memory, and is on the disk, all of it
    // at once, when commit returns. Savepoints nest inside it.
    void begin();
    bool inTransaction() const { return inTransaction_; }
    // What each table's commit did: the journal that puts it back.
    struct Committed {
        std::string table;
        std::vector<uint8_t> journal;
    };
    // record is called for each table with its journal at the moment of its
    // commit (the files changed, the journal not yet gone), and with null
    // should that commit then be rolled back: what it keeps forms one step
    // with the commit.
    using CommitRecord = std::function<void(const std::string& table, const std::vector<uint8_t>* journal)>;
    std::vector<Committed> commit(const CommitRecord& record = {});
    size_t savepoint();
    void release(size_t savepoint);
    void rollbackTo(size_t savepoint);
    // The tables whose writing played back a commit that was cut short,
    // since last asked.
    std::vector<std::string> takeRecoveries();
    // Plays back, as a writer, what a commit cut short left in the table at
    // path (TableFile::recoverForWriting).
    bool recover(const std::string& path);

    // Closes every table that no query or table object is using.
    void dropInactiveConnections();
    size_t openTables() const { return tables_.size(); }

    // How many rows hold exactly these stored bytes in a column. The caller
    // holds a lock on the table and has refreshed it.
    size_t countEqual(paradox::TableFile& table, size_t field, const std::vector<uint8_t>& stored);
    // Tells the lookup indexes of a table about a row this process inserted;
    // generationBefore is the table's generation before the insert.
    void rowInserted(paradox::TableFile& table, uint64_t generationBefore, const std::vector<uint8_t>& record);

private:
    struct ColumnIndex {
        uint64_t generation = 0;
        std::unordered_map<std::string, size_t> counts;
    };

    using Marks = std::vector<std::pair<std::shared_ptr<paradox::TableFile>, size_t>>;
    void leave(size_t savepoint, void (paradox::TableFile::*step)(size_t));

    const paradox::Env& env_;
    std::string netFileDir_;
    bool inTransaction_ = false;
    std::vector<std::shared_ptr<paradox::TableFile>> joined_;
    std::vector<Marks> savepoints_;
    std::string privateDir_;
    std::map<std::string, std::shared_ptr<paradox::TableFile>> tables_;
    std::map<std::pair<std::string, std::string>, std::string> tableFiles_;
    std::map<std::pair<const paradox::TableFile*, size_t>, ColumnIndex> indexes_;
};

// The file in folder whose name, without regard to case, is name (with the
// extension ".db" added when name has none). Empty when there is none.
std::string findTableFile(const std::string& folder, const std::string& name);

} // namespace db
