#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/header.h"
#include "platform/paradox/secondary_index.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "tests/paradox_test_support.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace {

using namespace test_support;
using paradox::Value;

const char* const clientSchema =
    "Codigo:A6*,Data:D,Nome:A60,Endereco:A60,endNumero:A10,EndComplemento:A60,Bairro:A40,Cidade:A40,Estado:A2,"
    "CEP:A10,CGC:A18,Insc:A20,TagFisica:L,Telefone:A20,eMail:A60,lkUserInc:I";

std::string code(int n)
{
    std::string s = std::to_string(n);
    return std::string(6 - std::min<size_t>(6, s.size()), '0') + s;
}

std::vector<Value> clientRow(int n)
{
    std::vector<Value> row(16, paradox::Blank{});
    row[0] = code(n);
    row[1] = paradox::dateFromYmd(2026, 12, 1 + n % 28);
    row[2] = "Cliente " + std::to_string(n) + " São João";
    row[7] = std::string("Venâncio Aires");
    row[10] = "11.444.777/0001-" + std::to_string(10 + n % 90);
    row[12] = n % 2 == 0;
    row[15] = int64_t(-1);
    return row;
}

std::string dumpOf(paradox::TableFile& t)
{
    std::ostringstream out;
    paradox::dumpTable(t, out);
    return out.str();
}

struct InsertCase {
    const char* name;
    bool keyed;
    int blockKb;
};

class RandomInserts : public ::testing::TestWithParam<InsertCase> {};

// Thousands of rows in random key order: the other reader sees every row
// with its values, in key order, and the primary index agrees with the blocks.
TEST_P(RandomInserts, EveryRowReadsBackThroughTheOtherReader)
{
    const InsertCase c = GetParam();
    ScratchDir dir(std::string("random_") + c.name);
    paradox::TableLayout layout = paradox::parseSchema(clientSchema);
    if (!c.keyed)
        layout.fields[0].key = false;
    layout.blockSizeKb = c.blockKb;
    const std::string path = dir.file("TabCli.db");
    paradox::createTable(path, layout);

    std::vector<int> numbers(3000);
    for (size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = int(i) * 7 + 1;
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(42));
    {
        paradox::TableFile table(path);
        for (int n : numbers)
            table.writer().insert(clientRow(n));
        EXPECT_TRUE(table.primaryIndexAgrees());
    }
    paradox::TableFile reopened(path);
    EXPECT_EQ(reopened.rowCount(), numbers.size());
    EXPECT_TRUE(reopened.primaryIndexAgrees());
    if (c.keyed) {
        EXPECT_TRUE(reopened.inKeyOrder());
    }

    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0);
    EXPECT_EQ(rowLines(theirs.out), rowLines(dumpOf(reopened)));
    std::vector<int> expected = numbers;
    if (c.keyed)
        std::sort(expected.begin(), expected.end());
    const auto rows = rowLines(theirs.out);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); i += 97) {
        EXPECT_TRUE(rows[i].starts_with(code(expected[i]) + "\t")) << rows[i];
        EXPECT_NE(rows[i].find("Cliente " + std::to_string(expected[i]) + " São João"), std::string::npos);
    }
    if (c.keyed) {
        EXPECT_EQ(pxdump(path, dir.file("TabCli.PX")).status, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, RandomInserts,
                         ::testing::Values(InsertCase{"keyed2k", true, 2}, InsertCase{"keyed4k", true, 4},
                                           InsertCase{"unkeyed2k", false, 2}, InsertCase{"unkeyed4k", false, 4}),
                         test_support::CaseName());

struct RealTable {
    const char* path;
    std::vector<Value> (*row)(int);
};

std::vector<Value> ordersRow(int n)
{
    std::vector<Value> row(11, paradox::Blank{});
    row[0] = double(900000 + n);
    row[1] = double(1221);
    row[2] = paradox::dateFromYmd(2026, 12, 10);
    return row;
}

// The table sorts as ANSII850: keys of digits and capitals go in.
std::vector<Value> serverRow(int n)
{
    return {std::string("Z"), "TESSALY" + std::to_string(n), std::string("LIB"), std::string("HANDLER")};
}

// Rows added to copies of tables the host engine wrote keep them readable
// by both readers, the old rows included.
TEST(ParadoxWrite, RealKeyedTablesTakeNewRows)
{
    SKIP_WITHOUT_SHARED_DATA();
    const RealTable tables[] = {{"db/ORDERS.DB", ordersRow}, {"db/SERVER.DB", serverRow}};
    for (const RealTable& t : tables) {
        SCOPED_TRACE(t.path);
        ScratchDir dir("real");
        copyFamily(std::string(SHARED_DIR "/data/paradox/") + t.path, dir.path());
        const std::string path = dir.file(fs::path(t.path).filename().string());
        const auto before = rowLines(pxdump(path).out);
        {
            paradox::TableFile table(path);
            for (int n = 0; n < 300; ++n)
                table.writer().insert(t.row(n));
            EXPECT_TRUE(table.primaryIndexAgrees());
            EXPECT_TRUE(table.inKeyOrder());
        }
        const CommandResult after = pxdump(path);
        ASSERT_EQ(after.status, 0);
        const auto rows = rowLines(after.out);
        EXPECT_EQ(rows.size(), before.size() + 300);
        const std::multiset<std::string> all(rows.begin(), rows.end());
        for (const std::string& old : before)
            EXPECT_EQ(all.count(old), 1u) << old;
    }
}

TEST(ParadoxWrite, RefusesKeysItCannotPlaceUnderANationalSortOrder)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("server");
    copyFamily(SHARED_DIR "/data/paradox/db/SERVER.DB", dir.path());
    const std::string path = dir.file("SERVER.DB");
    const std::string bytes = slurp(path);
    paradox::TableFile table(path);
    try {
        table.writer().insert({std::string("G"), std::string("/mais"), std::string("L"), std::string("H")});
        FAIL();
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find("ANSII850"), std::string::npos) << e.what();
    }
    EXPECT_EQ(slurp(path), bytes);
}

TEST(ParadoxWrite, CustomerTableWithItsMemoFile)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("customer");
    copyFamily(SHARED_DIR "/data/paradox/db/CUSTOMER.DB", dir.path(), false);
    const std::string path = dir.file("CUSTOMER.DB");
    const auto before = rowLines(pxdump(path).out);
    {
        paradox::TableFile table(path);
        for (int n = 0; n < 50; ++n) {
            std::vector<Value> row(10, paradox::Blank{});
            row[1] = "Nome " + std::to_string(n);
            row[8] = std::string("curto");
            row[9] = paradox::dateFromYmd(2026, 12, 10);
            table.writer().insert(row);
        }
        EXPECT_EQ(table.header().autoIncrement, 94u);  // 44 handed out before
    }
    const auto rows = rowLines(pxdump(path).out);
    ASSERT_EQ(rows.size(), before.size() + 50);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), rows.begin()));
    EXPECT_TRUE(rows.back().starts_with("94\tNome 49\t")) << rows.back();
}

TEST(ParadoxWrite, SecondaryIndexFilesReadButTakeNoRows)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("x06");
    copyFamily(SHARED_DIR "/data/paradox/db/CUSTOMER.DB", dir.path(), true);
    paradox::TableFile index(dir.file("CUSTOMER.X06"));
    EXPECT_EQ(index.rowCount(), 20u);
    std::vector<Value> row(index.fields().size(), paradox::Blank{});
    EXPECT_THROW(index.writer().insert(row), paradox::Error);
}

// Every maintained secondary index lists every row once, in key order,
// naming the block that holds it, also for rows a block split moved.
TEST(ParadoxWrite, MaintainedSecondaryIndexFollowsEveryInsert)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("customer_x06");
    copyFamily(SHARED_DIR "/data/paradox/db/CUSTOMER.DB", dir.path(), true);
    const std::string path = dir.file("CUSTOMER.DB");
    const uint8_t xStampBefore = uint8_t(slurp(dir.file("CUSTOMER.X06"))[0x2D]);
    {
        paradox::TableFile table(path);
        for (int n = 0; n < 120; ++n) {
            std::vector<Value> row(10, paradox::Blank{});
            // Keys below the existing ones split the first block again and again.
            row[0] = int64_t(n % 2 ? 1000 + n : -n);
            row[1] = "Nome " + std::to_string(n);
            row[5] = n % 3 ? std::string("0") + std::to_string(n % 7) : std::string();  // City
            table.writer().insert(row);
        }
    }
    paradox::TableFile table(path);
    EXPECT_EQ(table.rowCount(), 140u);
    EXPECT_TRUE(table.inKeyOrder());
    paradox::SecondaryIndex index(dir.file("CUSTOMER.X06"), table);
    EXPECT_NO_THROW(index.verify(table));
    paradox::TableFile x06(dir.file("CUSTOMER.X06"));
    EXPECT_TRUE(x06.primaryIndexAgrees());
    EXPECT_EQ(uint8_t(slurp(dir.file("CUSTOMER.X06"))[0x2D]) != xStampBefore, true);
    const CommandResult dump = pxdump(dir.file("CUSTOMER.X06"));
    ASSERT_EQ(dump.status, 0);
    EXPECT_EQ(rowLines(dump.out).size(), 140u);
    EXPECT_EQ(pxdump(path, dir.file("CUSTOMER.PX")).status, 0);
}

TEST(ParadoxWrite, StaleSecondaryIndexIsRefused)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("customer_stale");
    copyFamily(SHARED_DIR "/data/paradox/db/CUSTOMER.DB", dir.path(), true);
    const std::string path = dir.file("CUSTOMER.DB");
    {
        // Rows added while the index is put aside leave it behind.
        fs::rename(dir.file("CUSTOMER.X06"), dir.file("aside.X06"));
        paradox::TableFile table(path);
        std::vector<Value> row(10, paradox::Blank{});
        row[1] = std::string("Sem índice");
        table.writer().insert(row);
        fs::rename(dir.file("aside.X06"), dir.file("CUSTOMER.X06"));
    }
    const std::string bytes = slurp(path);
    paradox::TableFile table(path);
    std::vector<Value> row(10, paradox::Blank{});
    row[1] = std::string("X");
    try {
        table.writer().insert(row);
        FAIL();
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find("CUSTOMER.X06"), std::string::npos) << e.what();
    }
    EXPECT_EQ(slurp(path), bytes);
}

// A named index over text: entries go in where comparing with and without
// regard to case agree, and nowhere else.
TEST(ParadoxWrite, CompositeTextIndex)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("areacodes");
    copyFamily(SHARED_DIR "/data/paradox/db/AREACODES.DB", dir.path(), true);
    const std::string path = dir.file("AREACODES.DB");
    {
        paradox::TableFile table(path);
        table.writer().insert({std::string("999"), std::string("ZZ"), std::string("Cidade")});
        table.writer().insert({std::string("998"), std::string("AB"), std::string("Outra")});
        const std::string bytes = slurp(dir.file("AREACODES.XG0")) + slurp(path);
        try {
            table.writer().insert({std::string("997"), std::string("Ab"), std::string("x")});
            ADD_FAILURE() << "written";
        } catch (const paradox::Error& e) {
            EXPECT_NE(std::string(e.what()).find("AREACODES.XG0"), std::string::npos) << e.what();
        }
        EXPECT_EQ(slurp(dir.file("AREACODES.XG0")) + slurp(path), bytes);
    }
    paradox::TableFile table(path);
    paradox::SecondaryIndex index(dir.file("AREACODES.XG0"), table);
    EXPECT_NO_THROW(index.verify(table));
    const CommandResult dump = pxdump(dir.file("AREACODES.XG0"));
    ASSERT_EQ(dump.status, 0);
    EXPECT_EQ(rowLines(dump.out).size(), 372u);
}

// A row the table refuses leaves every file of it byte for byte as it was,
// and the error names the table, the column and the value.
TEST(ParadoxWrite, RefusedRowsChangeNothing)
{
    ScratchDir dir("refused");
    paradox::createTable(dir.file("TabCli.db"), paradox::parseSchema(clientSchema));
    paradox::TableFile table(dir.file("TabCli.db"));
    for (int n = 1; n <= 20; ++n)
        table.writer().insert(clientRow(n));
    const std::string db = slurp(dir.file("TabCli.db"));
    const std::string px = slurp(dir.file("TabCli.PX"));

    struct Case {
        const char* name;
        size_t field;
        Value value;
        std::vector<const char*> mentions;
    };
    const Case cases[] = {
        {"duplicate key", 0, std::string("000005"), {"TabCli.db", "Codigo", "000005"}},
        {"value too long", 8, std::string("SPX"), {"TabCli.db", "Estado", "SPX"}},
        {"character outside the code page", 2, std::string("中文"), {"TabCli.db", "Nome", "中文", "1252"}},
        {"wrong kind of value", 1, std::string("hoje"), {"TabCli.db", "Data", "hoje"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto row = clientRow(100);
        row[c.field] = c.value;
        try {
            table.writer().insert(row);
            ADD_FAILURE() << "accepted";
        } catch (const paradox::Error& e) {
            for (const char* m : c.mentions)
                EXPECT_NE(std::string(e.what()).find(m), std::string::npos) << e.what();
        }
        EXPECT_EQ(slurp(dir.file("TabCli.db")), db);
        EXPECT_EQ(slurp(dir.file("TabCli.PX")), px);
    }
}

TEST(ParadoxWrite, ChangeCountersMoveWithEveryInsert)
{
    ScratchDir dir("counters");
    paradox::createTable(dir.file("T.db"), paradox::parseSchema("K:A6*,V:I"));
    paradox::TableFile table(dir.file("T.db"));
    const auto counter = [&](const char* file, size_t at) { return uint8_t(slurp(dir.file(file))[at]); };
    const uint8_t db = counter("T.db", 0x2D);
    const uint8_t px = counter("T.PX", 0x2C);
    for (int n = 1; n <= 3; ++n)
        table.writer().insert({code(n), int64_t(n)});
    EXPECT_EQ(uint8_t(counter("T.db", 0x2D) - db), 3);
    EXPECT_EQ(uint8_t(counter("T.PX", 0x2C) - px), 3);
    EXPECT_EQ(counter("T.db", 0x2E), 1);  // the structure stamp stays
}

TEST(ParadoxWrite, SchemasAreCheckedBeforeAnyFileIsMade)
{
    ScratchDir dir("schemas");
    for (const char* bad : {"", "Codigo", "Codigo:Q", "Codigo:A", "Codigo:A300", "Nome:A10,Codigo:A6*", "Data:D4"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(paradox::createTable(dir.file("bad.db"), paradox::parseSchema(bad)), paradox::Error);
        EXPECT_FALSE(fs::exists(dir.file("bad.db")));
    }
    paradox::createTable(dir.file("ok.db"), paradox::parseSchema("A:A1*,B:D,C:S,D:I,E:$,F:N,G:L,H:T,I:@,J:+,K:#2,L:Y3"));
    EXPECT_THROW(paradox::createTable(dir.file("ok.db"), paradox::parseSchema("A:A1")), paradox::Error);
    const CommandResult dump = pxdump(dir.file("ok.db"));
    EXPECT_EQ(dump.status, 0);
    EXPECT_NE(dump.out.find("# field 9: J + 4"), std::string::npos);
}

// Tables that an earlier version of this program left when it was stopped
// in the middle of an insert: it wrote without a journal, the row first at
// the end of the chain, then the header's count, then the row in its place
// and the copy at the end away. No journal tells of them; the next insert
// puts them right before it writes.
struct HalfWritten {
    const char* name;
    std::vector<int> inBlock;  // the rows of the only data block, in order
    uint32_t countInHeader;
    std::vector<int> expected;  // the rows after one more insert (row 5)
};

class EarlierVersionStopped : public ::testing::TestWithParam<HalfWritten> {};

TEST_P(EarlierVersionStopped, NextInsertRepairs)
{
    const HalfWritten c = GetParam();
    ScratchDir dir(std::string("half_written_") + c.name);
    auto rowOf = [](int n) { return std::vector<Value>{code(n), "valor " + std::to_string(n)}; };
    // The bytes of each row as the engine stores them, from a table that
    // holds rows 1 to 4 in one block.
    paradox::TableLayout layout = paradox::parseSchema("K:A6*,V:A40");
    layout.blockSizeKb = 1;
    const std::string whole = dir.file("W.db");
    paradox::createTable(whole, layout);
    {
        paradox::TableFile table(whole);
        for (int n = 1; n <= 4; ++n)
            table.writer().insert(rowOf(n));
    }
    std::string bytes = slurp(whole);
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t recordSize = paradox::bytes::u16le(raw + paradox::offsets::recordSize);
    const size_t blockAt = paradox::bytes::u16le(raw + paradox::offsets::headerSize);
    auto recordOf = [&](int n) { return bytes.substr(blockAt + 6 + size_t(n - 1) * recordSize, recordSize); };

    // The half-written table: rows 1 and 3 acknowledged, then the stop.
    const std::string path = dir.file("T.db");
    paradox::createTable(path, layout);
    {
        paradox::TableFile table(path);
        table.writer().insert(rowOf(1));
        table.writer().insert(rowOf(3));
    }
    std::string half = slurp(path);
    for (size_t i = 0; i < c.inBlock.size(); ++i)
        half.replace(blockAt + 6 + i * recordSize, recordSize, recordOf(c.inBlock[i]));
    auto* p = reinterpret_cast<uint8_t*>(half.data());
    paradox::bytes::putU16le(p + blockAt + 4, uint16_t((c.inBlock.size() - 1) * recordSize));
    paradox::bytes::putU32le(p + paradox::offsets::recordCount, c.countInHeader);
    writeFiles(dir.path(), {{"T.db", half}, {"T.PX", slurp(dir.file("T.PX"))}});

    paradox::TableFile table(path);
    table.writer().insert(rowOf(5));
    EXPECT_TRUE(table.inKeyOrder());
    EXPECT_TRUE(table.primaryIndexAgrees());
    std::vector<std::string> expected;
    for (int n : c.expected)
        expected.push_back(code(n) + "\tvalor " + std::to_string(n));
    EXPECT_EQ(rowLines(dumpOf(table)), expected);
    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0) << theirs.out;
    EXPECT_EQ(rowLines(theirs.out), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EarlierVersionStopped,
    ::testing::Values(
        // The row at the end, the header's count not yet written: the insert
        // never returned, the row goes.
        HalfWritten{"beforeTheCount", {1, 3, 2}, 2, {1, 3, 5}},
        // Counted but still at the end: it is moved to its place.
        HalfWritten{"beforeItsPlace", {1, 3, 2}, 3, {1, 2, 3, 5}},
        // In its place, its copy still at the end: the copy goes.
        HalfWritten{"copyLeftAtTheEnd", {1, 2, 3, 2}, 3, {1, 2, 3, 5}}),
    test_support::CaseName());

} // namespace
