// A log whose last line was cut short is mended in place, at its end, not
// read and written again whole; a copy that holds the log's lock for ever
// costs an entry, not a hang.

#include "log/log_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("tessaly_log_repair_" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

std::string contentOf(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ino_t inodeOf(const fs::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(LogRepair, ATornLastLineIsMendedInPlace)
{
    struct Case {
        const char* before;
        const char* after;
    };
    for (const Case& c : {Case{"um\r\ndois\r\ntrês cor", "um\r\ndois\r\ntrês cor\r\nnovo\r\n"},
                          Case{"só metade", "só metade\r\nnovo\r\n"}}) {
        Folder folder;
        const fs::path log = folder.path / "Tessaly.log";
        std::ofstream(log, std::ios::binary) << c.before;
        const ino_t inode = inodeOf(log);
        activity_log::Writer writer;
        ASSERT_TRUE(writer.append(log.string(), "novo"));
        EXPECT_EQ(contentOf(log), c.after);
        EXPECT_EQ(inodeOf(log), inode) << "rewritten whole";
    }
}

TEST(LogRepair, ALockHeldForEverCostsTheEntryNotAHang)
{
    Folder folder;
    const fs::path log = folder.path / "Tessaly.log";
    std::ofstream(log, std::ios::binary) << "um\r\n";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(log.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::alarm(60);
    activity_log::Writer writer;
    std::string failure;
    EXPECT_FALSE(writer.append(log.string(), "dois", &failure));
    EXPECT_FALSE(failure.empty());
    ::alarm(0);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(writer.append(log.string(), "dois"));
    EXPECT_EQ(contentOf(log), "um\r\ndois\r\n");
}

} // namespace
