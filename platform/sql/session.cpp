#include "platform/sql/session.h"

#include "platform/paradox/file_names.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_file.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace db {

std::shared_ptr<paradox::TableFile> Session::open(const std::string& path)
{
    auto it = tables_.find(path);
    if (it != tables_.end())
        return it->second;
    auto table = std::make_shared<paradox::TableFile>(path, env_);
    tables_.emplace(path, table);
    if (inTransaction_) {
        table->beginTransaction();
        joined_.push_back(table);
        for (Marks& marks : savepoints_)
            marks.emplace_back(table, table->savepoint());
    }
    return table;
}

void Session::begin()
{
    if (inTransaction_)
        return;
    inTransaction_ = true;
    for (const auto& [path, table] : tables_) {
        table->beginTransaction();
        joined_.push_back(table);
    }
}

std::vector<Session::Committed> Session::commit(const CommitRecord& record)
{
    std::vector<Committed> done;
    inTransaction_ = false;
    savepoints_.clear();
    auto tables = std::move(joined_);
    joined_.clear();
    // Every table is committed even when one fails; the first failure is
    // told after.
    std::exception_ptr failure;
    for (const auto& table : tables) {
        paradox::Journal& journal = table->journal();
        if (record)
            journal.setCommitRecord([&record, path = table->path()](const std::vector<uint8_t>* bytes) {
                record(path, bytes);
            });
        try {
            table->endTransaction();
            journal.setCommitRecord({});
        } catch (...) {
            journal.setCommitRecord({});
            if (!failure)
                failure = std::current_exception();
            continue;
        }
        if (!table->journal().lastCommitted().empty())
            done.push_back({table->path(), table->journal().lastCommitted()});
    }
    if (failure)
        std::rethrow_exception(failure);
    return done;
}

size_t Session::savepoint()
{
    Marks marks;
    for (const auto& table : joined_)
        marks.emplace_back(table, table->savepoint());
    savepoints_.push_back(std::move(marks));
    return savepoints_.size() - 1;
}

void Session::release(size_t savepoint) { leave(savepoint, &paradox::TableFile::release); }

void Session::rollbackTo(size_t savepoint) { leave(savepoint, &paradox::TableFile::rollbackTo); }

// Ends the savepoint and those inside it, each table's by step.
void Session::leave(size_t savepoint, void (paradox::TableFile::*step)(size_t))
{
    if (savepoint >= savepoints_.size())
        return;
    for (const auto& [table, mark] : savepoints_[savepoint])
        ((*table).*step)(mark);
    savepoints_.resize(savepoint);
}

std::vector<std::string> Session::takeRecoveries()
{
    std::vector<std::string> recovered;
    for (const auto& [path, table] : tables_)
        if (table->takeRecovered())
            recovered.push_back(path);
    return recovered;
}

bool Session::recover(const std::string& path) { return open(path)->recoverForWriting(); }

std::string Session::tableFile(const std::string& folder, const std::string& name)
{
    const auto key = std::make_pair(folder, name);
    const auto it = tableFiles_.find(key);
    if (it != tableFiles_.end() && tables_.count(it->second))
        return it->second;
    const std::string path = findTableFile(folder, name);
    if (!path.empty())
        tableFiles_[key] = path;
    return path;
}

void Session::dropInactiveConnections()
{
    for (auto it = tables_.begin(); it != tables_.end();) {
        if (it->second.use_count() == 1) {
            const paradox::TableFile* t = it->second.get();
            std::erase_if(indexes_, [t](const auto& entry) { return entry.first.first == t; });
            std::erase_if(tableFiles_, [&](const auto& entry) { return entry.second == it->first; });
            it = tables_.erase(it);
        } else {
            ++it;
        }
    }
}

size_t Session::countEqual(paradox::TableFile& table, size_t field, const std::vector<uint8_t>& stored)
{
    ColumnIndex& index = indexes_[{&table, field}];
    const paradox::Field& f = table.fields().at(field);
    if (index.generation != table.generation() || index.counts.empty()) {
        index.counts.clear();
        index.counts.reserve(table.rowCount());
        for (size_t r = 0; r < table.rowCount(); ++r) {
            const auto* p = reinterpret_cast<const char*>(table.record(r) + f.offset);
            ++index.counts[std::string(p, size_t(f.size))];
        }
        index.generation = table.generation();
    }
    const auto it = index.counts.find(std::string(stored.begin(), stored.end()));
    return it == index.counts.end() ? 0 : it->second;
}

void Session::rowInserted(paradox::TableFile& table, uint64_t generationBefore, const std::vector<uint8_t>& record)
{
    for (auto& [key, index] : indexes_) {
        if (key.first != &table)
            continue;
        if (index.generation != generationBefore || table.generation() != generationBefore + 1) {
            index.generation = 0;  // rebuilt on next use
            continue;
        }
        const paradox::Field& f = table.fields().at(key.second);
        ++index.counts[std::string(reinterpret_cast<const char*>(record.data() + f.offset), size_t(f.size))];
        index.generation = table.generation();
    }
}

std::string findTableFile(const std::string& folder, const std::string& name)
{
    std::string wanted = name;
    const size_t slash = wanted.find_last_of('/');
    const size_t dot = wanted.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        wanted += ".db";
    return paradox::findIgnoringCase(folder, wanted);
}

} // namespace db
