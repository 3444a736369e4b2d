// A table another program has in use is not written: its files stay byte
// for byte as they were. Stale control files with no holder do not count.

#include "platform/paradox/error.h"
#include "platform/os/file_users.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/paradox/undo_record.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace test_support;

// A process that holds a lock of the given kind on a file until killed.
pid_t holdLock(const std::string& path, int command)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = 1;
        ::fcntl(fd, command, &lock);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return child;
}

// A program of another kind with the file open.
pid_t holdOpen(const std::string& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/bash", "bash", "-c", ("exec 3<'" + path + "'; exec sleep 60").c_str(), nullptr);
        ::_exit(1);
    }
    for (int i = 0; i < 100 && !os::fileInUseByOthers(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return child;
}

void stop(pid_t child)
{
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

class ForeignUseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        paradox::createTable(dir.file("TabCli.db"), paradox::parseSchema("Codigo:A6*,Nome:A20"));
        paradox::TableFile table(dir.file("TabCli.db"));
        table.writer().insert({std::string("000001"), std::string("um")});
    }
    std::string snapshot() const { return slurp(dir.file("TabCli.db")) + slurp(dir.file("TabCli.PX")); }
    void expectRefused(const std::string& mentioning)
    {
        const std::string before = snapshot();
        paradox::TableFile table(dir.file("TabCli.db"));
        try {
            table.writer().insert({std::string("000002"), std::string("dois")});
            ADD_FAILURE() << "written";
        } catch (const paradox::TableInUse& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("TabCli.db"), std::string::npos) << text;
            EXPECT_NE(text.find("Feche o aplicativo Pelko"), std::string::npos) << text;
            EXPECT_NE(text.find(mentioning), std::string::npos) << text;
        }
        EXPECT_EQ(snapshot(), before);
    }
    void expectWritten()
    {
        paradox::TableFile table(dir.file("TabCli.db"));
        table.writer().insert({std::string("000003"), std::string("três")});
        EXPECT_EQ(table.rowCount(), 2u);
    }

    ScratchDir dir{"foreign"};
};

TEST_F(ForeignUseTest, TableOpenInAnotherProgram)
{
    const pid_t holder = holdOpen(dir.file("TabCli.db"));
    expectRefused("arquivo aberto em TabCli.db");
    stop(holder);
    expectWritten();
}

TEST_F(ForeignUseTest, PosixLockOnTheControlFile)
{
    std::ofstream(dir.file("PDOXUSRS.NET")) << "net";
    const pid_t holder = holdLock(dir.file("PDOXUSRS.NET"), F_SETLK);
    expectRefused("PDOXUSRS.NET");
    stop(holder);
    expectWritten();
}

TEST_F(ForeignUseTest, OpenFileDescriptionLockOnTheDirectoryGuard)
{
    std::ofstream(dir.file("paradox.lck")) << "lck";
    const pid_t holder = holdLock(dir.file("paradox.lck"), F_OFD_SETLK);
    expectRefused("paradox.lck");
    stop(holder);
    expectWritten();
}

TEST_F(ForeignUseTest, LockOnAByteRangeOfTheTable)
{
    const pid_t holder = holdLock(dir.file("TabCli.db"), F_SETLK);
    expectRefused("bloqueio em TabCli.db");
    stop(holder);
}

// A program that locks the table after the first write of a run is met by
// the fence of the next write.
TEST_F(ForeignUseTest, LockTakenBetweenTwoWrites)
{
    paradox::TableFile table(dir.file("TabCli.db"));
    table.writer().insert({std::string("000005"), std::string("cinco")});
    const pid_t holder = holdLock(dir.file("TabCli.db"), F_SETLK);
    const std::string before = snapshot();
    try {
        table.writer().insert({std::string("000006"), std::string("seis")});
        ADD_FAILURE() << "written";
    } catch (const paradox::TableInUse& e) {
        EXPECT_NE(std::string(e.what()).find("bloqueio em TabCli.db"), std::string::npos) << e.what();
    }
    EXPECT_EQ(snapshot(), before);
    stop(holder);
    table.writer().insert({std::string("000006"), std::string("seis")});
}

// Playing back a commit cut short, and an undo, are writes like any other:
// another program's lock stops them before they change a byte.
TEST_F(ForeignUseTest, RecoveryAndUndoLeaveATableInUseAlone)
{
    const std::string path = dir.file("TabCli.db");
    std::vector<uint8_t> record;
    {
        paradox::TableFile table(path);
        table.beginTransaction();
        table.writer().insert({std::string("000007"), std::string("sete")});
        table.endTransaction();
        record = paradox::undoRecord(path, table.journal().lastCommitted());
    }
    const Files committed = filesOf(dir.path());
    for (int k = 5; !fs::exists(paradox::Journal::pathFor(path)); ++k) {
        ASSERT_LT(k, 40);
        writeFiles(dir.path(), committed);
        finishedUnlessKilledAt(k, [&](const paradox::Env& env) {
            paradox::TableFile table(path, env);
            table.writer().insert({std::string("000008"), std::string("oito")});
        });
    }
    const Files left = filesOf(dir.path());
    const pid_t holder = holdLock(path, F_SETLK);
    {
        paradox::TableFile table(path);
        EXPECT_THROW(table.recoverForWriting(), paradox::TableInUse);
    }
    EXPECT_THROW(paradox::undo(path, record), paradox::TableInUse);
    EXPECT_EQ(filesOf(dir.path()), left);
    stop(holder);
    EXPECT_EQ(paradox::undo(path, record), paradox::UndoCheck::Ready);
    EXPECT_EQ(paradox::TableFile(path).rowCount(), 1u);
}

TEST_F(ForeignUseTest, StaleControlFilesWithoutHolder)
{
    std::ofstream(dir.file("PDOXUSRS.NET")) << "net";
    std::ofstream(dir.file("PDOXUSRS.LCK")) << "lck";
    std::ofstream(dir.file("PARADOX.LCK")) << "lck";
    expectWritten();
}

} // namespace
