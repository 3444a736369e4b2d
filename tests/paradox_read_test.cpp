#include "platform/paradox/error.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"
#include "tests/paradox_test_support.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace {

using namespace test_support;

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    std::stringstream in(line);
    std::string part;
    while (std::getline(in, part, '\t'))
        parts.push_back(part);
    if (!line.empty() && line.back() == '\t')
        parts.push_back("");
    return parts;
}

// The independent reader prints some blank values as if they were numbers or
// dates; a blank of ours is the same value there.
bool sameValue(const paradox::Field& f, const std::string& ours, const std::string& theirs)
{
    if (ours == theirs)
        return true;
    if (ours != "\\N")
        return false;
    switch (f.type) {
    case paradox::FieldType::Date: return theirs == "0000-00-00";
    case paradox::FieldType::Long:
    case paradox::FieldType::AutoIncrement: return theirs == "-2147483648";
    case paradox::FieldType::Currency:
    case paradox::FieldType::Number: return theirs == "0.0000";
    case paradox::FieldType::Time: return theirs.starts_with("-");
    case paradox::FieldType::Timestamp: return theirs == "-001-12-31 00:00:00";
    default: return false;
    }
}

std::vector<std::string> sharedTables()
{
    std::vector<std::string> tables;
    for (const auto& e : fs::recursive_directory_iterator(SHARED_DIR "/data/paradox")) {
        std::string ext = e.path().extension().string();
        for (char& c : ext)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        // Secondary index files (.Xnn, .XGn) are sorted tables too.
        const bool secondary = ext.size() == 4 && ext[1] == 'x';
        if ((ext == ".db" || secondary) && e.path().parent_path().filename() != "encrypt")
            tables.push_back(e.path().string());
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

TEST(ParadoxRead, EveryTableReadsAsTheIndependentReaderShowsIt)
{
    SKIP_WITHOUT_SHARED_DATA();
    const auto tables = sharedTables();
    ASSERT_GT(tables.size(), 60u);
    for (const std::string& path : tables) {
        SCOPED_TRACE(path);
        paradox::TableFile table(path);
        std::ostringstream ours;
        paradox::dumpTable(table, ours);
        const CommandResult theirs = pxdump(path);
        ASSERT_EQ(theirs.status, 0);
        const auto ourRows = rowLines(ours.str());
        const auto theirRows = rowLines(theirs.out);
        ASSERT_EQ(ourRows.size(), theirRows.size());
        // Header lines agree wholly.
        std::istringstream a(ours.str());
        std::istringstream b(theirs.out);
        for (std::string x, y; std::getline(a, x) && std::getline(b, y) && x.starts_with("# ");)
            EXPECT_EQ(x, y);
        for (size_t r = 0; r < ourRows.size(); ++r) {
            const auto mine = splitTabs(ourRows[r]);
            const auto other = splitTabs(theirRows[r]);
            ASSERT_EQ(mine.size(), table.fields().size()) << "row " << r;
            ASSERT_EQ(other.size(), table.fields().size()) << "row " << r;
            for (size_t f = 0; f < mine.size(); ++f) {
                if (table.fields()[f].type == paradox::FieldType::Bcd)
                    continue;  // the other reader decodes BCD wrongly
                EXPECT_TRUE(sameValue(table.fields()[f], mine[f], other[f]))
                    << "row " << r << " field " << table.fields()[f].name << ": " << mine[f] << " vs " << other[f];
            }
        }
    }
}

// Values the other reader gets wrong, checked by hand against the bytes.
TEST(ParadoxRead, DecodesBcdTimeAndTimestampAsTheBytesSay)
{
    SKIP_WITHOUT_SHARED_DATA();
    struct Case {
        const char* table;
        size_t row;
        size_t field;
        const char* text;
    };
    const Case cases[] = {
        {"fields/bcd.db", 0, 0, "1.23"},          {"fields/bcd.db", 1, 0, "-1.23"},
        {"fields/bcd.db", 2, 0, "0.00"},          {"fields/bcd.db", 0, 1, "1"},
        {"fields/bcd.db", 1, 1, "-1"},            {"fields/bcd.db", 2, 1, "\\N"},
        {"fields/time.db", 0, 0, "01:00:01"},     {"fields/time.db", 1, 0, "\\N"},
        {"fields/timestamp.db", 0, 0, "\\N"},     {"fields/timestamp.db", 1, 0, "2020-02-01 01:00:01"},
        {"fields/date7.db", 3, 0, "\\N"},         {"fields/date7.db", 4, 1, "\\N"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " row " + std::to_string(c.row));
        paradox::TableFile table(std::string(SHARED_DIR "/data/paradox/") + c.table);
        std::ostringstream out;
        paradox::dumpTable(table, out);
        const auto rows = rowLines(out.str());
        ASSERT_LT(c.row, rows.size());
        EXPECT_EQ(splitTabs(rows[c.row]).at(c.field), c.text);
    }
}

TEST(ParadoxRead, RefusesEncryptedTablesClearly)
{
    SKIP_WITHOUT_SHARED_DATA();
    for (const char* name : {"encrypted.db", "encrypted35.db", "encryptedmemo.db"}) {
        try {
            paradox::TableFile table(std::string(SHARED_DIR "/data/paradox/encrypt/") + name);
            ADD_FAILURE() << name << " opened";
        } catch (const paradox::Error& e) {
            EXPECT_NE(std::string(e.what()).find("senha"), std::string::npos) << e.what();
        }
    }
}

class DamagedTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SHARED_DATA();
        copyFamily(SHARED_DIR "/data/paradox/db/ORDERS.DB", dir.path());
        path = dir.file("ORDERS.DB");
        bytes = slurp(path);
    }
    void writeBytes(const std::string& b) { std::ofstream(path, std::ios::binary | std::ios::trunc) << b; }
    void putU16(size_t at, uint16_t v)
    {
        bytes[at] = char(v & 0xFF);
        bytes[at + 1] = char(v >> 8);
    }
    void expectDamaged(const char* what)
    {
        writeBytes(bytes);
        try {
            paradox::TableFile table(path);
            ADD_FAILURE() << "opened: " << what;
        } catch (const paradox::Error& e) {
            EXPECT_NE(std::string(e.what()).find("ORDERS.DB"), std::string::npos) << e.what();
        }
    }

    ScratchDir dir{"damaged"};
    std::string path;
    std::string bytes;
};

TEST_F(DamagedTable, TruncatedFile)
{
    bytes.resize(bytes.size() / 2);
    expectDamaged("truncated");
}

TEST_F(DamagedTable, BlockChainThatLoops)
{
    putU16(0x800, 1);  // block 1 names itself as the next one
    expectDamaged("loop");
}

TEST_F(DamagedTable, BlockChainOutsideTheFile)
{
    putU16(0x800, 9999);
    expectDamaged("outside");
}

TEST_F(DamagedTable, HeaderCountsMoreRowsThanTheBlocksHold)
{
    bytes[6] = char(0xFF);
    bytes[7] = char(0xFF);
    expectDamaged("record count");
}

TEST_F(DamagedTable, HeaderLargerThanTheFile)
{
    putU16(2, 0xF000);
    expectDamaged("header size");
}

TEST_F(DamagedTable, RecordSizeThatDisagreesWithTheFields)
{
    putU16(0, 3);
    expectDamaged("record size");
}

TEST(DamagedBcdTable, MoreDecimalsThanDigits)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("bcd");
    copyFamily(SHARED_DIR "/data/paradox/fields/bcd.db", dir.path());
    std::string bytes = slurp(dir.file("bcd.db"));
    bytes[0x79] = char(40);  // the first field's decimals
    std::ofstream(dir.file("bcd.db"), std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_THROW(paradox::TableFile table(dir.file("bcd.db")), paradox::Error);
}

// Bytes changed at random give a table that reads or a clear error, never a
// crash or a hang. An error names the file; a table that reads gives the
// rows that lie wholly before the first changed byte as they were, and
// before any other. The damage falls anywhere in the header and the first
// block, or behind an intact header only.
TEST_F(DamagedTable, RandomDamageNeverCrashes)
{
    const std::string original = bytes;
    const auto u16 = [&](size_t at) { return size_t(uint8_t(original[at])) | size_t(uint8_t(original[at + 1])) << 8; };
    const size_t recordSize = u16(0x00);
    const size_t headerSize = u16(0x02);
    ASSERT_EQ(u16(0x0E), 1u);  // the rows of the first block come first
    const size_t rowsInFirstBlock = u16(headerSize + 4) / recordSize + 1;
    std::vector<std::string> intact;
    {
        paradox::TableFile table(path);
        std::ostringstream out;
        paradox::dumpTable(table, out);
        intact = rowLines(out.str());
    }
    ASSERT_GE(intact.size(), rowsInFirstBlock);
    std::mt19937 random(7);
    for (const auto& [from, to] : {std::pair<size_t, size_t>{0, 0x1000}, std::pair<size_t, size_t>{headerSize, headerSize + 0x1000}}) {
        for (int round = 0; round < 300; ++round) {
            bytes = original;
            for (int k = 0; k < 4; ++k)
                bytes[from + random() % (std::min(bytes.size(), to) - from)] = char(random());
            const size_t firstChange = size_t(std::mismatch(bytes.begin(), bytes.end(), original.begin()).first - bytes.begin());
            const size_t rowsBefore = firstChange < headerSize + 6
                                          ? 0
                                          : std::min(rowsInFirstBlock, (firstChange - headerSize - 6) / recordSize);
            SCOPED_TRACE("damage from byte " + std::to_string(firstChange));
            writeBytes(bytes);
            try {
                paradox::TableFile table(path);
                std::ostringstream out;
                paradox::dumpTable(table, out);
                const std::vector<std::string> rows = rowLines(out.str());
                ASSERT_GE(rows.size(), rowsBefore);
                for (size_t r = 0; r < rowsBefore; ++r)
                    ASSERT_EQ(rows[r], intact[r]) << "row " << r;
            } catch (const paradox::Error& e) {
                ASSERT_NE(std::string(e.what()).find("ORDERS.DB"), std::string::npos) << e.what();
            }
        }
    }
}

} // namespace
