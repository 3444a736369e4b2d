#include "platform/sql/query.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/sql/session.h"
#include "platform/sql/sql_error.h"
#include "platform/sql/statement.h"
#include "platform/sql/values.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace db {

void Param::setAsString(std::string value)
{
    type_ = Type::Text;
    text_ = std::move(value);
}

void Param::setAsDateTime(DateTime value)
{
    type_ = Type::DateTime;
    dateTime_ = value;
}

void Param::setAsBoolean(bool value)
{
    type_ = Type::Boolean;
    boolean_ = value;
}

void Param::setAsCurrency(double value)
{
    type_ = Type::Currency;
    currency_ = int64_t(std::nearbyint(value * 10000.0));
}

void Param::setAsSmallInt(int16_t value)
{
    type_ = Type::SmallInt;
    smallInt_ = value;
}

Query::Query(Session& session) : session_(session) {}
Query::~Query() = default;

void Query::clearSql()
{
    close();
    lines_.clear();
    params_.clear();
}

void Query::addSql(const std::string& line)
{
    close();
    lines_.push_back(line);
    params_.clear();
    for (const std::string& name : parsed(sqlText()).names)
        params_.emplace_back(name);
}

Query::Parsed& Query::parsed(const std::string& text)
{
    auto it = parsed_.find(text);
    if (it == parsed_.end()) {
        if (parsed_.size() > 64)
            parsed_.clear();
        it = parsed_.emplace(text, Parsed{parameterNames(text), nullptr}).first;
    }
    return it->second;
}

const Statement& Query::statement()
{
    const std::string text = sqlText();
    Parsed& p = parsed(text);
    if (!p.statement)
        p.statement = std::make_shared<const Statement>(parseStatement(text));
    return *p.statement;
}

std::string Query::sqlText() const
{
    std::string text;
    for (const std::string& line : lines_)
        text += line + "\r\n";
    return text;
}

Param& Query::param(size_t index)
{
    if (index >= params_.size())
        throw SqlError("O comando SQL não tem o parâmetro de número " + std::to_string(index) + ".");
    return params_[index];
}

Param& Query::paramByName(std::string_view name)
{
    for (Param& p : params_)
        if (sameName(p.name(), name))
            return p;
    throw SqlError("O comando SQL não tem o parâmetro " + std::string(name) + ".");
}

void Query::close()
{
    active_ = false;
    table_.reset();
    rows_.clear();
    columns_.clear();
    materialized_ = false;
    count_ = 0;
    position_ = 0;
    whereField_ = -1;
}

void Query::prepareTable(const Statement& s)
{
    const std::string path = session_.tableFile(database_, s.table);
    if (path.empty())
        throw paradox::Error("A tabela " + s.table + " não foi encontrada na pasta " + database_ + ".");
    table_ = session_.open(path);
}

std::vector<uint8_t> Query::storedForm(size_t field, const Operand& o) const
{
    const paradox::Field& f = table_->fields()[field];
    const paradox::Value v = operandValue(*table_, f, o, params_);
    std::vector<uint8_t> stored(size_t(f.size));
    if (!paradox::encodeField(f, v, table_->codePage(), stored.data()).empty())
        stored.clear();  // a value the column can't hold matches no row
    return stored;
}

void Query::open()
{
    close();
    const Statement s = statement();
    if (s.kind != Statement::Kind::Select)
        throw SqlError("Este comando SQL não retorna registros: ele deve ser executado, não aberto.");
    prepareTable(s);
    try {
        const auto lock = table_->lock(paradox::FileLock::Mode::Shared);
        table_->refresh();
        for (const std::string& c : s.columns)
            columns_.push_back(fieldOf(*table_, c));
        if (s.columns.empty())
            for (size_t i = 0; i < table_->fields().size(); ++i)
                columns_.push_back(i);
        if (s.hasWhere) {
            whereField_ = int(fieldOf(*table_, s.whereColumn));
            whereStored_ = storedForm(size_t(whereField_), s.whereValue);
            count_ = whereStored_.empty() ? 0 : session_.countEqual(*table_, size_t(whereField_), whereStored_);
        } else {
            std::vector<size_t> order(table_->rowCount());
            for (size_t r = 0; r < order.size(); ++r)
                order[r] = r;
            if (s.hasOrder) {
                const size_t field = fieldOf(*table_, s.orderColumn);
                std::vector<std::string> keys(order.size());
                for (size_t r = 0; r < order.size(); ++r)
                    keys[r] = sortKey(*table_, field, r);
                std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
                    return s.descending ? keys[b] < keys[a] : keys[a] < keys[b];
                });
            }
            for (size_t r : order)
                rows_.push_back(resultRow(r));
            materialized_ = true;
            count_ = rows_.size();
        }
    } catch (...) {
        close();
        throw;
    }
    active_ = true;
}

std::vector<std::string> Query::resultRow(size_t row) const
{
    std::vector<std::string> texts;
    for (size_t c : columns_)
        texts.push_back(valueAsString(table_->value(row, c)));
    return texts;
}

void Query::materialize()
{
    if (materialized_)
        return;
    const auto lock = table_->lock(paradox::FileLock::Mode::Shared);
    table_->refresh();
    const paradox::Field& f = table_->fields()[size_t(whereField_)];
    for (size_t r = 0; r < table_->rowCount(); ++r) {
        if (std::memcmp(table_->record(r) + f.offset, whereStored_.data(), whereStored_.size()) == 0)
            rows_.push_back(resultRow(r));
    }
    materialized_ = true;
    count_ = rows_.size();
}

bool Query::eof() const { return !active_ || position_ >= count_; }

void Query::next()
{
    if (active_ && position_ < count_)
        ++position_;
}

size_t Query::recordCount() const { return active_ ? count_ : 0; }

std::string Query::fieldAsString(std::string_view column)
{
    if (!active_)
        throw SqlError("A consulta não está aberta.");
    const size_t field = fieldOf(*table_, column);
    const auto it = std::find(columns_.begin(), columns_.end(), field);
    if (it == columns_.end())
        throw SqlError("O campo " + std::string(column) + " não faz parte do resultado da consulta.");
    materialize();
    if (position_ >= rows_.size())
        throw SqlError("A consulta está no fim do resultado.");
    return rows_[position_][size_t(it - columns_.begin())];
}

void Query::execSql()
{
    close();
    const Statement s = statement();
    if (s.kind != Statement::Kind::Insert)
        throw SqlError("Este comando SQL retorna registros: ele deve ser aberto, não executado.");
    prepareTable(s);
    adjustments_.clear();
    try {
        std::vector<paradox::Value> values(table_->fields().size(), paradox::Blank{});
        for (size_t i = 0; i < s.columns.size(); ++i) {
            const size_t field = fieldOf(*table_, s.columns[i]);
            const paradox::Field& f = table_->fields()[field];
            values[field] = operandValue(*table_, f, s.values[i], params_);
            auto* text = std::get_if<std::string>(&values[field]);
            if (fitTexts_ && text && f.type == paradox::FieldType::Alpha) {
                std::string fitted = table_->codePage().fitted(*text, size_t(f.size));
                if (fitted != *text) {
                    adjustments_.push_back({f.name, *text});
                    *text = std::move(fitted);
                }
            }
        }
        const uint64_t before = table_->generation();
        const std::vector<uint8_t> record = table_->writer().insert(values);
        session_.rowInserted(*table_, before, record);
    } catch (...) {
        close();
        throw;
    }
    close();
}

} // namespace db
