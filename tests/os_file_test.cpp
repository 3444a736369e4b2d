// The contract of the OS seam that the engine, the log and the XML reader
// rely on, whatever the system: what each kind of path gives, errors as
// <cerrno> codes, temporaries placed whole along both of their paths, and
// every change told before it is made.

#include "platform/os/file.h"
#include "platform/os/file_lock.h"
#include "platform/os/folder.h"
#include "tests/paradox_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace test_support;

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// Links and FIFOs as POSIX file systems have them.
#ifndef _WIN32
// A folder with one entry of each kind a path may name.
struct Kinds : ScratchDir {
    Kinds() : ScratchDir("os_kinds")
    {
        writeFiles(path(), {{"file", "twelve bytes"}, {"empty", ""}});
        fs::create_directory(path() / "folder");
        fs::create_symlink(file("file"), path() / "link");
        fs::create_symlink(file("nowhere"), path() / "dangling");
        ::mkfifo(file("fifo").c_str(), 0644);
    }
};

TEST(OsFile, EachKindOfPath)
{
    const Kinds dir;
    struct Case {
        const char* name;
        bool followLinks;
        os::Kind kind;
        uint64_t size;
        int openRegular;  // error of File::openRegular, 0: opens
    };
    const Case cases[] = {
        {"file", false, os::Kind::Regular, 12, 0},
        {"empty", false, os::Kind::Regular, 0, 0},
        {"folder", false, os::Kind::Folder, 0, EINVAL},
        {"link", false, os::Kind::Link, 0, ELOOP},
        {"link", true, os::Kind::Regular, 12, ELOOP},
        {"dangling", false, os::Kind::Link, 0, ELOOP},
        {"dangling", true, os::Kind::None, 0, ELOOP},
        {"fifo", false, os::Kind::Fifo, 0, EINVAL},
        {"missing", false, os::Kind::None, 0, ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.followLinks ? " (links followed)" : ""));
        const os::Facts facts = os::factsOf(dir.file(c.name), c.followLinks);
        EXPECT_EQ(facts.kind, c.kind);
        if (c.kind == os::Kind::Regular) {
            EXPECT_EQ(facts.size, c.size);
        }
        os::File file;
        EXPECT_EQ(os::File::openRegular(dir.file(c.name), os::Access::Read, file).error(), c.openRegular);
        EXPECT_EQ(file.isOpen(), c.openRegular == 0);
    }
    std::vector<std::string> names;
    ASSERT_TRUE(os::namesIn(dir.path().string(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dangling", "empty", "fifo", "file", "folder", "link"}));
    EXPECT_EQ(os::namesIn(dir.file("missing"), names).error(), ENOENT);
}
#endif

TEST(OsFile, ReadsWritesAndErrors)
{
    ScratchDir dir("os_files");
    const std::string path = dir.file("f");
    ASSERT_TRUE(os::createWith(path, bytesOf("abcdef")));
    EXPECT_EQ(os::createWith(path, bytesOf("x")).error(), EEXIST);
    EXPECT_EQ(slurp(path), "abcdef");  // the refused create left it alone

    os::File file;
    ASSERT_TRUE(os::File::open(path, os::Access::ReadWrite, file));
    uint8_t two[2];
    ASSERT_TRUE(file.readAt(two, 2, 4));
    EXPECT_EQ(std::string(two, two + 2), "ef");
    EXPECT_EQ(file.readAt(two, 2, 5).error(), EIO);  // the file ends before
    ASSERT_TRUE(file.writeAt(reinterpret_cast<const uint8_t*>("XY"), 2, 8));
    EXPECT_EQ(file.size(), 10);
    ASSERT_TRUE(file.truncate(3));
    std::vector<uint8_t> whole;
    ASSERT_TRUE(file.readWhole(whole));
    EXPECT_EQ(whole, bytesOf("abc"));
    {
        os::View view;
        ASSERT_TRUE(os::View::of(file, view));
        EXPECT_EQ(view.bytes(), "abc");
    }

    EXPECT_EQ(os::readRegular(path, 2, whole).error(), EFBIG);
    EXPECT_TRUE(file.named());
#ifdef _WIN32
    file.close();  // Windows refuses to replace a file that is open or mapped
#endif
    ASSERT_TRUE(os::replaceWhole(path, bytesOf("new")));
    EXPECT_EQ(slurp(path), "new");
#ifndef _WIN32
    EXPECT_FALSE(file.named());  // the file replaced, still open, has no name
#endif
    ASSERT_TRUE(os::remove(path));
    EXPECT_EQ(os::remove(path).error(), ENOENT);
}

// Hooks that write down each change they are told of, one line each.
struct Telling {
    std::vector<std::string> told;
    os::Hooks hooks{[this](const os::Event& e) {
        const char* kinds[] = {"write", "truncate", "sync", "remove", "rename", "sync folder", "unnamed"};
        std::string line = std::string(kinds[int(e.kind)]) + " " + fs::path(e.path).filename().string();
        if (e.target)
            line += " -> " + fs::path(*e.target).filename().string();
        told.push_back(line);
    }, {}};
};

#ifdef _WIN32
constexpr bool systemHasUnnamedFiles = false;
#else
constexpr bool systemHasUnnamedFiles = true;
#endif

// A temporary reaches its place whole, and only the placing is seen there,
// with or without files that have no name.
TEST(OsFile, TemporaryTakesItsPlaceWhole)
{
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        ScratchDir dir("os_temporary");
        const std::string path = dir.file("J");
        Telling telling;
        if (!unnamed)
            telling.hooks.inject = [](const os::Event& e) {
                return e.kind == os::Event::Kind::CreateUnnamed ? EOPNOTSUPP : 0;
            };
        os::File file;
        const os::Status created = os::File::createTemporaryFor(path, file, &telling.hooks);
        ASSERT_TRUE(created) << created.text();
        EXPECT_EQ(file.unnamed(), unnamed && systemHasUnnamedFiles);
        const std::string temporary = fs::path(file.path()).filename().string();
        EXPECT_TRUE(temporary.starts_with("J-new"));
        ASSERT_TRUE(file.writeAt(reinterpret_cast<const uint8_t*>("whole"), 5, 0));
        ASSERT_TRUE(file.sync());
        EXPECT_EQ(os::factsOf(path, false).kind, os::Kind::None);
        ASSERT_TRUE(file.place(path));
        EXPECT_EQ(slurp(path), "whole");
        std::vector<std::string> names;
        ASSERT_TRUE(os::namesIn(dir.path().string(), names));
        EXPECT_EQ(names, std::vector<std::string>{"J"});
        EXPECT_EQ(telling.told, (std::vector<std::string>{"write " + temporary, "sync " + temporary,
                                                  "rename " + temporary + " -> J"}));
    }
}

TEST(OsFile, InjectedFaultsStopTheChange)
{
    ScratchDir dir("os_faults");
    const std::string path = dir.file("f");
    ASSERT_TRUE(os::createWith(path, bytesOf("kept")));
    const os::Hooks full{{}, [](const os::Event&) { return ENOSPC; }};
    os::File file;
    ASSERT_TRUE(os::File::open(path, os::Access::ReadWrite, file));
    file.tellTo(&full);
    EXPECT_EQ(file.writeAt(reinterpret_cast<const uint8_t*>("lost"), 4, 0).error(), ENOSPC);
    EXPECT_EQ(file.truncate(0).error(), ENOSPC);
    EXPECT_EQ(os::remove(path, &full).error(), ENOSPC);
    EXPECT_EQ(os::replaceWhole(path, bytesOf("lost"), &full).error(), ENOSPC);
    EXPECT_EQ(os::createWith(dir.file("g"), bytesOf("lost"), &full).error(), ENOSPC);
    EXPECT_EQ(slurp(path), "kept");
    std::vector<std::string> names;
    ASSERT_TRUE(os::namesIn(dir.path().string(), names));
    EXPECT_EQ(names, std::vector<std::string>{"f"});  // no temporary left behind
}

// Hooks belong to the file or call given them: another file, and a file
// opened anew (reopen) from the hooked one, are told as they were given.
TEST(OsFile, HooksBelongToWhatWasGivenThem)
{
    ScratchDir dir("os_hooks");
    ASSERT_TRUE(os::createWith(dir.file("a"), bytesOf("a")));
    ASSERT_TRUE(os::createWith(dir.file("b"), bytesOf("b")));
    Telling first;
    Telling second;
    os::File a;
    os::File b;
    os::File plain;
    ASSERT_TRUE(os::File::open(dir.file("a"), os::Access::ReadWrite, a));
    ASSERT_TRUE(os::File::open(dir.file("b"), os::Access::ReadWrite, b));
    ASSERT_TRUE(os::File::open(dir.file("b"), os::Access::ReadWrite, plain));
    a.tellTo(&first.hooks);
    b.tellTo(&second.hooks);
    os::File again;
    ASSERT_TRUE(a.reopen(os::Access::ReadWrite, again));
    ASSERT_TRUE(a.sync());
    ASSERT_TRUE(b.truncate(0));
    ASSERT_TRUE(plain.sync());
    ASSERT_TRUE(again.sync());
    ASSERT_TRUE(os::rename(dir.file("b"), dir.file("c"), &second.hooks));
    ASSERT_TRUE(os::remove(dir.file("c")));
    EXPECT_EQ(first.told, (std::vector<std::string>{"sync a", "sync a"}));
    EXPECT_EQ(second.told, (std::vector<std::string>{"truncate b", "rename b -> c"}));
}

TEST(OsFile, LocksAreSharedOrExclusiveAndWaitBounded)
{
    ScratchDir dir("os_locks");
    const std::string path = dir.file("f");
    ASSERT_TRUE(os::createWith(path, bytesOf("x")));
    os::File a;
    os::File b;
    ASSERT_TRUE(os::File::open(path, os::Access::Read, a));
    ASSERT_TRUE(os::File::open(path, os::Access::Read, b));
    {
        os::FileLock shared;
        ASSERT_TRUE(shared.acquire(a, os::LockMode::Shared, std::chrono::milliseconds(0)));
        EXPECT_TRUE(b.tryLock(os::LockMode::Shared));
        b.unlock();
        EXPECT_EQ(b.tryLock(os::LockMode::Exclusive).error(), EWOULDBLOCK);
        os::FileLock exclusive;
        EXPECT_EQ(exclusive.acquire(b, os::LockMode::Exclusive, std::chrono::milliseconds(50)).error(), ETIMEDOUT);
    }
    // Released when the lock goes. The waiter that gave up may still get it
    // in passing, and lets it go at once: a bounded retry, not a sleep.
    os::Status taken = b.tryLock(os::LockMode::Exclusive);
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         !taken && taken.error() == EWOULDBLOCK && std::chrono::steady_clock::now() < until;)
        taken = b.tryLock(os::LockMode::Exclusive);
    EXPECT_TRUE(taken) << taken.text();
}

} // namespace
