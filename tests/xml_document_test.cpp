#include "platform/text/visible_text.h"
#include "platform/xml/document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include "tests/shared_data.h"

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
    SKIP_WITHOUT_SHARED_DATA();
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

// Elements of a name at any depth, in document order, the element itself
// included; a deep file is walked without running out of stack.
TEST_F(XmlDocumentTest, FindsDescendantsAndParents)
{
    doc.load(write("a.xml", "<e><a><e>1</e><b><e>2</e></b></a><e>3</e><c/></e>"));
    std::vector<std::string> texts;
    for (const xml::Element& e : doc.root().child("a").descendants("e"))
        texts.push_back(e.text());
    EXPECT_EQ(texts, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(doc.root().descendants("e").size(), 4u);
    EXPECT_EQ(doc.root().descendants("c").size(), 1u);
    EXPECT_EQ(doc.root().descendants("e", {"a"}).size(), 2u);  // itself and "3"
    EXPECT_EQ(doc.root().child("a").descendants("e", {"a", "b"}).size(), 1u);
    EXPECT_TRUE(doc.root().child("nothing").descendants("e").empty());
    EXPECT_EQ(doc.root().path({"a", "b"}).parent().child("e").text(), "1");
    EXPECT_FALSE(doc.root().parent().exists());

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    deep += "<e/>";
    for (int i = 0; i < 100000; ++i)
        deep += "</d>";
    doc.load(write("deep.xml", deep));
    EXPECT_EQ(doc.root().descendants("e").size(), 1u);
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

// What is not a regular file is passed over without blocking and without
// being read; so is a file past the size limit.
TEST_F(XmlDocumentTest, PassesOverWhatIsNoExportFile)
{
    const std::string fifo = (dir / "fifo.xml").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.xml");
    fs::create_directory(dir / "folder.xml");
    const std::string big = write("big.xml", "<r/>");
    fs::resize_file(big, xml::largestFile + 1);
    const std::string socketPath = (dir / "socket.xml").string();
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {fifo, "não é um arquivo comum (FIFO)"},
        {(dir / "zero.xml").string(), "não é um arquivo comum (dispositivo)"},
        {(dir / "folder.xml").string(), "não é um arquivo comum (pasta)"},
        {socketPath, "não é um arquivo comum (socket)"},
        {big, "tem 33554433 bytes, mais que o limite de 33554432 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_NE(xml::passedOver(c.path, "x").find(c.reason), std::string::npos);
        try {
            doc.load(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const xml::SkippedFile& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
    ::close(sock);
    EXPECT_EQ(xml::passedOver(write("good.xml", "<r/>"), "good.xml"), "");
}

// Only the first bytes are looked at to tell an NF-e document.
TEST_F(XmlDocumentTest, TellsTheRootElementFromTheFirstBytes)
{
    const std::string nfe = "http://www.portalfiscal.inf.br/nfe";
    const struct {
        std::string bytes;
        std::string name;
        std::string uri;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<!-- nota -->\n<nfeProc versao=\"4.00\" xmlns=\"" + nfe + "\"><NFe/></nfeProc>", "nfeProc", nfe},
        {"\xEF\xBB\xBF<NFe xmlns='" + nfe + "'>", "NFe", nfe},
        {"<nfe:NFe xmlns:x=\"other\" xmlns:nfe=\"" + nfe + "\">", "NFe", nfe},
        {std::string("\xFF\xFE<\0N\0F\0e\0 \0x\0m\0l\0n\0s\0=\0\"\0a\0\"\0>\0", 32), "NFe", "a"},
        {"<cliente><dest/></cliente>", "cliente", ""},
        {"no markup at all", "", ""},
    };
    for (const auto& c : cases) {
        const xml::RootElement root = xml::rootElementOf(write("r.xml", c.bytes));
        EXPECT_EQ(root.localName, c.name) << c.bytes;
        EXPECT_EQ(root.namespaceUri, c.uri) << c.bytes;
    }
}

TEST(VisibleText, ShowsEveryByteOnOneLine)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Venâncio Aires ☺", "Venâncio Aires ☺"},
        {"a\r\nFORGED - 99", "a\\r\\nFORGED - 99"},
        {"tab\there\x01\x7F", "tab\\there\\x01\\x7F"},
        {"NFe-\xFF\xFE.xml", "NFe-\\xFF\\xFE.xml"},
        {"cut \xC3", "cut \\xC3"},                // a sequence cut short
        {"\xC0\xAF", "\\xC0\\xAF"},            // an overlong form
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::visible(c.in), c.out);
}

} // namespace
