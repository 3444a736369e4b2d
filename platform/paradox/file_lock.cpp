#include "platform/paradox/file_lock.h"

#include "platform/paradox/error.h"

#include <cerrno>

namespace paradox {

FileLock::FileLock(const os::File& file, Mode mode, const std::string& fileName, int waitMs)
{
    const os::Status s = lock_.acquire(file, mode == Mode::Shared ? os::LockMode::Shared : os::LockMode::Exclusive,
                                       std::chrono::milliseconds(waitMs));
    if (s.error() == ETIMEDOUT)
        throw TableInUse("A tabela " + fileName + " está em uso por outro programa.");
    if (!s)
        throw Error("não foi possível bloquear a tabela " + fileName);
}

} // namespace paradox
