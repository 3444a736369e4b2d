#include "platform/sql/table.h"

#include "platform/os/folder.h"
#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/sql/session.h"

namespace db {

Table::Table(Session& session) : session_(session) {}
Table::~Table() = default;

void Table::open()
{
    close();
    std::string folder = database_;
    std::string name = tableName_;
    const size_t slash = tableName_.find_last_of(os::pathSeparators());
    if (slash != std::string::npos) {
        folder = tableName_.substr(0, slash);
        name = tableName_.substr(slash + 1);
    }
    const std::string path = findTableFile(folder, name);
    if (path.empty())
        throw paradox::Error("A tabela " + tableName_ + " não foi encontrada.");
    table_ = session_.open(path);
}

void Table::close() { table_.reset(); }

bool Table::hasField(std::string_view name) const { return table_ && table_->fieldIndex(name) >= 0; }

// A table's code page has one byte per character: the width in bytes is
// the width in characters.
int Table::textWidth(std::string_view name) const
{
    const int index = table_ ? table_->fieldIndex(name) : -1;
    if (index < 0)
        return 0;
    const paradox::Field& field = table_->fields().at(size_t(index));
    return field.type == paradox::FieldType::Alpha ? field.size : 0;
}

} // namespace db
