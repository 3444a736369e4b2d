#include "tests/paradox_test_support.h"

#include "platform/os/file.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

// The test helpers that stand on POSIX processes: the shell and fork.
namespace test_support {

CommandResult run(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 65536> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

CommandResult pxdump(const std::string& table, const std::string& index)
{
    std::string command = std::string(PXDUMP) + " ";
    if (!index.empty())
        command += "-x '" + index + "' ";
    return run(command + "'" + table + "' 2>/dev/null");
}

namespace {
int changesLeft = 0;
void killAtChange(const os::Event&)
{
    if (--changesLeft == 0)
        ::raise(SIGKILL);
}
} // namespace

bool finishedUnlessKilledAt(int k, const std::function<void()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        changesLeft = k;
        os::setWriteObserver(killAtChange);
        try {
            body();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace test_support
