#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace paradox {
class TableFile;
}

namespace db {

class Session;
struct Statement;

// A moment as a parameter: days as the Date type counts them, and the
// milliseconds of the day.
struct DateTime {
    int32_t days = 0;
    int32_t msOfDay = 0;
};

// One ":name" of a statement and the typed value bound to it.
class Param {
public:
    enum class Type { Unbound, Text, DateTime, Boolean, Currency, SmallInt };

    explicit Param(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    Type type() const { return type_; }

    void setAsString(std::string value);
    void setAsDateTime(DateTime value);
    void setAsBoolean(bool value);
    // Fixed point with four decimals: value x 10000 rounded, halves to even.
    void setAsCurrency(double value);
    void setAsSmallInt(int16_t value);

    const std::string& text() const { return text_; }
    DateTime dateTime() const { return dateTime_; }
    bool boolean() const { return boolean_; }
    int64_t currencyTenThousandths() const { return currency_; }
    int16_t smallInt() const { return smallInt_; }

private:
    std::string name_;
    Type type_ = Type::Unbound;
    std::string text_;
    DateTime dateTime_;
    bool boolean_ = false;
    int64_t currency_ = 0;
    int16_t smallInt_ = 0;
};

// A query on the tables of one database folder: SQL text as a list of lines,
// parameters by position and by name, a result read row by row. Every engine
// failure is raised as paradox::Error (SqlError for a statement not
// understood).
class Query {
public:
    explicit Query(Session& session);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setDatabaseName(std::string folder) { database_ = std::move(folder); }
    const std::string& databaseName() const { return database_; }

    // The statement text: lines joined with CR LF. Changing it closes the
    // query and makes new parameters from the ":name"s of the text.
    void clearSql();
    void addSql(const std::string& line);
    std::string sqlText() const;

    size_t paramCount() const { return params_.size(); }
    Param& param(size_t index);
    // The first parameter of that name, without regard to case.
    Param& paramByName(std::string_view name);

    // Runs a statement that returns rows.
    void open();
    // Runs a statement that returns none.
    void execSql();

    // With fitting on, an insert stores a text too long for its column, or
    // with characters its code page lacks, as it fits (CodePage::fitted)
    // instead of refusing the row; adjustments() then names each such column
    // with the value as it was given, until the next insert.
    struct Adjustment {
        std::string column;
        std::string original;
    };
    void setFitTexts(bool on) { fitTexts_ = on; }
    const std::vector<Adjustment>& adjustments() const { return adjustments_; }
    void close();
    bool active() const { return active_; }

    bool eof() const;
    void next();
    size_t recordCount() const;
    // The column of the current row, by name without regard to case, as text;
    // a blank value is the empty text.
    std::string fieldAsString(std::string_view column);

private:
    // What a text holds, worked out once: a run repeats a few texts. The
    // statement is parsed only when the text is run (a text still being
    // built has parameters but is no statement yet).
    struct Parsed {
        std::vector<std::string> names;
        std::shared_ptr<const Statement> statement;
    };
    Parsed& parsed(const std::string& text);
    const Statement& statement();
    void prepareTable(const Statement& s);
    std::vector<uint8_t> storedForm(size_t field, const struct Operand& o) const;
    void materialize();
    std::vector<std::string> resultRow(size_t row) const;

    Session& session_;
    std::unordered_map<std::string, Parsed> parsed_;
    std::string database_;
    std::vector<std::string> lines_;
    std::vector<Param> params_;
    bool fitTexts_ = false;
    std::vector<Adjustment> adjustments_;

    bool active_ = false;
    std::shared_ptr<paradox::TableFile> table_;
    std::vector<size_t> columns_;   // selected fields
    std::vector<std::vector<std::string>> rows_;  // materialized result
    bool materialized_ = false;
    size_t count_ = 0;
    size_t position_ = 0;
    int whereField_ = -1;
    std::vector<uint8_t> whereStored_;
};

} // namespace db
