// The host's engine as Wine runs it: a Windows program that locks a range of
// a table is seen by the detection, and cannot lock while the fence stands.

#include "platform/paradox/error.h"
#include "platform/paradox/fence.h"
#include "platform/paradox/file_users.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test_support;

std::string windowsPath(const std::string& path)
{
    std::string w = "Z:" + path;
    for (char& c : w)
        if (c == '/')
            c = '\\';
    return w;
}

class WineHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string(LOCK_RANGE_EXE).empty() || run("command -v wine >/dev/null").status != 0)
            GTEST_SKIP() << "needs Wine and the MinGW cross compiler";
        ::setenv("WINEPREFIX", dir.file("wine").c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        paradox::createTable(dir.file("TabCli.db"), paradox::parseSchema("Codigo:A6*,Nome:A20"));
        paradox::TableFile table(dir.file("TabCli.db"));
        table.writer().insert({std::string("000001"), std::string("um")});
    }
    void TearDown() override
    {
        if (holder_ > 0) {
            ::kill(holder_, SIGKILL);
            ::waitpid(holder_, nullptr, 0);
        }
        run("timeout 60 wineserver -k 2>/dev/null");
    }

    std::string tryLock() { return run(std::string("timeout 120 wine ") + LOCK_RANGE_EXE + " '" + windowsPath(dir.file("TabCli.db")) + "' try 2>/dev/null").out; }

    // Starts the program holding its lock; returns once the lock is taken.
    bool hold()
    {
        int out[2];
        if (::pipe(out) != 0)
            return false;
        holder_ = ::fork();
        if (holder_ == 0) {
            ::dup2(out[1], 1);
            ::execlp("timeout", "timeout", "300", "wine", LOCK_RANGE_EXE, windowsPath(dir.file("TabCli.db")).c_str(), "hold",
                     nullptr);
            ::_exit(1);
        }
        ::close(out[1]);
        char buffer[16] = {};
        const ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);
        ::close(out[0]);
        return n > 0 && std::string(buffer).starts_with("OK");
    }

    ScratchDir dir{"wine_host"};
    pid_t holder_ = -1;
};

TEST_F(WineHostTest, RangeLockOfAWindowsProgramIsSeen)
{
    ASSERT_TRUE(hold());
    const std::string before = slurp(dir.file("TabCli.db")) + slurp(dir.file("TabCli.PX"));
    paradox::TableFile table(dir.file("TabCli.db"));
    EXPECT_THROW(table.writer().insert({std::string("000002"), std::string("dois")}), paradox::TableInUse);
    EXPECT_EQ(slurp(dir.file("TabCli.db")) + slurp(dir.file("TabCli.PX")), before);
}

TEST_F(WineHostTest, WindowsProgramCannotLockWhileTheFenceStands)
{
    EXPECT_EQ(tryLock(), "OK\r\n");
    {
        const paradox::Fence fence(paradox::tableFamilyAndControlFiles(dir.file("TabCli.db")), "TabCli.db");
        EXPECT_EQ(tryLock(), "BUSY\r\n");
    }
    EXPECT_EQ(tryLock(), "OK\r\n");
}

} // namespace
