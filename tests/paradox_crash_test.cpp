// A writer killed between any two of its changes to the disk leaves a table
// that both readers open, with every row whose insert had returned, none
// twice: a kill before its commit leaves the files untouched, one during its
// commit leaves a journal that the next writer plays back, so that the table
// is as before the killed insert or as after it.

#include "platform/paradox/error.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test_support;

std::string key(int n)
{
    std::string s = std::to_string(n);
    return std::string(6 - s.size(), '0') + s;
}

std::vector<paradox::Value> row(int n) { return {key(n), "valor " + std::to_string(n)}; }

// Inserts row n in a child that dies before its k-th write; true when the
// insert completed first.
bool insertKilledAt(const std::string& path, int n, int k)
{
    return finishedUnlessKilledAt(k, [&] {
        paradox::TableFile table(path);
        table.insert(row(n));
    });
}

// The rows both readers see: each once, the acknowledged ones all there.
void expectSound(const std::string& path, const std::set<std::string>& acknowledged, bool keyed)
{
    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0);
    paradox::TableFile table(path);
    std::ostringstream ours;
    paradox::dumpTable(table, ours);
    for (const auto& rows : {rowLines(theirs.out), rowLines(ours.str())}) {
        std::set<std::string> keys;
        for (const std::string& r : rows) {
            EXPECT_TRUE(keys.insert(r.substr(0, 6)).second) << "twice: " << r;
            EXPECT_EQ(r.substr(7), "valor " + std::to_string(std::stoi(r.substr(0, 6)))) << "half a row: " << r;
        }
        for (const std::string& k : acknowledged)
            EXPECT_TRUE(keys.count(k)) << "lost: " << k;
        EXPECT_LE(keys.size(), acknowledged.size() + 1);
    }
    (void)keyed;
}

struct Scenario {
    const char* name;
    bool keyed;
    std::vector<int> existing;  // rows before the killed insert
    int inserted;
};

class CrashTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(CrashTest, EveryWritePoint)
{
    const Scenario s = GetParam();
    ScratchDir dir(std::string("crash_") + s.name);
    const std::string path = dir.file("T.db");
    int k = 1;
    for (;; ++k) {
        SCOPED_TRACE("killed before write " + std::to_string(k));
        fs::remove(path);
        fs::remove(dir.file("T.PX"));
        paradox::TableLayout layout = paradox::parseSchema(s.keyed ? "K:A6*,V:A40" : "K:A6,V:A40");
        layout.blockSizeKb = 1;
        paradox::createTable(path, layout);
        std::set<std::string> acknowledged;
        {
            paradox::TableFile table(path);
            for (int n : s.existing) {
                table.insert(row(n));
                acknowledged.insert(key(n));
            }
        }
        const bool completed = insertKilledAt(path, s.inserted, k);
        if (completed)
            acknowledged.insert(key(s.inserted));
        expectSound(path, acknowledged, s.keyed);
        // The next writer finds the table as a crash left it and goes on.
        {
            paradox::TableFile table(path);
            table.insert(row(999999));
            acknowledged.insert(key(999999));
            EXPECT_TRUE(table.primaryIndexAgrees());
            if (s.keyed) {
                EXPECT_TRUE(table.inKeyOrder());
            }
        }
        expectSound(path, acknowledged, s.keyed);
        if (completed)
            break;
    }
    EXPECT_GT(k, 2);  // there were write points to stop at
}

std::vector<int> range(int from, int to, int step)
{
    std::vector<int> v;
    for (int n = from; n <= to; n += step)
        v.push_back(n);
    return v;
}

// With 1 KB blocks a block holds 22 rows of this table.
INSTANTIATE_TEST_SUITE_P(
    Inserts, CrashTest,
    ::testing::Values(Scenario{"empty", true, {}, 5},
                      Scenario{"middle_of_a_block", true, range(10, 100, 10), 55},
                      Scenario{"split_of_a_full_block", true, range(10, 630, 10), 55},
                      Scenario{"full_last_block", true, range(10, 220, 10), 205},
                      Scenario{"smallest_key", true, range(10, 630, 10), 1},
                      Scenario{"at_the_end", true, range(10, 220, 10), 500},
                      Scenario{"unkeyed_full_block", false, range(10, 220, 10), 5}),
    [](const auto& info) { return std::string(info.param.name); });

// Two processes inserting at once: every row of both arrives.
TEST(TwoWriters, EveryRowOfBothArrives)
{
    ScratchDir dir("two_writers");
    const std::string path = dir.file("T.db");
    paradox::createTable(path, paradox::parseSchema("K:A6*,V:A40"));
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] == 0) {
            try {
                paradox::TableFile table(path);
                for (int i = 0; i < 5000; ++i)
                    table.insert(row(c + 2 * i));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                ::_exit(1);
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    paradox::TableFile table(path);
    EXPECT_EQ(table.rowCount(), 10000u);
    EXPECT_TRUE(table.inKeyOrder());
    EXPECT_TRUE(table.primaryIndexAgrees());
    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0);
    EXPECT_EQ(rowLines(theirs.out).size(), 10000u);
}

// A copy of the engine that keeps the table locked longer than a short wait
// makes the other give up with a clear message instead of hanging.
TEST(TwoWriters, ALongHeldLockGivesTableInUse)
{
    ScratchDir dir("held_lock");
    const std::string path = dir.file("T.db");
    paradox::createTable(path, paradox::parseSchema("K:A6*,V:A40"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        paradox::TableFile table(path);
        const auto held = table.lock(paradox::FileLock::Mode::Exclusive);
        (void)!::write(ready[1], "x", 1);
        ::sleep(30);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    try {
        paradox::TableFile table(path);  // reading waits for the lock too
        table.insert(row(1));
        ADD_FAILURE() << "written";
    } catch (const paradox::TableInUse& e) {
        EXPECT_NE(std::string(e.what()).find("T.db"), std::string::npos) << e.what();
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    paradox::TableFile table(path);
    table.insert(row(1));
    EXPECT_EQ(table.rowCount(), 1u);
}

} // namespace
