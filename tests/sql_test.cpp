#include "platform/paradox/error.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/sql/query.h"
#include "platform/sql/session.h"
#include "platform/sql/sql_error.h"
#include "platform/sql/table.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace test_support;

const char* const clientSchema =
    "Codigo:A6*,Data:D,Nome:A60,Endereco:A60,endNumero:A10,EndComplemento:A60,Bairro:A40,Cidade:A40,Estado:A2,"
    "CEP:A10,CGC:A18,Insc:A20,TagFisica:L,Telefone:A20,eMail:A60,lkUserInc:I";
const char* const stockSchema = "Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,PrecoCusto:$,"
                                "CEST:A7,DataInc:D,CST:A3,LkUserInc:I,Origem:S";

class SqlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        paradox::createTable(dir.file("TabCli.db"), paradox::parseSchema(clientSchema));
        paradox::createTable(dir.file("TabEst1.db"), paradox::parseSchema(stockSchema));
        query.setDatabaseName(dir.path().string());
    }
    void TearDown() override
    {
        query.close();
        session.dropInactiveConnections();
    }

    void insertClient(const std::string& code, const std::string& cgc)
    {
        query.clearSql();
        query.addSql("insert into TABCLI ( Data, Codigo, Nome, Endereco, endNumero, CGC, Insc, EndComplemento, "
                     "Bairro, Cidade, Estado, CEP, TagFisica, Telefone, eMail, lkUserInc ) ");
        query.addSql("values ( :pData, :pCodigo, :pNome, :pLogradouro, :pNum, :pCNPJCPF, :pIE, :pComplemento, "
                     ":pBairro, :pCidade, :pUF, :pCEP, :pTagFisica, :pTelefone, :peMail, -1 ) ");
        query.paramByName("pData").setAsDateTime({paradox::dateFromYmd(2026, 12, 10).days, 0});
        for (const char* p : {"pNome", "pLogradouro", "pNum", "pIE", "pComplemento", "pBairro", "pCidade", "pUF",
                              "pCEP", "pTelefone", "peMail"})
            query.paramByName(p).setAsString("");
        query.paramByName("pCodigo").setAsString(code);
        query.paramByName("pCNPJCPF").setAsString(cgc);
        query.paramByName("pNome").setAsString("Nome " + code);
        query.paramByName("pTagFisica").setAsBoolean(true);
        query.execSql();
    }

    std::vector<std::string> lastCodes(const char* sql)
    {
        query.clearSql();
        query.addSql(sql);
        query.open();
        std::vector<std::string> codes;
        for (; !query.eof(); query.next())
            codes.push_back(query.fieldAsString("CODIGO"));
        query.close();
        return codes;
    }

    ScratchDir dir{"sql"};
    db::Session session;
    db::Query query{session};
};

TEST_F(SqlTest, LastCodeQueryComesInDescendingOrder)
{
    EXPECT_TRUE(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC").empty());
    for (const char* c : {"000120", "ABC", "000007", "000999"})
        insertClient(c, std::string("cgc ") + c);
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC"),
              (std::vector<std::string>{"ABC", "000999", "000120", "000007"}));
    EXPECT_EQ(lastCodes("select CODIGO from tabcli order by Codigo"),
              (std::vector<std::string>{"000007", "000120", "000999", "ABC"}));
    EXPECT_TRUE(lastCodes("SELECT codigo FROM TabEst1 ORDER BY codigo DESC").empty());
}

TEST_F(SqlTest, DuplicateLookupCountsExactMatches)
{
    insertClient("000001", "11.444.777/0001-61");
    insertClient("000002", "111.444.777-35");
    auto count = [&](const std::string& cgc) {
        query.clearSql();
        query.addSql("SELECT * FROM TABCLI WHERE cgc = :pCGC");
        query.param(0).setAsString(cgc);
        query.open();
        const size_t n = query.recordCount();
        query.close();
        return n;
    };
    EXPECT_EQ(count("11.444.777/0001-61"), 1u);
    EXPECT_EQ(count("11444777000161"), 0u);  // another form is another value
    EXPECT_EQ(count("111.444.777-35"), 1u);
    insertClient("000003", "11.444.777/0001-61");
    EXPECT_EQ(count("11.444.777/0001-61"), 2u);  // the index follows our own inserts
    EXPECT_EQ(count("a value longer than the eighteen characters of the column"), 0u);

    query.clearSql();
    query.addSql("SELECT * FROM TABCLI WHERE cgc = :pCGC");
    query.paramByName("PCGC").setAsString("111.444.777-35");
    query.open();
    ASSERT_FALSE(query.eof());
    EXPECT_EQ(query.fieldAsString("nome"), "Nome 000002");
    EXPECT_EQ(query.fieldAsString("TagFisica"), "True");
    EXPECT_EQ(query.fieldAsString("insc"), "");
    query.next();
    EXPECT_TRUE(query.eof());
}

TEST_F(SqlTest, ProductInsertWithAndWithoutOrigin)
{
    for (bool withOrigin : {true, false}) {
        query.clearSql();
        query.addSql("insert into TABEST1 ( Codigo, cEAN, cEANTrib, Produto, CodIPI, Unidade, PrecoCusto, CEST, "
                     "DataInc, CST, LkUserInc");
        query.addSql(withOrigin ? ", Origem )" : ")");
        query.addSql("values ( :pCodigo, :pcEAN, :pcEANTrib, :pProduto, :pCodIPI, :pUnidade, :pPrecoCusto, :pCEST, "
                     ":pDataInc, :pCST, -1");
        query.addSql(withOrigin ? ", :pOrigem )" : ")");
        EXPECT_EQ(query.paramCount(), withOrigin ? 11u : 10u);
        query.paramByName("pCodigo").setAsString(withOrigin ? "7891234567895" : "X-1");
        for (const char* p : {"pcEAN", "pcEANTrib", "pCodIPI", "pUnidade", "pCEST", "pCST"})
            query.paramByName(p).setAsString("");
        query.paramByName("pProduto").setAsString("Caneta");
        query.paramByName("pPrecoCusto").setAsCurrency(12.34567);
        query.paramByName("pDataInc").setAsDateTime({paradox::dateFromYmd(2026, 12, 10).days, 0});
        if (withOrigin)
            query.paramByName("pOrigem").setAsSmallInt(0);
        query.execSql();
    }
    const auto rows = rowLines(pxdump(dir.file("TabEst1.db")).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "7891234567895\t\\N\t\\N\tCaneta\t\\N\t\\N\t12.3457\t\\N\t2026-12-10\t\\N\t-1\t0");
    EXPECT_EQ(rows[1], "X-1\t\\N\t\\N\tCaneta\t\\N\t\\N\t12.3457\t\\N\t2026-12-10\t\\N\t-1\t\\N");
}

TEST_F(SqlTest, CurrencyRoundsHalvesToEven)
{
    db::Param p("x");
    const std::pair<double, int64_t> cases[] = {{12.5, 125000}, {0.03125, 312}, {0.09375, 938}, {12.34567, 123457}, {-0.03125, -312}};
    for (auto [value, scaled] : cases) {
        p.setAsCurrency(value);
        EXPECT_EQ(p.currencyTenThousandths(), scaled) << value;
    }
}

TEST_F(SqlTest, StatementsOutsideTheLanguageSayWhatWasNotUnderstood)
{
    const std::pair<const char*, const char*> cases[] = {
        {"DELETE FROM TABCLI", "SELECT ou INSERT"},
        {"SELECT codigo TABCLI", "FROM"},
        {"SELECT codigo FROM TABCLI WHERE cgc > :p", "'>'"},
        {"SELECT codigo FROM TABCLI WHERE cgc :p", "'='"},
        {"SELECT codigo FROM TABCLI ORDER codigo", "BY"},
        {"insert into TABCLI ( Codigo ) values ( :a, :b )", "1 campos e 2 valores"},
        {"SELECT codigo FROM TABCLI; DROP TABLE x", "o fim do comando"},
        {"SELECT codigo FROM TABCLI WHERE nome = 'aberto", "texto entre aspas sem fim"},
    };
    for (auto [sql, mention] : cases) {
        query.clearSql();
        query.addSql(sql);
        try {
            query.open();
            ADD_FAILURE() << sql;
        } catch (const db::SqlError& e) {
            EXPECT_NE(std::string(e.what()).find(mention), std::string::npos) << e.what();
        }
    }
}

TEST_F(SqlTest, EngineErrorsNameTableColumnAndValue)
{
    query.clearSql();
    query.addSql("insert into TABCLI ( Codigo, Bairros ) values ( :a, :b )");
    query.param(0).setAsString("000001");
    query.param(1).setAsString("x");
    try {
        query.execSql();
        FAIL();
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Bairros"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("TabCli.db"), std::string::npos) << e.what();
    }
    query.clearSql();
    query.addSql("insert into TABCLI ( Codigo ) values ( :a )");
    EXPECT_THROW(query.execSql(), db::SqlError);  // the parameter has no value
    query.clearSql();
    query.addSql("SELECT * FROM NADA");
    EXPECT_THROW(query.open(), paradox::Error);
}

TEST_F(SqlTest, TableObjectFindsColumnsWithoutRegardToCase)
{
    db::Table table(session);
    table.setDatabaseName(dir.path().string());
    table.setTableName(dir.file("tabcli.DB"));
    table.open();
    EXPECT_TRUE(table.hasField("ENDNUMERO"));
    EXPECT_TRUE(table.hasField("insc"));
    EXPECT_FALSE(table.hasField("Origem"));
    table.close();
    table.setTableName(dir.file("Nada.db"));
    EXPECT_THROW(table.open(), paradox::Error);
}

// A table that another program replaced by a new file is read anew.
TEST_F(SqlTest, ReplacedTableFileIsReadAnew)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows refuses to replace a table file that a session holds open";
#endif
    insertClient("000001", "A");
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC").size(), 1u);
    ScratchDir other("sql_replacement");
    paradox::createTable(other.file("TabCli.db"), paradox::parseSchema(clientSchema));
    {
        paradox::TableFile t(other.file("TabCli.db"));
        for (const char* c : {"000007", "000008"}) {
            std::vector<paradox::Value> row(16, paradox::Blank{});
            row[0] = std::string(c);
            t.writer().insert(row);
        }
    }
    fs::rename(other.file("TabCli.db"), dir.file("TabCli.db"));
    fs::rename(other.file("TabCli.PX"), dir.file("TabCli.PX"));
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC"), (std::vector<std::string>{"000008", "000007"}));
    insertClient("000009", "B");
    EXPECT_EQ(rowLines(pxdump(dir.file("TabCli.db")).out).size(), 3u);
}

// Another process's rows are seen by the next statement.
// The tables a session opens work through the env it was given; another
// session's tables are not told to it.
TEST_F(SqlTest, TablesWorkThroughTheirSessionsEnv)
{
    int changes = 0;
    paradox::Env counting;
    counting.files.observe = [&changes](const os::Event&) { ++changes; };
    db::Session watched(counting);
    std::vector<paradox::Value> row(16, paradox::Blank{});
    row[0] = std::string("000002");
    row[10] = std::string("A");
    watched.open(dir.file("TabCli.db"))->writer().insert(row);
    EXPECT_GT(changes, 0);
    const int seen = changes;
    insertClient("000003", "B");
    EXPECT_EQ(changes, seen);
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC"), (std::vector<std::string>{"000003", "000002"}));
}

TEST_F(SqlTest, NoAnswerIsStale)
{
    insertClient("000001", "A");
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC").size(), 1u);
    {
        paradox::TableFile other(dir.file("TabCli.db"));
        std::vector<paradox::Value> row(16, paradox::Blank{});
        row[0] = std::string("000002");
        row[10] = std::string("A");
        other.writer().insert(row);
    }
    EXPECT_EQ(lastCodes("SELECT codigo FROM TABCLI ORDER BY codigo DESC").front(), "000002");
    query.clearSql();
    query.addSql("SELECT * FROM TABCLI WHERE cgc = :p");
    query.param(0).setAsString("A");
    query.open();
    EXPECT_EQ(query.recordCount(), 2u);
}

} // namespace
