#include "platform/os/folder.h"
#include "platform/paradox/fence.h"

#include "platform/paradox/error.h"
#include "platform/paradox/file_users.h"

#include <cerrno>

namespace paradox {

Fence::Fence(const std::vector<std::string>& files, const std::string& tableName)
{
    for (const std::string& path : files) {
        os::File file;
        if (!os::File::open(path, os::Access::ReadWrite, file))
            continue;  // a file this user may not write cannot be fenced; detection still saw it
        if (const os::Status s = file.tryLockAgainstForeignWrites(); !s) {
            release();
            if (s.error() == EAGAIN || s.error() == EACCES)
                throw TableInUse("A tabela " + tableName + " está em uso por outro programa (bloqueio em "
                                 + path.substr(path.find_last_of(os::pathSeparators()) + 1)
                                 + "). Feche o aplicativo Pelko e execute a importação novamente.");
            throw Error("Não foi possível bloquear " + path + " para gravar a tabela " + tableName + ".");
        }
        files_.push_back(std::move(file));
    }
}

Fence::~Fence() { release(); }

void Fence::release()
{
    for (const os::File& file : files_)
        file.unlockForeignWrites();
    files_.clear();
}

std::unique_ptr<Fence> fenceForWriting(const std::string& tablePath, const std::string& tableName, bool lookForOthers)
{
    const std::vector<std::string> family = tableFamilyAndControlFiles(tablePath);
    if (lookForOthers)
        refuseForeignUse(family, tableName);
    return std::make_unique<Fence>(family, tableName);
}

} // namespace paradox
