// Reading export files and NF-e documents into records, with no engine and
// no window: what each element becomes, and what a note tells about itself.

#include "nfe/client_reader.h"
#include "nfe/element_text.h"
#include "nfe/integer_text.h"
#include "nfe/note_status.h"
#include "nfe/product_reader.h"
#include "nfe/value_error.h"
#include "platform/os/regional_settings.h"
#include "platform/xml/document.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

const std::string nfeNs = "http://www.portalfiscal.inf.br/nfe";

// Loads one document from text through a file, as a run reads it.
class NfeReader : public ::testing::Test {
protected:
    xml::Element load(const std::string& text)
    {
        const std::string path = folder_.file("documento.xml");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        document_.load(path);
        return document_.root();
    }
    xml::Element recipient(const std::string& inside)
    {
        return nfe::exportedRecipient(load("<cliente xmlns=\"" + nfeNs + "\"><dest>" + inside + "</dest></cliente>"));
    }
    xml::Element item(const std::string& prod, const std::string& icms = {})
    {
        return nfe::exportedItem(load("<produto xmlns=\"" + nfeNs + "\"><det nItem=\" 3 \"><prod>" + prod
                                      + "</prod><imposto><ICMS>" + icms + "</ICMS></imposto></det></produto>"));
    }

private:
    test_support::ScratchDir folder_{"nfe_reader"};
    xml::Document document_;
};

TEST_F(NfeReader, ClientIdentityPrefersTheCpf)
{
    const struct {
        const char* dest;
        bool person;
        const char* number;
    } cases[] = {
        {"<CPF> 11144477735 </CPF>", true, "111.444.777-35"},
        {"<CNPJ>11444777000161</CNPJ>", false, "11.444.777/0001-61"},
        {"<CPF>11144477735</CPF><CNPJ>11444777000161</CNPJ>", true, "111.444.777-35"},
        {"<CPF> </CPF><CNPJ>11444777000161</CNPJ>", false, "11.444.777/0001-61"},
    };
    for (const auto& c : cases) {
        const nfe::ClientIdentity identity = nfe::readClientIdentity(recipient(c.dest));
        EXPECT_EQ(identity.person, c.person) << c.dest;
        EXPECT_EQ(identity.number, std::string(c.number)) << c.dest;
    }
}

TEST_F(NfeReader, ClientRecordTakesEveryElementTrimmed)
{
    const xml::Element dest = recipient(
        "<CNPJ>11444777000161</CNPJ><xNome>\t Comércio Ltda </xNome><enderDest><xLgr>Rua A</xLgr><nro>12</nro>"
        "<xCpl>Sala 3</xCpl><xBairro>Centro</xBairro><xMun>São Paulo</xMun><UF>SP</UF><CEP>01452000</CEP>"
        "<fone>1130001000</fone></enderDest><IE>110042490114</IE><email>a@b.com.br</email>");
    const TCliente c = nfe::readClient(dest, nfe::readClientIdentity(dest));
    EXPECT_EQ(c.Codigo, 0);
    EXPECT_EQ(c.CPFCNPJ, std::string("11.444.777/0001-61"));
    EXPECT_EQ(c.Nome, std::string("Comércio Ltda"));
    EXPECT_EQ(c.Logradoura, std::string("Rua A"));
    EXPECT_EQ(c.Num, std::string("12"));
    EXPECT_EQ(c.Complemento, std::string("Sala 3"));
    EXPECT_EQ(c.Bairro, std::string("Centro"));
    EXPECT_EQ(c.Municipio, std::string("São Paulo"));
    EXPECT_EQ(c.UF, std::string("SP"));
    EXPECT_EQ(c.CEP, std::string("01452-000"));
    EXPECT_EQ(c.Telefone, std::string("1130001000"));
    EXPECT_EQ(c.IE, std::string("110042490114"));
    EXPECT_EQ(c.Email, std::string("a@b.com.br"));
}

TEST_F(NfeReader, CepGetsItsHyphenOnce)
{
    const struct {
        const char* cep;
        const char* stored;
    } cases[] = {{"01452000", "01452-000"}, {"01452-000", "01452-000"}, {"", ""}};
    for (const auto& c : cases) {
        const xml::Element dest = recipient(std::string("<CPF>11144477735</CPF><enderDest><CEP>") + c.cep + "</CEP></enderDest>");
        EXPECT_EQ(nfe::readClient(dest, nfe::readClientIdentity(dest)).CEP, std::string(c.stored)) << c.cep;
    }
}

TEST_F(NfeReader, RecipientNeedsACpfOrACnpj)
{
    const struct {
        const char* dest;
        bool has;
    } cases[] = {{"<CPF>1</CPF>", true}, {"<CNPJ>1</CNPJ>", true}, {"<CPF> </CPF><CNPJ>\n</CNPJ>", false},
                 {"<idEstrangeiro>X</idEstrangeiro>", false}};
    for (const auto& c : cases)
        EXPECT_EQ(nfe::hasTaxNumber(recipient(c.dest)), c.has) << c.dest;
}

TEST_F(NfeReader, ItemCodeIsTheBarcodeElseTheOwnCode)
{
    const struct {
        const char* prod;
        const char* description;
        const char* code;
        const char* barcode;
    } cases[] = {
        {"<cProd>A1</cProd><cEAN>7891234567895</cEAN><xProd>Parafuso</xProd>", "Parafuso", "7891234567895", "7891234567895"},
        {"<cProd> A1 </cProd><cEAN>SEM GTIN</cEAN><xProd>Parafuso</xProd>", "Parafuso", "A1", ""},
        {"<cProd>A1</cProd><cEAN>sem gtin</cEAN><xProd>Parafuso</xProd>", "Parafuso", "A1", ""},
        {"<cEAN></cEAN><xProd>Parafuso</xProd>", "Parafuso", "", ""},
        // No description: no product, and nothing else of it is read.
        {"<cProd>A1</cProd><cEAN>7891234567895</cEAN><xProd> </xProd>", "", "", ""},
    };
    for (const auto& c : cases) {
        const nfe::ItemCode code = nfe::readItemCode(item(c.prod));
        EXPECT_EQ(code.description, std::string(c.description)) << c.prod;
        EXPECT_EQ(code.code, std::string(c.code)) << c.prod;
        EXPECT_EQ(code.barcode, std::string(c.barcode)) << c.prod;
    }
    EXPECT_EQ(nfe::readItemCode(item("<xProd>P</xProd>")).item, std::string("3"));
}

TEST_F(NfeReader, ProductRecord)
{
    const xml::Element det = item("<cProd>A1</cProd><cEAN>7891234567895</cEAN><xProd>Parafuso</xProd><NCM>73181500</NCM>"
                                  "<uCom>UN</uCom><vUnCom>12.4500000000</vUnCom><cEANTrib>SEM GTIN</cEANTrib><CEST>0100100</CEST>",
                                  "<ICMS00><orig>1</orig><CST>00</CST></ICMS00>");
    const nfe::Product p = nfe::readProduct(det, nfe::readItemCode(det));
    EXPECT_EQ(p.record.Codigo, 0);
    EXPECT_EQ(p.record.EAN, std::string("7891234567895"));
    EXPECT_EQ(p.record.Desc, std::string("Parafuso"));
    EXPECT_EQ(p.record.NCM, std::string("73181500"));
    EXPECT_EQ(p.record.UN, std::string("UN"));
    EXPECT_EQ(p.record.EANTri, std::string());
    EXPECT_DOUBLE_EQ(p.record.Custo, 12.45);
    EXPECT_EQ(p.record.CEST, std::string("0100100"));
    EXPECT_EQ(p.record.orig, 1);
    EXPECT_EQ(p.record.CST_CSOSN, std::string("00"));
    EXPECT_TRUE(p.droppedOrigin.empty());
}

// The price is read with the regional separator first; a plain decimal that
// the settings refuse is read with its full stop; anything else, and a value
// no double holds, raises.
TEST_F(NfeReader, PriceUnderEitherDecimalSeparator)
{
    const std::string huge = "1" + std::string(400, '0');
    const struct {
        const char* separator;
        std::string vUnCom;
        double price;
        std::string error;  // empty: the price converts
    } cases[] = {
        {",", "12.50", 12.5, ""},
        {".", "12.50", 12.5, ""},
        {".", "1500", 1500, ""},
        {",", "-3.5", -3.5, ""},
        {".", "+0.25", 0.25, ""},
        {".", "1.2.3", 0, "'1,2,3' is not a valid floating point value"},
        {".", "5.", 0, "'5,' is not a valid floating point value"},
        {",", huge, 0, "'" + huge + "' is not a valid floating point value"},
        {".", huge, 0, "'" + huge + "' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.separator) + " " + c.vUnCom.substr(0, 12));
        os::RegionalSettings regional = os::neutralRegionalSettings();
        regional.decimalSeparator = c.separator;
        const xml::Element det = item("<xProd>P</xProd><vUnCom>" + c.vUnCom + "</vUnCom>");
        try {
            const nfe::Product p = nfe::readProduct(det, nfe::readItemCode(det), regional);
            EXPECT_TRUE(c.error.empty());
            EXPECT_EQ(p.record.Custo, c.price);
        } catch (const nfe::ValueError& e) {
            EXPECT_EQ(e.what(), c.error);
        }
    }
}

// A value's bytes that are no UTF-8 reach the record as U+FFFD, as text.
TEST_F(NfeReader, BytesThatAreNoTextBecomeReplacementCharacters)
{
    const xml::Element dest = recipient("<CPF>11144477735</CPF><xNome> A\xFF\xC3" "B </xNome>");
    EXPECT_EQ(nfe::readClient(dest, nfe::readClientIdentity(dest)).Nome, "A\xEF\xBF\xBD\xEF\xBF\xBD" "B");
}

// Where the origin and the tax situation come from, and when an origin is
// left out.
TEST_F(NfeReader, OriginAndTaxSituation)
{
    const struct {
        const char* name;
        const char* code;
        const char* icms;
        int32_t orig;
        const char* cst;
        const char* dropped;
    } cases[] = {
        {"in the group", "A1", "<ICMS20><orig>2</orig><CST>20</CST></ICMS20>", 2, "20", ""},
        {"beside the group", "A1", "<orig>3</orig><CST>41</CST><ICMS00><orig>1</orig><CST>00</CST></ICMS00>", 3, "41", ""},
        {"Simples Nacional", "A1", "<ICMSSN102><orig>0</orig><CSOSN>102</CSOSN></ICMSSN102>", 0, "102", ""},
        {"outside the codes", "A1", "<ICMS00><orig>9</orig></ICMS00>", -1, "", "9"},
        {"none, Brazilian barcode", "7891234567895", "", 0, "", ""},
        {"none, 789 elsewhere in 13", "0000000000789", "", 0, "", ""},
        {"none, other code", "A1", "", -1, "", ""},
    };
    for (const auto& c : cases) {
        const xml::Element det = item(std::string("<cProd>") + c.code + "</cProd><xProd>P</xProd>", c.icms);
        const nfe::Product p = nfe::readProduct(det, nfe::readItemCode(det));
        EXPECT_EQ(p.record.orig, c.orig) << c.name;
        EXPECT_EQ(p.record.CST_CSOSN, std::string(c.cst)) << c.name;
        EXPECT_EQ(p.droppedOrigin, std::string(c.dropped)) << c.name;
    }
}

TEST_F(NfeReader, ValuesThatDoNotConvertRaise)
{
    const struct {
        const char* prod;
        const char* icms;
        const char* message;
    } cases[] = {
        {"<xProd>P</xProd><vUnCom>abc</vUnCom>", "", "'abc' is not a valid floating point value"},
        {"<xProd>P</xProd><vUnCom>1.2.3</vUnCom>", "", "'1,2,3' is not a valid floating point value"},
        {"<xProd>P</xProd>", "<ICMS00><orig>x</orig></ICMS00>", "'x' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        const xml::Element det = item(c.prod, c.icms);
        try {
            nfe::readProduct(det, nfe::readItemCode(det));
            ADD_FAILURE() << c.prod << c.icms;
        } catch (const nfe::ValueError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(NfeFileKind, ToldFromTheRootElement)
{
    const struct {
        const char* localName;
        std::string ns;
        nfe::FileKind kind;
        bool processed;
    } cases[] = {
        {"nfeProc", nfeNs, nfe::FileKind::Note, true},
        {"NFe", nfeNs, nfe::FileKind::Note, false},
        {"procEventoNFe", nfeNs, nfe::FileKind::Event, false},
        {"cliente", nfeNs, nfe::FileKind::Other, false},
        {"nfeProc", "", nfe::FileKind::Other, true},
        {"nfeProc", "http://example.com/nfe", nfe::FileKind::Other, true},
    };
    for (const auto& c : cases) {
        const xml::RootElement root{c.localName, c.ns};
        EXPECT_EQ(nfe::kindOf(root), c.kind) << c.localName << " " << c.ns;
        EXPECT_EQ(nfe::isProcessedNote(root), c.processed) << c.localName;
    }
}

TEST_F(NfeReader, NoteTellsItsFacts)
{
    const xml::Element top = load(
        "<nfeProc xmlns=\"" + nfeNs + "\"><NFe><infNFe Id=\"NFe35180834128745000152550010000474281920007498\">"
        "<ide><tpAmb> 2 </tpAmb></ide><dest><CPF>11144477735</CPF></dest>"
        "<det nItem=\"10\"><prod><xProd>Dez</xProd></prod></det><det nItem=\"2\"><prod><xProd>Dois</xProd></prod></det>"
        "<det nItem=\"1\"><prod><xProd>Um</xProd></prod></det></infNFe></NFe>"
        "<protNFe><infProt><chNFe>35180834128745000152550010000474281920007499</chNFe><cStat>100</cStat></infProt></protNFe>"
        "<procEventoNFe><evento><infEvento><chNFe>35180834128745000152550010000474281920007498</chNFe>"
        "<tpEvento>110111</tpEvento></infEvento></evento><retEvento><infEvento><cStat>135</cStat></infEvento></retEvento>"
        "</procEventoNFe></nfeProc>");
    const nfe::Note note(top, true);
    EXPECT_TRUE(note.processed());
    EXPECT_EQ(note.environment(), std::string("2"));
    EXPECT_EQ(note.status(), std::string("100"));
    EXPECT_EQ(note.keys(), (std::vector<std::string>{std::string("35180834128745000152550010000474281920007498"),
                                                 std::string("35180834128745000152550010000474281920007499")}));
    const std::vector<nfe::Cancellation> cancellations = note.cancellations();
    ASSERT_EQ(cancellations.size(), 1u);
    EXPECT_EQ(cancellations[0].key, std::string("35180834128745000152550010000474281920007498"));
    EXPECT_EQ(cancellations[0].status, std::string("135"));
    EXPECT_EQ(trimmedText(note.recipient().child("CPF")), std::string("11144477735"));
    std::vector<std::string> items;
    for (const xml::Element& det : note.items())
        items.push_back(det.path({"prod", "xProd"}).text());
    EXPECT_EQ(items, (std::vector<std::string>{"Um", "Dois", "Dez"}));
}

TEST_F(NfeReader, BareNoteHasNoStatusAndOneKey)
{
    const xml::Element top = load("<NFe xmlns=\"" + nfeNs + "\"><infNFe Id=\"NFe123\"><ide><tpAmb>1</tpAmb></ide>"
                                  "<dest><CNPJ>11444777000161</CNPJ></dest></infNFe></NFe>");
    const nfe::Note note(top, false);
    EXPECT_EQ(note.environment(), std::string("1"));
    EXPECT_EQ(note.status(), std::string());
    EXPECT_EQ(note.keys(), std::vector<std::string>{std::string("123")});
    EXPECT_TRUE(note.cancellations().empty());
    EXPECT_EQ(note.recipient().child("CNPJ").text(), "11444777000161");
}

TEST(IntegerText, ReadsWhatTheHostsToolsWrite)
{
    const struct {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"120", true, 120},     {"  000120", true, 120},     {"-7", true, -7},
        {"+7", true, 7},        {"$1F", true, 31},           {"0x1f", true, 31},
        {"$FFFFFFFF", true, -1}, {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0}, {"", false, 0},            {"   ", false, 0},
        {"12 ", false, 0},      {"ABC", false, 0},           {"0x", false, 0},
        {"$100000000", false, 0},
    };
    for (const auto& c : cases) {
        int32_t value = 0;
        EXPECT_EQ(textToInt32(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

} // namespace
