#include "tests/paradox_test_support.h"

#include "platform/os/file.h"
#include "platform/paradox/env.h"

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

bool finishedUnlessKilledAt(int k, const std::function<void(const paradox::Env&)>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        int changesLeft = k;
        paradox::Env env;
        env.files.observe = [&changesLeft](const os::Event&) {
            if (--changesLeft == 0)
                ::raise(SIGKILL);
        };
        try {
            body(env);
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
