#include "tests/unprivileged_child.h"

#include <cerrno>
#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace test_support {
namespace {

struct Identity {
    uid_t uid;
    gid_t gid;
};

Identity unprivileged()
{
    if (const passwd* user = ::getpwnam("nobody"))
        return {user->pw_uid, user->pw_gid};
    return {65534, 65534};
}

constexpr int childFailed = 3;

} // namespace

void giveToChild(const std::string& path)
{
    if (::geteuid() != 0)
        return;
    const Identity child = unprivileged();
    if (::chown(path.c_str(), child.uid, child.gid) != 0)
        throw std::system_error(errno, std::generic_category(), "chown " + path);
}

int inUnprivilegedChild(const std::function<bool()>& body)
{
    // Looked up before the fork: the user database is no thing to read in a
    // child of a process that may have threads.
    const bool root = ::geteuid() == 0;
    const Identity identity = unprivileged();
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(identity.gid) != 0 || ::setuid(identity.uid) != 0)) {
            std::perror("taking the unprivileged user");
            ::_exit(childFailed);
        }
        if (::geteuid() == 0) {
            std::fputs("the child still runs as root\n", stderr);
            ::_exit(childFailed);
        }
        try {
            ::_exit(body() ? 1 : 0);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "the child threw: %s\n", e.what());
        } catch (...) {
            std::fputs("the child threw\n", stderr);
        }
        ::_exit(childFailed);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return -1;
    return WEXITSTATUS(status);
}

} // namespace test_support
