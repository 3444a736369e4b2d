#include "platform/paradox/file_lock.h"

#include "platform/paradox/error.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace paradox {
namespace {

// A blocking wait for the lock, on a descriptor of its own, that can be
// given up: a waiter that is left behind drops the lock when it comes.
struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool granted = false;
    bool failed = false;
    bool abandoned = false;
};

} // namespace

// A holder that writes in a tight loop leaves the lock free only for an
// instant between two statements, which polling would seldom meet; a
// blocking wait is woken by the kernel at each release. Polling first keeps
// the common, uncontended case free of threads.
FileLock::FileLock(int fd, Mode mode, const std::string& fileName, int waitMs)
    : fd_(fd)
{
    const int op = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    if (::flock(fd_, op | LOCK_NB) == 0)
        return;
    if (errno != EWOULDBLOCK && errno != EINTR)
        throw Error("não foi possível bloquear a tabela " + fileName);
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int own = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    if (own < 0)
        throw Error("não foi possível bloquear a tabela " + fileName);
    auto waiter = std::make_shared<Waiter>();
    std::thread([waiter, own, op] {
        int r;
        do
            r = ::flock(own, op);
        while (r != 0 && errno == EINTR);
        const std::lock_guard<std::mutex> hold(waiter->mutex);
        if (r != 0 || waiter->abandoned) {
            waiter->failed = r != 0;
            ::close(own);
        } else {
            waiter->granted = true;
        }
        waiter->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(waiter->mutex);
    const bool answered = waiter->done.wait_for(hold, std::chrono::milliseconds(waitMs),
                                                [&] { return waiter->granted || waiter->failed; });
    if (answered && waiter->granted) {
        fd_ = own;
        ownDescriptor_ = true;
        return;
    }
    waiter->abandoned = true;
    if (!answered)
        throw TableInUse("A tabela " + fileName + " está em uso por outro programa.");
    throw Error("não foi possível bloquear a tabela " + fileName);
}

FileLock::~FileLock()
{
    ::flock(fd_, LOCK_UN);
    if (ownDescriptor_)
        ::close(fd_);
}

} // namespace paradox
