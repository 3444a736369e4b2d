// The host's validity checks on new rows: defaults filled in, required
// fields, pictures and lookup tables enforced, rules that cannot be applied
// refused before anything is written.

#include "platform/paradox/error.h"
#include "platform/paradox/secondary_index.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/paradox/validity_checks.h"
#include "tests/paradox_test_support.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace test_support;
using paradox::Blank;
using paradox::Value;

std::string copied(const ScratchDir& dir, const char* table)
{
    copyFamily(std::string(SHARED_DIR "/data/paradox/") + table, dir.path());
    return dir.file(fs::path(table).filename().string());
}

void expectRefused(paradox::TableFile& table, const std::vector<Value>& row, std::vector<std::string> mentions)
{
    const std::string before = slurp(table.path());
    try {
        table.writer().insert(row);
        ADD_FAILURE() << "written";
    } catch (const paradox::Error& e) {
        for (const std::string& m : mentions)
            EXPECT_NE(std::string(e.what()).find(m), std::string::npos) << e.what();
    }
    EXPECT_EQ(slurp(table.path()), before);
}

TEST(ValidityChecks, DefaultFillsABlankRequiredField)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_default");
    paradox::TableFile table(copied(dir, "fields/logical.db"));
    const size_t before = table.rowCount();
    table.writer().insert({Blank{}});
    ASSERT_EQ(table.rowCount(), before + 1);
    EXPECT_EQ(std::get<bool>(table.value(before, 0)), true);
    table.writer().insert({false});
    EXPECT_EQ(std::get<bool>(table.value(before + 1, 0)), false);
}

TEST(ValidityChecks, RequiredFieldWithoutDefault)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_required");
    paradox::TableFile table(copied(dir, "joins/paradox-ascii.db"));
    std::vector<Value> row(table.fields().size(), Blank{});
    expectRefused(table, row, {"obrigatório", "paradox-ascii.db", table.fields()[0].name});
}

TEST(ValidityChecks, LookupTable)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_lookup");
    copied(dir, "joins/joina.db");
    paradox::TableFile table(copied(dir, "joins/joinb.db"));
    table.writer().insert({int64_t(2)});
    expectRefused(table, {int64_t(9)}, {"'9'", "Id", "joinb.db", "joina.db"});
}

TEST(ValidityChecks, Pictures)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_picture");
    paradox::TableFile table(copied(dir, "areas/ZIPCODES.DB"));
    table.writer().insert({std::string("00001"), std::string("SP"), std::string("Santos")});
    expectRefused(table, {std::string("1234A"), std::string("SP"), std::string("X")}, {"1234A", "Zip", "#####"});
    expectRefused(table, {std::string("00002"), std::string("sp"), std::string("X")}, {"'sp'", "State", "&&"});
    EXPECT_TRUE(pxdump(table.path()).status == 0);
}

TEST(ValidityChecks, RulesThatCannotBeAppliedAreRefusedBeforeWriting)
{
    SKIP_WITHOUT_SHARED_DATA();
    const std::pair<const char*, const char*> cases[] = {
        {"joins/multiple.db", "máscara"},
        {"mtdemo/FILMS.DB", "formato antigo"},
    };
    for (auto [table, why] : cases) {
        SCOPED_TRACE(table);
        ScratchDir dir("val_refused");
        paradox::TableFile t(copied(dir, table));
        std::vector<Value> row(t.fields().size(), Blank{});
        expectRefused(t, row, {why});
    }
}

// A foreign key must name a row of its parent table; a blank one need not.
TEST(ValidityChecks, ReferentialIntegrity)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_ri");
    copied(dir, "joins/primary.db");
    paradox::TableFile fk1(copied(dir, "joins/fk1.db"));
    fk1.writer().insert({Blank{}, Blank{}});
    expectRefused(fk1, {Blank{}, int64_t(5)}, {"'5'", "FK", "fk1.db", "primary.db", "integridade referencial"});
}

// A child table with two references and two maintained secondary indexes.
TEST(ValidityChecks, ReferencesAndSecondaryIndexesTogether)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("val_ri_indexes");
    copied(dir, "joins/A.db");
    copied(dir, "joins/B.db");
    const std::string path = copied(dir, "joins/C.DB");
    {
        paradox::TableFile c(path);
        c.writer().insert({int64_t(10), int64_t(2), int64_t(5)});
        c.writer().insert({int64_t(11), int64_t(3), int64_t(4)});
        expectRefused(c, {int64_t(12), int64_t(9), int64_t(5)}, {"'9'", "A.db"});
        expectRefused(c, {int64_t(12), int64_t(1), int64_t(7)}, {"'7'", "B.db"});
    }
    paradox::TableFile c(path);
    EXPECT_EQ(c.rowCount(), 5u);
    for (const char* x : {"C.X02", "C.X03"}) {
        paradox::SecondaryIndex index(dir.file(x), c);
        EXPECT_NO_THROW(index.verify(c)) << x;
        EXPECT_EQ(pxdump(dir.file(x)).status, 0) << x;
    }
}

// No shared table has a minimum or maximum: a check file with both is made
// here, in the layout the shared ones use.
TEST(ValidityChecks, MinimumAndMaximum)
{
    ScratchDir dir("val_minmax");
    paradox::createTable(dir.file("N.db"), paradox::parseSchema("K:A4*,N:I"));
    const std::string db = slurp(dir.file("N.db"));
    std::string val(0x35, '\0');
    val[0] = db[0x2E];
    val[1] = 11;
    val[2] = 1;
    std::string entry(0x1C, '\0');
    entry[0] = 1;          // field N
    entry[0x0C] = 1;       // minimum present
    entry[0x10] = 1;       // maximum present
    val += entry;
    val += std::string("\x80\x00\x00\x0A", 4);  // 10
    val += std::string("\x80\x00\x00\x14", 4);  // 20
    std::ofstream(dir.file("N.VAL"), std::ios::binary) << val;
    paradox::TableFile table(dir.file("N.db"));
    table.writer().insert({std::string("a"), int64_t(10)});
    table.writer().insert({std::string("b"), int64_t(20)});
    table.writer().insert({std::string("c"), Blank{}});
    expectRefused(table, {std::string("d"), int64_t(9)}, {"'9'", "N", "N.db", "mínimo 10"});
    expectRefused(table, {std::string("e"), int64_t(21)}, {"'21'", "máximo 20"});
    expectRefused(table, {std::string("f"), int64_t(-5)}, {"mínimo"});
}

TEST(ValidityChecks, PlainPictures)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"#####", "01310", true}, {"#####", "0131", false}, {"#####", "0131A", false}, {"&&", "SP", true},
        {"&&", "Sp", false},      {"##-##", "12-34", true}, {"##-##", "12/34", false}, {"@@!", "a1B", true},
        {"@@!", "a1b", false},    {"??", "a1", false},
    };
    for (auto [picture, value, ok] : cases)
        EXPECT_EQ(paradox::matchesPicture(picture, value), ok) << picture << " " << value;
    EXPECT_FALSE(paradox::pictureSupported("[(*3{#}) ]*3{#}-*4{#}"));
}

} // namespace
