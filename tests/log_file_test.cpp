#include "log/log_file.h"
#include "tests/unprivileged_child.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("log_file_test_" + std::to_string(::getpid()) + "_"
                                           + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = dir / "Tessaly.log";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    fs::path path;
    activity_log::Writer writer;
};

TEST_F(LogFileTest, SplitsLinesAsTheStringListReaderDoes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"a", "a\r\n"},
        {"a\r\n", "a\r\n"},
        {"a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"a\r\r\n", "a\r\n\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"\xEF\xBB\xBFol\xC3\xA1\n", "ol\xC3\xA1\r\n"},
        {std::string("\xFF\xFEo\0l\0\xE1\0\n\0", 10), "ol\xC3\xA1\r\n"},
        {std::string("\xFE\xFF\0o\0l\0\xE1\0\r", 10), "ol\xC3\xA1\r\n"},
        {"caf\xE9\n", "caf\xE9\r\n"},  // bytes that are no UTF-8 stay as they are
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(activity_log::normalised(in), out) << testing::PrintToString(in);
}

// After every call the file holds byte for byte what reading its lines and
// writing them back, with the new entry after them, would leave: the lines
// of the start as CR LF lines, the earlier entries as lines, and the new
// entry as given, with CR LF after it.
TEST_F(LogFileTest, EveryCallLeavesWhatReadAndRewriteWould)
{
    struct Start {
        std::string bytes;
        std::string lines;
    };
    const Start starts[] = {
        {"", ""},
        {"old 1\r\nold 2\r\n", "old 1\r\nold 2\r\n"},
        {"old 1\nold 2\rold 3\r\nold 4", "old 1\r\nold 2\r\nold 3\r\nold 4\r\n"},
        {"\xEF\xBB\xBFwith mark\r\n", "with mark\r\n"},
        {std::string("\xFF\xFEu\0t\0f\0\x31\0\x36\0\r\0\n\0", 16), "utf16\r\n"},
    };
    struct Entry {
        std::string text;
        std::string written;  // right after its own call
        std::string lines;    // once a later call has read it back
    };
    const Entry entries[] = {
        {"10/12/2026 10:00:00 - first", "10/12/2026 10:00:00 - first\r\n", "10/12/2026 10:00:00 - first\r\n"},
        {"10/12/2026 10:00:01 - two\nlines", "10/12/2026 10:00:01 - two\nlines\r\n",
         "10/12/2026 10:00:01 - two\r\nlines\r\n"},
        {"10/12/2026 10:00:02 - three\r\nlines\rhere", "10/12/2026 10:00:02 - three\r\nlines\rhere\r\n",
         "10/12/2026 10:00:02 - three\r\nlines\r\nhere\r\n"},
        {"10/12/2026 10:00:03 - plain", "10/12/2026 10:00:03 - plain\r\n", "10/12/2026 10:00:03 - plain\r\n"},
        {"10/12/2026 10:00:04 - ends with a break\n", "10/12/2026 10:00:04 - ends with a break\n\r\n",
         "10/12/2026 10:00:04 - ends with a break\r\n\r\n"},
        {"10/12/2026 10:00:05 - plain again", "10/12/2026 10:00:05 - plain again\r\n",
         "10/12/2026 10:00:05 - plain again\r\n"},
    };
    for (const Start& start : starts) {
        SCOPED_TRACE(testing::PrintToString(start.bytes));
        fs::remove(path);
        if (!start.bytes.empty())
            spit(path, start.bytes);
        std::string before = start.lines;
        for (const Entry& entry : entries) {
            ASSERT_TRUE(writer.append(path.string(), entry.text));
            ASSERT_EQ(slurp(path), before + entry.written) << entry.text;
            before += entry.lines;
        }
    }
}

// Another copy of the program may write between two calls of this one.
TEST_F(LogFileTest, NoticesWritesOfAnotherProcess)
{
    ASSERT_TRUE(writer.append(path.string(), "a\nb"));
    EXPECT_EQ(slurp(path), "a\nb\r\n");
    std::ofstream(path, std::ios::binary | std::ios::app) << "other copy\n";
    ASSERT_TRUE(writer.append(path.string(), "c"));
    EXPECT_EQ(slurp(path), "a\r\nb\r\nother copy\r\nc\r\n");

    spit(path, "replaced\r\n");
    ASSERT_TRUE(writer.append(path.string(), "d"));
    EXPECT_EQ(slurp(path), "replaced\r\nd\r\n");
}

TEST_F(LogFileTest, FailsQuietlyWhenTheFileCannotBeWritten)
{
    EXPECT_FALSE(writer.append((dir / "missing" / "Tessaly.log").string(), "x"));
    fs::create_directory(dir / "folder.log");
    EXPECT_FALSE(writer.append((dir / "folder.log").string(), "x"));

    // A file its owner may only read, in a folder that owner may write to:
    // the mode alone keeps the entry out. Root would pass over the mode, so
    // the writer runs as a user of its own.
    spit(path, "kept\r\n");
    test_support::giveToChild(dir.string());
    test_support::giveToChild(path.string());
    EXPECT_EQ(test_support::inUnprivilegedChild([&] { return writer.append(path.string(), "kept"); }), 1);
    ASSERT_EQ(slurp(path), "kept\r\nkept\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(test_support::inUnprivilegedChild([&] { return writer.append(path.string(), "x"); }), 0);
    EXPECT_EQ(slurp(path), "kept\r\nkept\r\n");
}

} // namespace
