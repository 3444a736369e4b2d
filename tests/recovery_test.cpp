// What a commit cut short left is played back only by a writer, only onto
// the state that commit could have left, and only inside the table's own
// family; anything else is set aside and the table refused for writing.
// A commit that fails puts the files back itself, and no open waits for ever.

#include "platform/paradox/error.h"
#include "platform/os/file.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/paradox/undo_record.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test_support;
using paradox::Value;

std::string key(int n)
{
    std::string s = std::to_string(n);
    return std::string(6 - s.size(), '0') + s;
}

std::vector<Value> row(int n) { return {key(n), "valor " + std::to_string(n)}; }

// A run: rows from..from+count-1 in one transaction.
void run(const std::string& path, int from, int count = 5, const paradox::Env& env = paradox::Env::plain())
{
    paradox::TableFile table(path, env);
    table.beginTransaction();
    for (int n = from; n < from + count; ++n)
        table.writer().insert(row(n));
    table.endTransaction();
}

size_t rowsOf(const std::string& path) { return paradox::TableFile(path).rowCount(); }

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A keyed table of 30 rows, with 1 KB blocks so that a run touches several.
class Recovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        paradox::TableLayout layout = paradox::parseSchema("K:A6*,V:A40");
        layout.blockSizeKb = 1;
        paradox::createTable(path, layout);
        run(path, 1, 30);
        before = filesOf(dir.path());
    }
    // A run killed at the k-th change from killAt on, until one is killed
    // with its journal in place; the files are then as it left them.
    void leaveJournal(int killAt = 1)
    {
        for (int k = killAt; k < 100; ++k) {
            writeFiles(dir.path(), before);
            const bool finished = finishedUnlessKilledAt(k, [&](const paradox::Env& env) { run(path, 100, 5, env); });
            ASSERT_FALSE(finished) << "no change left to be killed at";
            if (exists(journal))
                return;
        }
        FAIL() << "no journal left";
    }
    // The error a writer meets, empty when it wrote.
    std::string writeError()
    {
        try {
            paradox::TableFile table(path);
            table.writer().insert(row(500));
        } catch (const paradox::Error& e) {
            return e.what();
        }
        return {};
    }

    ScratchDir dir{"recovery"};
    std::string path = dir.file("T.db");
    std::string journal = paradox::Journal::pathFor(path);
    std::string aside = paradox::Journal::setAsidePathFor(path);
    Files before;
};

// Only a writer plays a journal back; a reader reads the table as before
// the commit cut short and changes nothing.
TEST_F(Recovery, OnlyAWriterPlaysBackAndReadersSeeTheStateBefore)
{
    for (int killAt : {5, 7, 9}) {
        SCOPED_TRACE("killed from change " + std::to_string(killAt));
        leaveJournal(killAt);
        const Files left = filesOf(dir.path());
        {
            paradox::TableFile reader(path);
            EXPECT_EQ(reader.rowCount(), 30u);
            EXPECT_TRUE(reader.primaryIndexAgrees());
        }
        EXPECT_EQ(filesOf(dir.path()), left) << "a reader wrote";
        EXPECT_EQ(writeError(), "");
        EXPECT_FALSE(exists(journal));
        EXPECT_EQ(rowsOf(path), 31u);
    }
}

// The host edits a row after a crash: the journal no longer describes the
// files, so it is set aside and the edit stays; the table is refused for
// writing until the set-aside journal is taken away.
TEST_F(Recovery, AnEditAfterTheCrashIsNeverRewound)
{
    leaveJournal(5);
    paradox::TableFile opened(path);
    const size_t firstValue = size_t(opened.header().headerSize) + 6 + 6;
    std::string table = slurp(path);
    ASSERT_EQ(table.substr(firstValue, 7), "valor 1");
    table[firstValue] = 'V';
    writeFiles(dir.path(), [&] {
        Files f = filesOf(dir.path());
        f["T.db"] = table;
        return f;
    }());
    const Files edited = filesOf(dir.path());

    const std::string refused = writeError();
    EXPECT_NE(refused.find("gravação interrompida que não foi desfeita"), std::string::npos) << refused;
    EXPECT_NE(refused.find(aside), std::string::npos) << refused;
    EXPECT_FALSE(exists(journal));
    EXPECT_TRUE(exists(aside));
    Files now = filesOf(dir.path());
    EXPECT_EQ(now["T.db"], edited.at("T.db"));
    EXPECT_EQ(now["T.PX"], edited.at("T.PX"));
    EXPECT_NE(writeError(), "") << "written while a journal is set aside";
    EXPECT_EQ(filesOf(dir.path()), now);
    EXPECT_EQ(paradox::TableFile(path).rowCount(), 30u) << "a reader reads the files as they are";

    fs::remove(aside);
    EXPECT_EQ(writeError(), "");
    EXPECT_EQ(slurp(path).substr(firstValue, 7), "Valor 1");
}

// A journal may only name the table's own family, as regular files, with
// sizes its commit could have made; anything else is set aside unplayed.
struct BadJournal {
    const char* name;
    std::function<std::vector<paradox::JournalRecord>(const std::string& dir)> records;
};

std::vector<paradox::JournalRecord> sizeOnly(const std::string& name, uint64_t size)
{
    return {{'F', name, size, size, {}}};
}

const BadJournal badJournals[] = {
    {"host_settings", [](const std::string&) { return sizeOnly("pelko.ini", 0); }},
    {"other_table", [](const std::string&) { return sizeOnly("TabEst1.db", 0); }},
    {"nul_in_name", [](const std::string&) { return sizeOnly(std::string("T.db\0x", 6), 0); }},
    {"unknown_extension", [](const std::string&) { return sizeOnly("T.VAL", 0); }},
    {"huge_size",
     [](const std::string& dir) {
         const uint64_t size = fs::file_size(dir + "/T.db");
         return std::vector<paradox::JournalRecord>{{'F', "T.db", uint64_t(1) << 42, size, {}}};
     }},
    {"link_out_of_the_folder", [](const std::string&) { return sizeOnly("T.PX", 0); }},
};

class BadJournals : public Recovery, public ::testing::WithParamInterface<BadJournal> {};

TEST_P(BadJournals, AreSetAsideUnplayed)
{
    ScratchDir elsewhere("recovery_elsewhere");
    const std::string outside = elsewhere.file("outside");
    for (const std::string& file : {outside, dir.file("pelko.ini"), dir.file("TabEst1.db"), dir.file("T.VAL")})
        writeFiles(fs::path(file).parent_path(), [&] {
            Files f = filesOf(fs::path(file).parent_path());
            f[fs::path(file).filename().string()] = "conteúdo";
            return f;
        }());
    if (std::string(GetParam().name) == "link_out_of_the_folder") {
        fs::remove(dir.file("T.PX"));
        fs::create_symlink(outside, dir.file("T.PX"));
    }
    const Files placed = filesOf(dir.path());
    const auto bytes = paradox::writeJournal(GetParam().records(dir.path().string()));
    writeFiles(dir.path(), [&] {
        Files f = placed;
        f[fs::path(journal).filename().string()] = std::string(bytes.begin(), bytes.end());
        return f;
    }());
    if (std::string(GetParam().name) == "link_out_of_the_folder") {
        fs::remove(dir.file("T.PX"));
        fs::create_symlink(outside, dir.file("T.PX"));
    }
    {
        paradox::TableFile table(path);
        EXPECT_THROW(table.recoverForWriting(), paradox::Error);
    }
    EXPECT_FALSE(exists(journal));
    EXPECT_TRUE(exists(aside));
    Files now = filesOf(dir.path());
    now.erase(fs::path(aside).filename().string());
    EXPECT_EQ(now, placed);
    EXPECT_EQ(slurp(outside), "conteúdo");
}

INSTANTIATE_TEST_SUITE_P(Journals, BadJournals, ::testing::ValuesIn(badJournals),
                         test_support::CaseName());

// A FIFO or an enormous sparse file in the journal's place is set aside
// without being waited on or read.
TEST_F(Recovery, NoWaitOnAFifoNoReadOfAHugeJournal)
{
    ::alarm(60);  // a hang ends the test
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "fifo" : "sparse");
        if (fifo) {
            ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
        } else {
            const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::ftruncate(fd, off_t(40) << 30), 0);
            ::close(fd);
        }
        EXPECT_EQ(rowsOf(path), 30u);
        EXPECT_NE(writeError(), "");
        EXPECT_TRUE(exists(aside));
        EXPECT_EQ(slurp(path), before.at("T.db"));
        fs::remove(aside);
    }
    ::alarm(0);
}

// Every change of a commit failing in turn: the commit reports the failure
// and the files are as before, with no journal left. When the rollback
// fails too, the message says that the journal stays, and the next writer
// plays it back.
TEST_F(Recovery, AFailedCommitRollsItselfBack)
{
    int failAt = 0;
    int changes = 0;
    bool failFromThereOn = false;
    paradox::Env failing;
    failing.files.inject = [&](const os::Event& e) -> int {
        if (e.kind == os::Event::Kind::CreateUnnamed)
            return 0;
        ++changes;
        return changes == failAt || (failFromThereOn && changes > failAt) ? EIO : 0;
    };
    int total = 0;
    for (failAt = 1;; ++failAt) {
        SCOPED_TRACE("change " + std::to_string(failAt) + " fails");
        writeFiles(dir.path(), before);
        changes = 0;
        failFromThereOn = false;
        try {
            run(path, 100, 5, failing);
            total = changes;
            break;
        } catch (const paradox::Error& e) {
            EXPECT_EQ(std::string(e.what()).find("não pôde ser desfeita"), std::string::npos) << e.what();
        }
        EXPECT_EQ(filesOf(dir.path()), before);
        ASSERT_LT(failAt, 100);
    }
    EXPECT_GT(total, 6);

    // The first change to a table file, after the journal is in place.
    writeFiles(dir.path(), before);
    changes = 0;
    failAt = 5;
    failFromThereOn = true;
    try {
        run(path, 100, 5, failing);
        ADD_FAILURE() << "committed";
    } catch (const paradox::Error& e) {
        EXPECT_NE(std::string(e.what()).find("ficou para ser aplicado"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(exists(journal));
    EXPECT_EQ(writeError(), "");
    EXPECT_EQ(rowsOf(path), 31u);
}

// Two tables of one process, each given its own env: one whose disk refuses
// every change fails and leaves its files as they were, while the other
// commits and alone is told of its changes and its looks at the disk.
TEST_F(Recovery, EachTableWorksThroughItsOwnEnv)
{
    const std::string otherPath = dir.file("U.db");
    paradox::createTable(otherPath, paradox::parseSchema("K:A6*,V:A40"));
    const Files untouched = filesOf(dir.path());
    std::vector<std::string> told;
    std::vector<std::string> refreshed;
    auto nameOf = [](const std::string& p) { return fs::path(p).filename().string(); };
    paradox::Env watched;
    watched.files.observe = [&](const os::Event& e) { told.push_back(nameOf(e.path)); };
    watched.refreshed = [&](const std::string& p) { refreshed.push_back(nameOf(p)); };
    paradox::Env broken;
    broken.files.inject = [](const os::Event&) { return EIO; };

    paradox::TableFile failing(otherPath, broken);
    paradox::TableFile writing(path, watched);
    EXPECT_THROW(failing.writer().insert(row(100)), paradox::Error);
    EXPECT_TRUE(told.empty());
    EXPECT_TRUE(refreshed.empty());
    EXPECT_EQ(filesOf(dir.path()), untouched);
    writing.writer().insert(row(100));
    ASSERT_FALSE(told.empty());
    ASSERT_FALSE(refreshed.empty());
    for (const std::string& name : told)  // its files, and the folder they are in
        EXPECT_TRUE(name.starts_with("T.") || name == nameOf(dir.path().string())) << name;
    for (const std::string& name : refreshed)
        EXPECT_EQ(name, "T.db");
    EXPECT_EQ(rowsOf(path), 31u);
    EXPECT_EQ(rowsOf(otherPath), 0u);
}

// Where the file system has no unnamed files, the journal is written under
// a name of its own: a link planted under the old name is not followed.
TEST_F(Recovery, APlantedLinkIsNotFollowed)
{
    paradox::Env named;
    named.files.inject = [](const os::Event& e) { return e.kind == os::Event::Kind::CreateUnnamed ? EOPNOTSUPP : 0; };
    ScratchDir elsewhere("recovery_link");
    const std::string outside = elsewhere.file("outside");
    writeFiles(elsewhere.path(), {{"outside", "conteúdo"}});
    fs::create_symlink(outside, journal + "-new");
    run(path, 100, 5, named);
    EXPECT_EQ(slurp(outside), "conteúdo");
    EXPECT_EQ(rowsOf(path), 35u);
    EXPECT_FALSE(exists(journal));
}

// A writer stopped in its commit (Ctrl-Z), its files written but its
// journal still there, does not make a reader wait: it reads the table as
// before that commit.
TEST_F(Recovery, AStoppedWriterDoesNotHoldReaders)
{
    const pid_t writer = ::fork();
    if (writer == 0) {
        paradox::Env stopping;
        stopping.files.observe = [](const os::Event& e) {
            if (e.kind == os::Event::Kind::Sync && e.path.ends_with("/T.db"))
                ::raise(SIGSTOP);
        };
        run(path, 100, 5, stopping);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, WUNTRACED), writer);
    ASSERT_TRUE(WIFSTOPPED(status));
    ::alarm(60);
    EXPECT_TRUE(exists(journal));
    EXPECT_EQ(rowsOf(path), 30u);
    EXPECT_EQ(pxdump(path).status, 0);
    ::alarm(0);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
}

// The commit and its undo record form one step: the record is kept at the
// commit point, before the journal goes, and taken away when the commit is
// rolled back after all. A record whose run was then played back, or whose
// undo was cut short before the record went, finds the table as before.
TEST_F(Recovery, TheUndoRecordIsKeptAtTheCommitPoint)
{
    const std::string recordPath = dir.file("T.db.desfazer");
    auto commitWithRecord = [&](int from, const paradox::Env& env) {
        paradox::TableFile table(path, env);
        table.journal().setCommitRecord([&](const std::vector<uint8_t>* committed) {
            if (committed)
                writeFiles(dir.path(), [&] {
                    Files f = filesOf(dir.path());
                    const auto kept = paradox::undoRecord(path, *committed);
                    f["T.db.desfazer"] = std::string(kept.begin(), kept.end());
                    return f;
                }());
            else
                fs::remove(recordPath);
        });
        table.beginTransaction();
        for (int n = from; n < from + 5; ++n)
            table.writer().insert(row(n));
        table.endTransaction();
    };
    auto record = [&] {
        const std::string bytes = slurp(recordPath);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };

    // Killed just before the journal goes: the record is there, the next
    // writer plays the run back, and the record finds the table as before.
    const bool finished = [&] {
        const pid_t child = ::fork();
        if (child == 0) {
            paradox::Env killing;
            killing.files.observe = [](const os::Event& e) {
                if (e.kind == os::Event::Kind::Remove && e.path.ends_with(".tessaly-journal"))
                    ::raise(SIGKILL);
            };
            commitWithRecord(100, killing);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status);
    }();
    ASSERT_FALSE(finished);
    ASSERT_TRUE(exists(recordPath));
    EXPECT_TRUE(paradox::TableFile(path).recoverForWriting());
    EXPECT_EQ(paradox::checkUndo(path, record()), paradox::UndoCheck::AlreadyUndone);

    // Rolled back at its last step (the journal's removal fails once): no
    // record is left.
    fs::remove(recordPath);
    bool failed = false;
    paradox::Env failingOnce;
    failingOnce.files.inject = [&failed](const os::Event& e) {
        const bool now = !failed && e.kind == os::Event::Kind::Remove
                      && e.path.ends_with(".tessaly-journal");
        failed = failed || now;
        return now ? EIO : 0;
    };
    EXPECT_THROW(commitWithRecord(100, failingOnce), paradox::Error);
    EXPECT_FALSE(exists(recordPath));
    EXPECT_EQ(filesOf(dir.path()), before);

    // An undo done, its record kept: the table is already as before.
    commitWithRecord(100, paradox::Env::plain());
    ASSERT_EQ(paradox::checkUndo(path, record()), paradox::UndoCheck::Ready);
    EXPECT_EQ(paradox::undo(path, record()), paradox::UndoCheck::Ready);
    EXPECT_EQ(paradox::checkUndo(path, record()), paradox::UndoCheck::AlreadyUndone);
    Files now = filesOf(dir.path());
    now.erase("T.db.desfazer");
    EXPECT_EQ(now, before);
}

// An undo whose playback fails leaves the table as it found it, and no
// journal that a later writer would play.
TEST_F(Recovery, AFailedUndoLeavesTheTableAsItWas)
{
    std::vector<uint8_t> record;
    {
        paradox::TableFile table(path);
        table.beginTransaction();
        for (int n = 100; n < 140; ++n)
            table.writer().insert(row(n));
        table.endTransaction();
        record = paradox::undoRecord(path, table.journal().lastCommitted());
    }
    const Files after = filesOf(dir.path());
    int writes = 0;
    paradox::Env failing;
    failing.files.inject = [&writes](const os::Event& e) {
        const bool table = e.kind == os::Event::Kind::Write && e.path.ends_with("/T.db");
        return table && ++writes == 1 ? EIO : 0;
    };
    EXPECT_THROW(paradox::undo(path, record, nullptr, failing), paradox::Error);
    EXPECT_GE(writes, 1);
    EXPECT_EQ(filesOf(dir.path()), after);
    EXPECT_EQ(writeError(), "");
    EXPECT_EQ(rowsOf(path), 71u);
}

// An undo record is refused before it is read when it is not a regular file
// or larger than the family could have made it; the undo's view of the
// table before the run needs no copy of the table.
TEST_F(Recovery, UndoRecordsAreBoundedAndNeedNoScratchCopy)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(paradox::readUndoRecord("/dev/zero", path, bytes).error(), EINVAL);
    const std::string huge = dir.file("T.db.desfazer");
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, off_t(40) << 30), 0);
    ::close(fd);
    EXPECT_EQ(paradox::readUndoRecord(huge, path, bytes).error(), EFBIG);
    fs::remove(huge);

    std::vector<uint8_t> record;
    {
        paradox::TableFile table(path);
        table.beginTransaction();
        table.writer().insert(row(100));
        table.writer().insert(row(101));
        table.endTransaction();
        record = paradox::undoRecord(path, table.journal().lastCommitted());
    }
    ScratchDir temporary("recovery_tmp");
    const char* was = std::getenv("TMPDIR");
    const std::string saved = was ? was : "";
    ::setenv("TMPDIR", temporary.path().c_str(), 1);
    paradox::TableFile now(path);
    const auto removed = paradox::rowsUndoRemoves(now, record);
    if (was)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ASSERT_EQ(removed.size(), 2u);
    EXPECT_EQ(std::get<std::string>(removed[0][0]), key(100));
    EXPECT_TRUE(fs::is_empty(temporary.path()));
}

// Another copy's commit that lands while this one looks at the table is
// never overwritten: the fence goes up before the look.
TEST_F(Recovery, ACommitBetweenLookAndFenceIsNotLost)
{
    paradox::TableFile other(path);
    other.beginTransaction();
    other.writer().insert(row(200));
    paradox::TableFile* pending = &other;
    paradox::Env committingMeanwhile;
    committingMeanwhile.refreshed = [&pending](const std::string&) {
        if (paradox::TableFile* p = std::exchange(pending, nullptr))
            p->endTransaction();
    };
    bool written = false;
    try {
        paradox::TableFile table(path, committingMeanwhile);
        table.writer().insert(row(201));
        written = true;
    } catch (const paradox::TableInUse&) {
    }
    if (pending)
        other.endTransaction();
    paradox::TableFile table(path);
    EXPECT_EQ(table.rowCount(), written ? 32u : 31u);
    EXPECT_TRUE(table.primaryIndexAgrees());
}

} // namespace
