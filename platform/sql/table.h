#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace paradox {
class TableFile;
}

namespace db {

class Session;

// A table object: names a table file by its full path and answers whether
// it has a column.
class Table {
public:
    explicit Table(Session& session);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    void setDatabaseName(std::string folder) { database_ = std::move(folder); }
    // A full path to a ".db" file; its name is matched without regard to case.
    void setTableName(std::string path) { tableName_ = std::move(path); }

    // Raises paradox::Error when the table can't be opened.
    void open();
    void close();
    bool active() const { return table_ != nullptr; }

    // Whether the open table has a column of that name, without regard to case.
    bool hasField(std::string_view name) const;
    // The width in characters of a text column of the open table, found by
    // name without regard to case; 0 for any other column or none.
    int textWidth(std::string_view name) const;

private:
    Session& session_;
    std::string database_;
    std::string tableName_;
    std::shared_ptr<paradox::TableFile> table_;
};

} // namespace db
