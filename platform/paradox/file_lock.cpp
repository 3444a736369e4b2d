#include "platform/paradox/file_lock.h"

#include "platform/paradox/error.h"

#include <cerrno>
#include <chrono>
#include <sys/file.h>
#include <thread>

namespace paradox {

FileLock::FileLock(int fd, Mode mode, const std::string& fileName, int waitMs)
    : fd_(fd)
{
    const int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::microseconds(200);
    while (::flock(fd_, op) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            throw Error("não foi possível bloquear a tabela " + fileName);
        if (std::chrono::steady_clock::now() >= deadline)
            throw TableInUse("A tabela " + fileName + " está em uso por outro programa.");
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
}

FileLock::~FileLock() { ::flock(fd_, LOCK_UN); }

} // namespace paradox
