#include "platform/xml/document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class XmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("xml_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& bytes)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
        return p.string();
    }

    fs::path dir;
    xml::Document doc;
};

TEST_F(XmlDocumentTest, ReadsARealClientExportThroughItsDefaultNamespace)
{
    doc.load(SHARED_DIR "/data/nfe/exports/NFe-CLIENTE-0005.xml");
    const xml::Element dest = doc.root().child("dest");
    ASSERT_TRUE(dest.exists());
    EXPECT_FALSE(dest.child("xNome").text().empty());
    EXPECT_FALSE(dest.path({"enderDest", "xMun"}).text().empty());
}

TEST_F(XmlDocumentTest, MissingElementsReadAsEmptyAtAnyLevel)
{
    doc.load(write("a.xml", "<r><dest><CPF>1</CPF><empty/><blank>   </blank></dest></r>"));
    EXPECT_EQ(doc.root().path({"dest", "CPF"}).text(), "1");
    EXPECT_EQ(doc.root().path({"dest", "cpf"}).text(), "");
    EXPECT_EQ(doc.root().path({"nothing", "at", "all"}).text(), "");
    EXPECT_EQ(doc.root().path({"dest", "empty"}).text(), "");
    EXPECT_EQ(doc.root().path({"dest", "blank"}).text(), "");
}

TEST_F(XmlDocumentTest, TakesTheFirstChildOfAName)
{
    doc.load(write("a.xml", "<r><det><x>1</x></det><det><x>2</x></det></r>"));
    EXPECT_EQ(doc.root().path({"det", "x"}).text(), "1");
}

TEST_F(XmlDocumentTest, ElementHoldingElementsIsNoText)
{
    doc.load(write("a.xml", "<r><dest><CPF><b>1</b></CPF><mix>a<b/>c</mix><c><![CDATA[x<y]]></c></dest></r>"));
    EXPECT_EQ(doc.root().path({"dest", "c"}).text(), "x<y");
    try {
        doc.root().path({"dest", "CPF"}).text();
        FAIL();
    } catch (const xml::Error& e) {
        EXPECT_STREQ(e.what(), "Element \"CPF\" does not contain a single text node");
    }
    EXPECT_THROW(doc.root().path({"dest", "mix"}).text(), xml::Error);
}

TEST_F(XmlDocumentTest, DecodesTheEncodingsOfInvoiceFiles)
{
    const std::string utf8 = "<r><n>S\xC3\xA3o Jo\xC3\xA3o</n></r>";
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><n>S\xE3o Jo\xE3o</n></r>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : std::u16string(u"<r><n>São João</n></r>")) {
        utf16 += char(c & 0xFF);
        utf16 += char(c >> 8);
    }
    for (const std::string& bytes : {utf8, latin1, utf16, "\xEF\xBB\xBF" + utf8}) {
        doc.load(write("e.xml", bytes));
        EXPECT_EQ(doc.root().child("n").text(), "S\xC3\xA3o Jo\xC3\xA3o");
    }
}

TEST_F(XmlDocumentTest, RefusesBrokenAndMissingFilesAndKeepsNothing)
{
    doc.load(write("good.xml", "<r><a>1</a></r>"));
    try {
        doc.load(write("bad.xml", "<r>\n<a>1</b></r>"));
        FAIL();
    } catch (const xml::Error& e) {
        EXPECT_NE(std::string(e.what()).find("bad.xml"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("linha 2"), std::string::npos);
    }
    EXPECT_EQ(doc.root().child("a").text(), "");
    EXPECT_THROW(doc.load((dir / "none.xml").string()), xml::Error);
    EXPECT_THROW(doc.load(write("empty.xml", "")), xml::Error);
}

TEST_F(XmlDocumentTest, NeverExpandsEntitiesOfADocumentType)
{
    doc.load(write("dtd.xml", "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r><a>&x;</a></r>"));
    EXPECT_EQ(doc.root().child("a").text().find("root:"), std::string::npos);
}

} // namespace
