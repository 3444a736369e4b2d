#include "platform/os/file_lock.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace os {
namespace {

// A blocking wait for the lock, on an opening of its own, that can be given
// up: a waiter that is left behind drops the lock when it comes.
struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    File own;
    Status result;
    bool answered = false;
    bool abandoned = false;
};

} // namespace

// A holder that writes in a tight loop leaves the lock free only for an
// instant between two statements, which polling would seldom meet; a
// blocking wait is woken at each release. Trying first keeps the common,
// uncontended case free of threads.
Status FileLock::acquire(const File& file, LockMode mode, std::chrono::milliseconds wait)
{
    const Status first = file.tryLock(mode);
    if (first) {
        file_ = &file;
        return first;
    }
    if (first.error() != EWOULDBLOCK && first.error() != EINTR)
        return first;
    auto waiter = std::make_shared<Waiter>();
    if (Status s = file.reopen(Access::Read, waiter->own); !s)
        return s;
    std::thread([waiter, mode] {
        const Status s = waiter->own.lock(mode);
        const std::lock_guard<std::mutex> hold(waiter->mutex);
        waiter->result = s;
        waiter->answered = true;
        if (!s || waiter->abandoned)
            waiter->own.close();
        waiter->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> hold(waiter->mutex);
    if (!waiter->done.wait_for(hold, wait, [&] { return waiter->answered; })) {
        waiter->abandoned = true;
        return Status::failure(ETIMEDOUT);
    }
    if (waiter->result)
        own_ = std::move(waiter->own);
    return waiter->result;
}

FileLock::~FileLock()
{
    if (own_.isOpen())
        own_.unlock();
    else if (file_)
        file_->unlock();
}

} // namespace os
