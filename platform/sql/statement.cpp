#include "platform/sql/statement.h"

#include "platform/sql/sql_error.h"

#include <cctype>
#include <charconv>

namespace db {
namespace {

struct Token {
    enum class Kind { Word, Parameter, Integer, Number, Text, Symbol, End } kind = Kind::End;
    std::string text;
    size_t position = 0;
};

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<Token> tokenize(std::string_view sql)
{
    std::vector<Token> tokens;
    size_t i = 0;
    auto fail = [&](const std::string& why) {
        return SqlError("Comando SQL não entendido: " + why + " (posição " + std::to_string(i + 1) + ").");
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token t;
        t.position = i;
        if (wordChar(c) && !std::isdigit(static_cast<unsigned char>(c))) {
            while (i < sql.size() && wordChar(sql[i]))
                t.text += sql[i++];
            t.kind = Token::Kind::Word;
        } else if (c == ':') {
            ++i;
            while (i < sql.size() && wordChar(sql[i]))
                t.text += sql[i++];
            if (t.text.empty())
                throw fail("':' sem nome de parâmetro");
            t.kind = Token::Kind::Parameter;
        } else if (std::isdigit(static_cast<unsigned char>(c))
                   || (c == '-' && i + 1 < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            t.text += sql[i++];
            bool point = false;
            while (i < sql.size() && (std::isdigit(static_cast<unsigned char>(sql[i])) || (sql[i] == '.' && !point))) {
                point = point || sql[i] == '.';
                t.text += sql[i++];
            }
            t.kind = point ? Token::Kind::Number : Token::Kind::Integer;
        } else if (c == '\'') {
            ++i;
            while (true) {
                if (i >= sql.size())
                    throw fail("texto entre aspas sem fim");
                if (sql[i] == '\'') {
                    if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                        t.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += sql[i++];
            }
            t.kind = Token::Kind::Text;
        } else if (c == '(' || c == ')' || c == ',' || c == '*' || c == '=' || c == ';') {
            t.text = std::string(1, c);
            t.kind = Token::Kind::Symbol;
            ++i;
        } else {
            throw fail(std::string("caractere '") + c + "' inesperado");
        }
        tokens.push_back(std::move(t));
    }
    Token end;
    end.position = sql.size();
    tokens.push_back(end);
    return tokens;
}

class Parser {
public:
    explicit Parser(std::string_view sql) : tokens_(tokenize(sql)) {}

    Statement statement()
    {
        Statement s;
        if (acceptWord("SELECT")) {
            s.kind = Statement::Kind::Select;
            selectList(s);
            expectWord("FROM");
            s.table = name("o nome da tabela");
            if (acceptWord("WHERE")) {
                s.hasWhere = true;
                s.whereColumn = name("o nome de um campo");
                expectSymbol("=");
                s.whereValue = operand();
            }
            if (acceptWord("ORDER")) {
                expectWord("BY");
                s.hasOrder = true;
                s.orderColumn = name("o nome de um campo");
                if (acceptWord("DESC"))
                    s.descending = true;
                else
                    acceptWord("ASC");
            }
        } else if (acceptWord("INSERT")) {
            s.kind = Statement::Kind::Insert;
            expectWord("INTO");
            s.table = name("o nome da tabela");
            expectSymbol("(");
            do
                s.columns.push_back(name("o nome de um campo"));
            while (acceptSymbol(","));
            expectSymbol(")");
            expectWord("VALUES");
            expectSymbol("(");
            do
                s.values.push_back(operand());
            while (acceptSymbol(","));
            expectSymbol(")");
            if (s.values.size() != s.columns.size())
                throw SqlError("Comando SQL não entendido: " + std::to_string(s.columns.size()) + " campos e "
                               + std::to_string(s.values.size()) + " valores no INSERT.");
        } else {
            fail("SELECT ou INSERT");
        }
        acceptSymbol(";");
        if (peek().kind != Token::Kind::End)
            fail("o fim do comando");
        return s;
    }

private:
    const Token& peek() const { return tokens_[pos_]; }

    [[noreturn]] void fail(const std::string& expected) const
    {
        const Token& t = peek();
        const std::string found = t.kind == Token::Kind::End ? "o fim do comando" : "'" + t.text + "'";
        throw SqlError("Comando SQL não entendido: esperava " + expected + " e encontrou " + found + " (posição "
                       + std::to_string(t.position + 1) + ").");
    }

    bool acceptWord(std::string_view w)
    {
        if (peek().kind == Token::Kind::Word && sameName(peek().text, w)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expectWord(std::string_view w)
    {
        if (!acceptWord(w))
            fail(std::string(w));
    }
    bool acceptSymbol(std::string_view s)
    {
        if (peek().kind == Token::Kind::Symbol && peek().text == s) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expectSymbol(std::string_view s)
    {
        if (!acceptSymbol(s))
            fail("'" + std::string(s) + "'");
    }
    std::string name(const std::string& what)
    {
        static const char* reserved[] = {"SELECT", "FROM", "WHERE", "ORDER", "BY", "INSERT", "INTO", "VALUES", "DESC", "ASC"};
        if (peek().kind != Token::Kind::Word)
            fail(what);
        for (const char* r : reserved)
            if (sameName(peek().text, r))
                fail(what);
        return tokens_[pos_++].text;
    }
    void selectList(Statement& s)
    {
        if (acceptSymbol("*"))
            return;
        do
            s.columns.push_back(name("'*' ou o nome de um campo"));
        while (acceptSymbol(","));
    }
    Operand operand()
    {
        const Token& t = peek();
        Operand o;
        o.text = t.text;
        switch (t.kind) {
        case Token::Kind::Parameter: o.kind = Operand::Kind::Parameter; break;
        case Token::Kind::Integer:
            o.kind = Operand::Kind::Integer;
            if (std::from_chars(t.text.data(), t.text.data() + t.text.size(), o.integer).ec != std::errc())
                fail("um número inteiro dentro dos limites");
            break;
        case Token::Kind::Number:
            o.kind = Operand::Kind::Number;
            std::from_chars(t.text.data(), t.text.data() + t.text.size(), o.number);
            break;
        case Token::Kind::Text: o.kind = Operand::Kind::Text; break;
        default: fail("um parâmetro ou um valor");
        }
        ++pos_;
        return o;
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

} // namespace

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Statement parseStatement(std::string_view sql) { return Parser(sql).statement(); }

std::vector<std::string> parameterNames(std::string_view sql)
{
    std::vector<std::string> names;
    try {
        for (const Token& t : tokenize(sql))
            if (t.kind == Token::Kind::Parameter)
                names.push_back(t.text);
    } catch (const SqlError&) {
        // A text that does not tokenize has its error raised when it runs.
    }
    return names;
}

} // namespace db
