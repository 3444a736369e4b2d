#include "log/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

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

    // What reading the file's lines and writing them back with the new entry gives.
    static std::string readAndRewrite(const std::string& before, const std::string& entry)
    {
        return activity_log::normalised(before) + entry + "\r\n";
    }

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

// After every call the file holds byte for byte what the read-and-rewrite
// of the whole file would leave.
TEST_F(LogFileTest, EveryCallLeavesWhatReadAndRewriteWould)
{
    const std::string starts[] = {
        "",
        "old 1\r\nold 2\r\n",
        "old 1\nold 2\rold 3\r\nold 4",
        "\xEF\xBB\xBFwith mark\r\n",
        std::string("\xFF\xFEu\0t\0f\0\x31\0\x36\0\r\0\n\0", 16),
    };
    const std::string entries[] = {
        "10/12/2026 10:00:00 - first",
        "10/12/2026 10:00:01 - two\nlines",
        "10/12/2026 10:00:02 - three\r\nlines\rhere",
        "10/12/2026 10:00:03 - plain",
        "10/12/2026 10:00:04 - ends with a break\n",
        "10/12/2026 10:00:05 - plain again",
    };
    for (const std::string& start : starts) {
        SCOPED_TRACE(testing::PrintToString(start));
        fs::remove(path);
        if (!start.empty())
            spit(path, start);
        std::string model = fs::exists(path) ? slurp(path) : std::string();
        for (const std::string& entry : entries) {
            ASSERT_TRUE(writer.append(path.string(), entry));
            model = readAndRewrite(model, entry);
            ASSERT_EQ(slurp(path), model) << entry;
        }
    }
}

// Another copy of the program may write between two calls of this one.
TEST_F(LogFileTest, NoticesWritesOfAnotherProcess)
{
    ASSERT_TRUE(writer.append(path.string(), "a\nb"));
    std::string model = readAndRewrite("", "a\nb");
    {
        std::ofstream(path, std::ios::binary | std::ios::app) << "other copy\n";
        model += "other copy\n";
    }
    ASSERT_TRUE(writer.append(path.string(), "c"));
    model = readAndRewrite(model, "c");
    EXPECT_EQ(slurp(path), model);

    spit(path, "replaced\r\n");
    ASSERT_TRUE(writer.append(path.string(), "d"));
    EXPECT_EQ(slurp(path), "replaced\r\nd\r\n");
}

TEST_F(LogFileTest, FailsQuietlyWhenTheFileCannotBeWritten)
{
    EXPECT_FALSE(writer.append((dir / "missing" / "Tessaly.log").string(), "x"));
    fs::create_directory(dir / "folder.log");
    EXPECT_FALSE(writer.append((dir / "folder.log").string(), "x"));
    if (::geteuid() != 0) {
        spit(path, "kept\r\n");
        ::chmod(path.c_str(), 0444);
        EXPECT_FALSE(writer.append(path.string(), "x"));
        EXPECT_EQ(slurp(path), "kept\r\n");
    }
}

} // namespace
