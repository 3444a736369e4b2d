// The import service on its own, as a front end drives it: a folder of files
// into host tables, with no window. Which files a run opens, and how a
// missing column is reported.

#include "import/import_service.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"
#include "platform/sql/session.h"
#include "tests/host_schemas.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string noteKey = "35180834128745000152550010000474281920007498";

// A bare note with a recipient and one item.
std::string note()
{
    return "<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"><infNFe Id=\"NFe" + noteKey
           + "\"><ide><tpAmb>1</tpAmb></ide><dest><CPF>11144477735</CPF><xNome>Maria</xNome></dest>"
             "<det nItem=\"1\"><prod><cProd>X1</cProd><cEAN>SEM GTIN</cEAN><xProd>Caneta</xProd><vUnCom>1.50</vUnCom>"
             "</prod></det></infNFe></NFe>";
}

// An event file that cancels the note.
std::string cancellation()
{
    return "<procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"><evento><infEvento><chNFe>" + noteKey
           + "</chNFe><tpEvento>110111</tpEvento></infEvento></evento><retEvento><infEvento><cStat>135</cStat>"
             "</infEvento></retEvento></procEventoNFe>";
}

class Recorder final : public ImportReporter {
public:
    void report(const std::string& line, bool) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// A data folder with the two host tables, and a folder of XML files.
class ImportServiceTest : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }

    // Empty folders and tables, in place of any earlier ones.
    void fresh()
    {
        root_.reset();
        root_ = std::make_unique<test_support::ScratchDir>("import_service");
        fs::create_directories(data());
        fs::create_directories(xml());
        paradox::createTable(table("TabCli.db"), paradox::parseSchema(hostSchema::clients));
        paradox::createTable(table("TabEst1.db"), paradox::parseSchema(hostSchema::stock));
        recorder.lines.clear();
    }

    fs::path data() const { return root_->path() / "dados"; }
    fs::path xml() const { return root_->path() / "xml"; }
    std::string table(const char* name) const { return (data() / name).string(); }

    void write(const std::string& name, const std::string& content) const
    {
        std::ofstream(xml() / name, std::ios::binary | std::ios::trunc) << content;
    }

    ImportOutcome run(ImportMode mode)
    {
        db::Session session;
        ImportService service(session, recorder);
        EstadoImportacao estado;
        return service.run(mode, data().string(), xml().string(), estado);
    }

    // The values of one column of a table, in the order of its rows.
    std::vector<std::string> column(const char* tableName, const char* name) const
    {
        paradox::TableFile file(table(tableName));
        std::vector<std::string> values;
        const int field = file.fieldIndex(name);
        for (size_t row = 0; row < file.rowCount(); ++row)
            values.push_back(paradox::messageText(file.value(row, size_t(field))));
        return values;
    }

    bool logMentions(const std::string& file) const
    {
        return std::any_of(recorder.lines.begin(), recorder.lines.end(),
                           [&](const std::string& l) { return l.find(file) != std::string::npos; });
    }

    Recorder recorder;

private:
    std::unique_ptr<test_support::ScratchDir> root_;
};

// A file named for the other mode is that mode's export, whatever it holds:
// a run never opens it, so neither its recipient or items nor its events
// count. The rows without a prefix show that the same file, named
// otherwise, would be read.
TEST_F(ImportServiceTest, OtherModesExportsAreNeverOpened)
{
    const struct {
        const char* name;
        ImportMode mode;
        const char* file;
        bool isEvent;  // else the note itself
        std::vector<std::string> names;
    } cases[] = {
        {"note named for products, client run", ImportMode::Clientes, "NFe-PRODUTO-1.xml", false, {}},
        {"note without a prefix, client run", ImportMode::Clientes, "nota-1.xml", false, {"Maria"}},
        {"note named for clients, product run", ImportMode::Produtos, "NFe-CLIENTE-1.xml", false, {}},
        {"note without a prefix, product run", ImportMode::Produtos, "nota-1.xml", false, {"Caneta"}},
        {"cancellation named for products, client run", ImportMode::Clientes, "PRODUTO-evento.xml", true, {"Maria"}},
        {"cancellation without a prefix, client run", ImportMode::Clientes, "evento.xml", true, {}},
        {"cancellation named for clients, product run", ImportMode::Produtos, "CLIENTE-evento.xml", true, {"Caneta"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        write(c.file, c.isEvent ? cancellation() : note());
        if (c.isEvent)
            write("nota.xml", note());
        const bool clients = c.mode == ImportMode::Clientes;
        const ImportOutcome outcome = run(c.mode);
        EXPECT_EQ(outcome.kind, ImportOutcome::Kind::Finished);
        EXPECT_EQ(outcome.inserted, int32_t(c.names.size()));
        EXPECT_EQ(column(clients ? "TabCli.db" : "TabEst1.db", clients ? "Nome" : "Produto"), c.names);
        const bool read = c.isEvent ? c.names.empty() : !c.names.empty();
        EXPECT_EQ(logMentions(c.file), read) << testing::PrintToString(recorder.lines);
    }
}

// A missing column is the run's outcome, with the message that ends the
// program; the run reads no file and tells nothing.
TEST_F(ImportServiceTest, MissingColumnIsAnOutcome)
{
    const struct {
        ImportMode mode;
        const char* tableName;
        const char* schema;
        const char* column;
        const char* message;
    } cases[] = {
        {ImportMode::Clientes, "TabCli.db", "Codigo:A6*,Nome:A60,Endereco:A60,EndNumero:A10,EndComplemento:A60,Bairro:A40,"
                                            "Cidade:A40,Estado:A2,CEP:A10,CGC:A18",
         "Insc", "Não foi localizado o campo \"Insc\" na (TABCLI.db)! A aplicação será finalizada!"},
        {ImportMode::Produtos, "TabEst1.db", "Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,"
                                             "PrecoCusto:$,CEST:A7,CST:A3",
         "Origem", "Não foi localizado o campo \"Origem\" na (TABEST1.db)! A aplicação será finalizada!\r\n"
                   "É necessário atualizar o software Pelko!"},
    };
    write("CLIENTE-1.xml", note());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        recorder.lines.clear();
        for (const fs::directory_entry& e : fs::directory_iterator(data()))  // the table with its index
            if (e.path().stem() == fs::path(c.tableName).stem())
                fs::remove(e.path());
        paradox::createTable(table(c.tableName), paradox::parseSchema(c.schema));
        db::Session session;
        ImportService service(session, recorder);
        EXPECT_EQ(service.firstMissingColumn(c.mode, data().string()), std::optional<std::string>(c.column));
        const ImportOutcome outcome = run(c.mode);
        EXPECT_EQ(outcome.kind, ImportOutcome::Kind::MissingColumn);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_TRUE(recorder.lines.empty());
    }
}

} // namespace
