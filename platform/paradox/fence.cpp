#include "platform/paradox/fence.h"

#include "platform/paradox/error.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace paradox {
namespace {

bool lockWhole(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

} // namespace

Fence::Fence(const std::vector<std::string>& files, const std::string& tableName)
{
    for (const std::string& path : files) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;  // a file this user may not write cannot be fenced; detection still saw it
        if (!lockWhole(fd, F_WRLCK)) {
            const int error = errno;
            ::close(fd);
            release();
            if (error == EAGAIN || error == EACCES)
                throw TableInUse("A tabela " + tableName + " está em uso por outro programa (bloqueio em "
                                 + path.substr(path.find_last_of('/') + 1)
                                 + "). Feche o aplicativo Pelko e execute a importação novamente.");
            throw Error("Não foi possível bloquear " + path + " para gravar a tabela " + tableName + ".");
        }
        fds_.push_back(fd);
    }
}

Fence::~Fence() { release(); }

void Fence::release()
{
    for (int fd : fds_) {
        lockWhole(fd, F_UNLCK);
        ::close(fd);
    }
    fds_.clear();
}

} // namespace paradox
