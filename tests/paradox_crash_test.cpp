// A writer killed between any two of its changes to the disk leaves a table
// that both readers open, with every row whose insert had returned, none
// twice: a kill before its commit leaves the files untouched, one during its
// commit leaves a journal that the next writer plays back, so that the table
// is as before the killed insert or as after it.

#include "platform/paradox/error.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_dump.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    return finishedUnlessKilledAt(k, [&](const paradox::Env& env) {
        paradox::TableFile table(path, env);
        table.writer().insert(row(n));
    });
}

// The rows both readers see: each once and whole, the acknowledged ones all
// there. A keyed table gives them in key order and its index agrees; a
// table without a key gives them in the order of their inserts.
void expectSound(const std::string& path, const std::vector<std::string>& acknowledged, bool keyed)
{
    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0);
    paradox::TableFile table(path);
    std::ostringstream ours;
    paradox::dumpTable(table, ours);
    if (keyed) {
        EXPECT_TRUE(table.inKeyOrder());
        EXPECT_TRUE(table.primaryIndexAgrees());
    }
    const std::set<std::string> expected(acknowledged.begin(), acknowledged.end());
    for (const auto& rows : {rowLines(theirs.out), rowLines(ours.str())}) {
        std::set<std::string> keys;
        std::vector<std::string> inOrder;
        std::vector<std::string> acknowledgedInOrder;
        for (const std::string& r : rows) {
            const std::string k = r.substr(0, 6);
            EXPECT_TRUE(keys.insert(k).second) << "twice: " << r;
            EXPECT_EQ(r.substr(7), "valor " + std::to_string(std::stoi(k))) << "half a row: " << r;
            inOrder.push_back(k);
            if (expected.count(k))
                acknowledgedInOrder.push_back(k);
        }
        for (const std::string& k : acknowledged)
            EXPECT_TRUE(keys.count(k)) << "lost: " << k;
        EXPECT_LE(keys.size(), acknowledged.size() + 1);
        if (keyed)
            EXPECT_TRUE(std::is_sorted(inOrder.begin(), inOrder.end())) << "out of key order";
        else
            EXPECT_EQ(acknowledgedInOrder, acknowledged) << "out of insert order";
    }
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
        std::vector<std::string> acknowledged;
        {
            paradox::TableFile table(path);
            for (int n : s.existing) {
                table.writer().insert(row(n));
                acknowledged.push_back(key(n));
            }
        }
        const bool completed = insertKilledAt(path, s.inserted, k);
        if (completed)
            acknowledged.push_back(key(s.inserted));
        expectSound(path, acknowledged, s.keyed);
        // The next writer finds the table as a crash left it and goes on.
        {
            paradox::TableFile table(path);
            table.writer().insert(row(999999));
            acknowledged.push_back(key(999999));
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
    test_support::CaseName());

// Two processes inserting at once: every row of both arrives. Small blocks
// and a wide key make the rows of the two, whose keys interleave, split each
// other's blocks and grow the index to two levels within a few hundred rows.
TEST(TwoWriters, EveryRowOfBothArrives)
{
    constexpr int perWriter = 500;
    ScratchDir dir("two_writers");
    const std::string path = dir.file("T.db");
    paradox::TableLayout layout = paradox::parseSchema("K:A40*,V:A40");
    layout.blockSizeKb = 1;
    paradox::createTable(path, layout);
    // Both start together; each tells how many rows of the other it saw
    // after its first and after its last insert.
    int start[2];
    int seen[2];
    ASSERT_EQ(::pipe(start), 0);
    ASSERT_EQ(::pipe(seen), 0);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] == 0) {
            ::close(start[1]);
            char go;
            (void)!::read(start[0], &go, 1);
            try {
                paradox::TableFile table(path);
                size_t others[2] = {0, 0};
                for (int i = 0; i < perWriter; ++i) {
                    table.writer().insert(row(c + 2 * i));
                    if (i == 0 || i == perWriter - 1)
                        others[i == 0 ? 0 : 1] = table.rowCount() - size_t(i + 1);
                }
                (void)!::write(seen[1], others, sizeof others);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                ::_exit(1);
            }
            ::_exit(0);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    ::close(seen[1]);
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    bool overlapped = false;
    size_t others[2];
    while (::read(seen[0], others, sizeof others) == ssize_t(sizeof others))
        overlapped = overlapped || others[1] > others[0];
    ::close(seen[0]);
    EXPECT_TRUE(overlapped) << "one writer ran after the other";
    paradox::TableFile table(path);
    EXPECT_EQ(table.rowCount(), size_t(2 * perWriter));
    EXPECT_TRUE(table.inKeyOrder());
    EXPECT_TRUE(table.primaryIndexAgrees());
    EXPECT_GE(int(slurp(dir.file("T.PX")).at(0x20)), 2) << "the index never grew a level";
    const CommandResult theirs = pxdump(path);
    ASSERT_EQ(theirs.status, 0);
    EXPECT_EQ(rowLines(theirs.out).size(), size_t(2 * perWriter));
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
        table.writer().insert(row(1));
        ADD_FAILURE() << "written";
    } catch (const paradox::TableInUse& e) {
        EXPECT_NE(std::string(e.what()).find("T.db"), std::string::npos) << e.what();
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    paradox::TableFile table(path);
    table.writer().insert(row(1));
    EXPECT_EQ(table.rowCount(), 1u);
}

} // namespace
