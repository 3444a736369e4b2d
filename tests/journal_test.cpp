// A transaction over many inserts reaches the disk all at once or not at all:
// a writer killed before any of its changes to the files, or a machine that
// stops with only some of them on the disk, leaves a family that the next
// writer turns back into its state before the transaction or after it.

#include "platform/paradox/error.h"
#include "platform/os/file.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/secondary_index.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/paradox/undo_record.h"
#include "tests/paradox_test_support.h"
#include "tests/shared_data.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test_support;
using paradox::Value;

// One family and the rows a transaction adds to it.
struct Family {
    const char* name;
    const char* table;
    std::function<void(paradox::TableFile&)> run;
};

void customerRun(paradox::TableFile& table)
{
    for (int n = 0; n < 60; ++n) {
        std::vector<Value> row(10, paradox::Blank{});
        row[0] = int64_t(n % 2 ? 1000 + n : -n);  // splits the first block again and again
        row[1] = "Nome " + std::to_string(n);
        row[5] = std::string("0") + std::to_string(n % 7);
        row[8] = std::string("nota ") + std::to_string(n);
        table.writer().insert(row);
    }
}

void areaCodesRun(paradox::TableFile& table)
{
    for (int n = 0; n < 40; ++n)
        table.writer().insert({(n < 10 ? "00" : "0") + std::to_string(n), std::string("ZZ"), "CIDADE " + std::to_string(n)});
}

const Family families[] = {
    {"customer", "CUSTOMER.DB", customerRun},
    {"areacodes", "AREACODES.DB", areaCodesRun},
};

// The transaction of a family: every insert held to one commit.
void runTransaction(const Family& family, const fs::path& dir, const paradox::Env& env = paradox::Env::plain())
{
    paradox::TableFile table((dir / family.table).string(), env);
    table.beginTransaction();
    family.run(table);
    table.endTransaction();
}

// The family after the next writer's recovery, read by both readers with its
// indexes verified, is exactly one of the two states.
void expectBeforeOrAfter(const fs::path& dir, const char* table, const Files& before, const Files& after,
                         const std::string& what)
{
    const std::string path = (dir / table).string();
    {
        paradox::TableFile opened(path);
        EXPECT_NO_THROW(opened.recoverForWriting()) << what;
        EXPECT_TRUE(opened.primaryIndexAgrees()) << what;
        EXPECT_TRUE(opened.inKeyOrder()) << what;
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::string ext = e.path().extension().string();
            if (ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'x')) {
                EXPECT_NO_THROW(paradox::SecondaryIndex(e.path().string(), opened).verify(opened)) << what;
            }
        }
    }
    const Files now = filesOf(dir);
    EXPECT_TRUE(now == before || now == after) << what;
    EXPECT_EQ(pxdump(path).status, 0) << what;
}

struct Recorded {
    os::Event::Kind kind;
    std::string path;
    off_t at;
    std::string data;
    std::string target;
};

class WholeRuns : public ::testing::TestWithParam<Family> {};

// The writer is killed before each of its changes in turn.
TEST_P(WholeRuns, AKillBeforeAnyChangeLeavesBeforeOrAfter)
{
    SKIP_WITHOUT_SHARED_DATA();
    const Family& family = GetParam();
    ScratchDir dir(std::string("journal_kill_") + family.name);
    copyFamily(std::string(SHARED_DIR "/data/paradox/db/") + family.table, dir.path(), true);
    const Files before = filesOf(dir.path());
    runTransaction(family, dir.path());
    const Files after = filesOf(dir.path());
    ASSERT_NE(before, after);
    bool finished = false;
    for (int k = 1; !finished; ++k) {
        writeFiles(dir.path(), before);
        finished = finishedUnlessKilledAt(k, [&](const paradox::Env& env) { runTransaction(family, dir.path(), env); });
        expectBeforeOrAfter(dir.path(), family.table, before, after, "killed at change " + std::to_string(k));
        ASSERT_LT(k, 200);
    }
}

// What a disk may hold after a power cut: every change made durable by a
// flush before the cut, any of the others, the last of them maybe torn.
Files diskAfterCut(const std::vector<Recorded>& recorded, const Files& start, size_t cut, std::mt19937& random)
{
    using Kind = os::Event::Kind;
    auto name = [](const std::string& path) { return fs::path(path).filename().string(); };
    std::vector<bool> durable(cut, false);
    for (size_t i = 0; i < cut; ++i) {
        const Recorded& e = recorded[i];
        for (size_t j = i + 1; j < cut && !durable[i]; ++j) {
            const Recorded& f = recorded[j];
            if (e.kind == Kind::Write || e.kind == Kind::Truncate)
                durable[i] = f.kind == Kind::Sync && f.path == e.path;
            else if (e.kind == Kind::Rename || e.kind == Kind::Remove)
                durable[i] = f.kind == Kind::SyncFolder;
        }
    }
    Files files = start;
    for (size_t i = 0; i < cut; ++i) {
        const Recorded& e = recorded[i];
        if (!durable[i] && random() % 2)
            continue;
        switch (e.kind) {
        case Kind::Write: {
            std::string data = e.data;
            if (!durable[i] && random() % 3 == 0)
                data.resize(random() % (data.size() + 1) / 512 * 512);  // torn at a sector
            std::string& f = files[name(e.path)];
            if (f.size() < size_t(e.at) + data.size())
                f.resize(size_t(e.at) + data.size(), '\0');
            f.replace(size_t(e.at), data.size(), data);
            break;
        }
        case Kind::Truncate:
            files[name(e.path)].resize(size_t(e.at), '\0');
            break;
        case Kind::Rename:
            if (files.count(name(e.path))) {
                files[name(e.target)] = files[name(e.path)];
                files.erase(name(e.path));
            }
            break;
        case Kind::Remove:
            files.erase(name(e.path));
            break;
        default:
            break;
        }
    }
    return files;
}

TEST_P(WholeRuns, APowerCutAtAnyPointLeavesBeforeOrAfter)
{
    SKIP_WITHOUT_SHARED_DATA();
    const Family& family = GetParam();
    ScratchDir dir(std::string("journal_power_") + family.name);
    copyFamily(std::string(SHARED_DIR "/data/paradox/db/") + family.table, dir.path(), true);
    const Files before = filesOf(dir.path());
    std::vector<Recorded> recorded;
    paradox::Env recording;
    recording.files.observe = [&recorded](const os::Event& e) {
        recorded.push_back({e.kind, e.path, e.at, std::string(reinterpret_cast<const char*>(e.data), e.size),
                            e.target ? *e.target : std::string()});
    };
    runTransaction(family, dir.path(), recording);
    const Files after = filesOf(dir.path());
    const auto flushes = std::count_if(recorded.begin(), recorded.end(), [](const Recorded& e) {
        return e.kind == os::Event::Kind::Sync || e.kind == os::Event::Kind::SyncFolder;
    });
    EXPECT_LE(flushes, 8) << "a transaction flushes a few times, not per row";
    std::mt19937 random(1);
    for (size_t cut = 0; cut <= recorded.size(); ++cut) {
        for (int trial = 0; trial < 12; ++trial) {
            const Files disk = diskAfterCut(recorded, before, cut, random);
            writeFiles(dir.path(), disk);
            expectBeforeOrAfter(dir.path(), family.table, before, after,
                                "cut after " + std::to_string(cut) + " of " + std::to_string(recorded.size())
                                    + ", trial " + std::to_string(trial));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Families, WholeRuns, ::testing::ValuesIn(families),
                         test_support::CaseName());

// A statement that fails inside a transaction takes back its own changes
// only; the rows before it reach the disk at the commit.
TEST(Transactions, AFailedInsertKeepsTheRowsBeforeIt)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("journal_statement");
    copyFamily(SHARED_DIR "/data/paradox/db/AREACODES.DB", dir.path(), true);
    const std::string path = dir.file("AREACODES.DB");
    const size_t rows = paradox::TableFile(path).rowCount();
    {
        paradox::TableFile table(path);
        table.beginTransaction();
        table.writer().insert({std::string("991"), std::string("ZZ"), std::string("Um")});
        // Text that the named index orders differently with and without case.
        EXPECT_THROW(table.writer().insert({std::string("992"), std::string("Ab"), std::string("x")}), paradox::Error);
        table.writer().insert({std::string("993"), std::string("AB"), std::string("Dois")});
        EXPECT_EQ(table.rowCount(), rows + 2);
        EXPECT_EQ(paradox::TableFile(path).rowCount(), rows) << "nothing on the disk before the commit";
        table.endTransaction();
    }
    paradox::TableFile table(path);
    EXPECT_EQ(table.rowCount(), rows + 2);
    EXPECT_NO_THROW(paradox::SecondaryIndex(dir.file("AREACODES.XG0"), table).verify(table));
    EXPECT_FALSE(fs::exists(paradox::Journal::pathFor(path)));
}

// A journal cut short, or damaged, was never followed by a change to the
// files: it is dropped and the files stay as they are.
TEST(Transactions, AJournalWithoutItsSealIsDropped)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("journal_unsealed");
    copyFamily(SHARED_DIR "/data/paradox/db/AREACODES.DB", dir.path(), true);
    const std::string path = dir.file("AREACODES.DB");
    const Files before = filesOf(dir.path());
    std::vector<uint8_t> journal = paradox::writeJournal({{'F', "AREACODES.DB", 0, 0, {}}});
    for (const size_t keep : {size_t(0), size_t(5), journal.size() - 1}) {
        writeFiles(dir.path(), before);
        std::FILE* f = std::fopen(paradox::Journal::pathFor(path).c_str(), "wb");
        std::fwrite(journal.data(), 1, keep, f);
        std::fclose(f);
        paradox::TableFile table(path);
        EXPECT_FALSE(table.recoverForWriting());
        EXPECT_EQ(filesOf(dir.path()), before) << keep;
    }
}

// Undo: the family goes back byte for byte; a family written since is left
// alone; an undo killed before any of its changes is finished by the next
// writer.
TEST(Undo, PutsTheFamilyBackOrRefuses)
{
    SKIP_WITHOUT_SHARED_DATA();
    ScratchDir dir("journal_undo");
    copyFamily(SHARED_DIR "/data/paradox/db/CUSTOMER.DB", dir.path(), true);
    const std::string path = dir.file("CUSTOMER.DB");
    const Files before = filesOf(dir.path());
    std::vector<uint8_t> record;
    {
        paradox::TableFile table(path);
        table.beginTransaction();
        customerRun(table);
        table.endTransaction();
        record = paradox::undoRecord(path, table.journal().lastCommitted());
    }
    const Files after = filesOf(dir.path());
    {
        paradox::TableFile opened(path);
        EXPECT_EQ(paradox::rowsUndoRemoves(opened, record).size(), 60u);
    }
    EXPECT_EQ(paradox::checkUndo(path, record), paradox::UndoCheck::Ready);
    bool finished = false;
    for (int k = 1; !finished; ++k) {
        writeFiles(dir.path(), after);
        finished = finishedUnlessKilledAt(k, [&](const paradox::Env& env) { paradox::undo(path, record, nullptr, env); });
        expectBeforeOrAfter(dir.path(), "CUSTOMER.DB", before, after, "undo killed at change " + std::to_string(k));
        ASSERT_LT(k, 200);
    }
    EXPECT_EQ(filesOf(dir.path()), before);

    writeFiles(dir.path(), after);
    {
        std::vector<Value> row(10, paradox::Blank{});
        row[1] = std::string("Outro programa");
        paradox::TableFile(path).writer().insert(row);
    }
    const Files changed = filesOf(dir.path());
    EXPECT_EQ(paradox::checkUndo(path, record), paradox::UndoCheck::Changed);
    EXPECT_EQ(paradox::undo(path, record), paradox::UndoCheck::Changed);
    EXPECT_EQ(filesOf(dir.path()), changed);
    record[20] ^= 1;
    EXPECT_EQ(paradox::checkUndo(path, record), paradox::UndoCheck::NotARecord);
}

} // namespace
