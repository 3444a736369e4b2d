// The folder listing: its order without regard to case, its names as shown
// and as the file system spells them, and its statuses.

#include "folders/directory_search.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

struct Listed {
    std::vector<std::string> shown;
    std::vector<std::string> native;
};

Listed listing(const std::string& folder, const char* pattern)
{
    Listed listed;
    DirectorySearch search;
    TSearchRec entry;
    for (int32_t r = search.findFirst(folder, pattern, entry); r == 0; r = search.findNext(entry)) {
        listed.shown.push_back(entry.Name);
        listed.native.push_back(entry.nativeName);
    }
    return listed;
}

TEST(DirectorySearch, ListsInNameOrderWithoutRegardToCase)
{
    const struct {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> order;
    } cases[] = {
        {"ASCII", {"b.xml", "A.xml", "a.xml", "C.XML"}, {"A.xml", "a.xml", "b.xml", "C.XML"}},
        // Accented capitals and small letters sort together, after every
        // unaccented letter.
        {"accented", {"éb.xml", "Éa.xml", "f.xml", "e.xml"}, {"e.xml", "f.xml", "Éa.xml", "éb.xml"}},
        {"Latin Extended-A", {"ţb.xml", "Ţa.xml", "ła.xml", "Łb.xml"}, {"ła.xml", "Łb.xml", "Ţa.xml", "ţb.xml"}},
        {"sharp s as SS", {"ßb.xml", "SSa.xml", "st.xml"}, {"SSa.xml", "ßb.xml", "st.xml"}},
        {"Cyrillic", {"бa.xml", "Аb.xml", "Бc.xml"}, {"Аb.xml", "бa.xml", "Бc.xml"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test_support::ScratchDir folder("directory_search");
        for (const std::string& f : c.files)
            std::ofstream(folder.file(f)) << "x";
        EXPECT_EQ(listing(folder.path().string(), "*.xml").shown, c.order);
    }
}

TEST(DirectorySearch, ShowsBytesThatAreNoTextAndKeepsThemToOpenTheFile)
{
    const test_support::ScratchDir folder("directory_search");
    const std::string raw = "nota\xFF.xml";
    std::ofstream(folder.file(raw)) << "x";
    std::ofstream(folder.file("outro.txt")) << "x";
    const Listed listed = listing(folder.path().string(), "*.XML");
    EXPECT_EQ(listed.shown, std::vector<std::string>{"nota\\xFF.xml"});
    EXPECT_EQ(listed.native, std::vector<std::string>{raw});
    EXPECT_TRUE(std::ifstream(folder.file(listed.native.at(0))).good());
}

// Each entry carries what it is as the search reaches it: links followed,
// a folder marked as one, a name that leads nowhere not looked at.
TEST(DirectorySearch, EntriesCarryTheirKindAndSize)
{
    namespace fs = std::filesystem;
    const test_support::ScratchDir folder("directory_search");
    std::ofstream(folder.file("a-file.xml")) << "12345";
    fs::create_directory(folder.file("b-folder.xml"));
    fs::create_symlink("a-file.xml", folder.file("c-link.xml"));
    fs::create_symlink("b-folder.xml", folder.file("d-folder-link.xml"));
    fs::create_symlink("missing.xml", folder.file("e-dangling.xml"));
    ASSERT_EQ(::mkfifo(folder.file("f-fifo.xml").c_str(), 0600), 0);
    const struct {
        const char* name;
        os::Kind kind;
        uint64_t size;
        uint32_t attr;
    } expected[] = {
        {"a-file.xml", os::Kind::Regular, 5, 0},
        {"b-folder.xml", os::Kind::Folder, 0, faDirectory},
        {"c-link.xml", os::Kind::Regular, 5, 0},
        {"d-folder-link.xml", os::Kind::Folder, 0, faDirectory},
        {"e-dangling.xml", os::Kind::None, 0, 0},
        {"f-fifo.xml", os::Kind::Fifo, 0, 0},
    };
    DirectorySearch search;
    TSearchRec entry;
    int32_t r = search.findFirst(folder.path().string(), "*.*", entry);
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        ASSERT_EQ(r, 0);
        EXPECT_EQ(entry.Name, e.name);
        EXPECT_EQ(entry.Facts.kind, e.kind);
        if (e.kind == os::Kind::Regular) {
            EXPECT_EQ(entry.Facts.size, e.size);
        }
        EXPECT_EQ(entry.Attr, e.attr);
        r = search.findNext(entry);
    }
    // "." and ".." are no entries of the folder.
    EXPECT_EQ(r, noMoreFiles);
}

TEST(DirectorySearch, StatusesOfASearchThatFindsNothing)
{
    const test_support::ScratchDir folder("directory_search");
    DirectorySearch search;
    TSearchRec entry;
    EXPECT_EQ(search.findFirst(folder.file("missing"), "*.*", entry), pathNotFound);
    EXPECT_EQ(search.findFirst(folder.path().string(), "*.xml", entry), noMoreFiles);
}

} // namespace
