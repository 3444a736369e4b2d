#include "platform/paradox/fence.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_users.h"

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

Fence::Fence(const std::vector<std::string>& files, const std::string& tableName,
             const std::vector<std::pair<std::string, int>>& open)
{
    for (const std::string& path : files) {
        int fd = -1;
        for (const auto& [openPath, openFd] : open)
            if (openPath == path)
                fd = openFd;
        const bool opened = fd < 0;
        if (opened)
            fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;  // a file this user may not write cannot be fenced; detection still saw it
        if (!lockWhole(fd, F_WRLCK)) {
            const int error = errno;
            if (opened)
                ::close(fd);
            release();
            if (error == EAGAIN || error == EACCES)
                throw TableInUse("A tabela " + tableName + " está em uso por outro programa (bloqueio em "
                                 + path.substr(path.find_last_of('/') + 1)
                                 + "). Feche o aplicativo Pelko e execute a importação novamente.");
            throw Error("Não foi possível bloquear " + path + " para gravar a tabela " + tableName + ".");
        }
        fds_.emplace_back(fd, opened);
    }
}

Fence::~Fence() { release(); }

void Fence::release()
{
    for (auto [fd, opened] : fds_) {
        lockWhole(fd, F_UNLCK);
        if (opened)
            ::close(fd);
    }
    fds_.clear();
}

std::unique_ptr<Fence> fenceForWriting(const std::string& tablePath, const std::string& tableName, bool lookForOthers)
{
    const std::vector<std::string> family = tableFamilyAndControlFiles(tablePath);
    if (lookForOthers)
        refuseForeignUse(family, tableName);
    return std::make_unique<Fence>(family, tableName);
}

} // namespace paradox
