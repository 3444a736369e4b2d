#include "host/working_folders.h"

#include "host/host_paths.h"
#include "platform/os/file_users.h"
#include "platform/sql/session.h"
#include "platform/text/qt_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool folderExists(const QString& path) { return QFileInfo(path).isDir(); }

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Deletes a lock file of the database engine left behind by a copy that is
// gone. One that a running engine (the host under Wine, say) holds open or
// locked is left alone: deleting it would break that engine's locking. The
// folder is held open while the file is judged and deleted, so that a link
// put in place of either meanwhile leads nowhere else; the program's own
// folder is never taken through a link.
void removeStaleLockFile(const QString& folder, const QString& name, bool folderMayBeLink)
{
    if (folder.isEmpty())
        return;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folderMayBeLink ? 0 : O_NOFOLLOW);
    const int dir = ::open(QFile::encodeName(folder).constData(), flags);
    if (dir < 0)
        return;
    const QByteArray entry = QFile::encodeName(QFileInfo(hostFile(folder, name)).fileName());
    struct stat st {};
    const std::string throughDir = "/proc/self/fd/" + std::to_string(dir) + "/" + entry.toStdString();
    if (::fstatat(dir, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
        && !os::fileInUseByOthers(throughDir))
        ::unlinkat(dir, entry.constData(), 0);
    ::close(dir);
}

// A working folder that is a link would send what the program writes and
// deletes there somewhere else: it is refused, not used.
StartupStatus refusalAsLink(const QString& path, const QString& which)
{
    if (!isLink(path))
        return StartupStatus::passed();
    return StartupStatus::refused(QStringLiteral("A ") + which
                                  + QStringLiteral(" do programa é um link para outro lugar e não será usada: ")
                                  + visibleText(path) + QStringLiteral("\r\rA aplicação será finalizada"));
}

} // namespace

QString programFolderIn(const QString& pastaCommonAppData)
{
    return pastaCommonAppData + QStringLiteral("/Harbek/Tessaly.exe");
}

StartupStatus createProgramFolder(const QString& pastaPrograma)
{
    if (StartupStatus link = refusalAsLink(pastaPrograma, QStringLiteral("pasta")); !link.ok())
        return link;
    if (!folderExists(pastaPrograma))
        QDir().mkpath(pastaPrograma);
    if (folderExists(pastaPrograma))
        return StartupStatus::passed();
    return StartupStatus::refused(
        QStringLiteral("Não foi possível criar uma pasta do programa!\r\rA aplicação será finalizada"));
}

StartupStatus createTemporaryFolder(const QString& pastaPrograma, QString& pastaTemporaria)
{
    const QString path = pastaPrograma + QStringLiteral("/temp");
    if (isLink(pastaPrograma))
        return StartupStatus::passed();  // refused already, and never entered
    if (StartupStatus link = refusalAsLink(path, QStringLiteral("pasta temporária")); !link.ok())
        return link;
    if (!folderExists(path))
        QDir().mkpath(path);
    if (folderExists(path)) {
        pastaTemporaria = path;
        return StartupStatus::passed();
    }
    return StartupStatus::refused(
        QStringLiteral("Não foi possível criar a pasta temporária do programa!\r\rA aplicação será finalizada"));
}

void removeStaleLockFiles(const QString& pastaTemporaria, const QString& pastaDados, const WinePrefix& prefix)
{
    removeStaleLockFile(pastaTemporaria, QStringLiteral("PDOXUSRS.LCK"), false);
    removeStaleLockFile(pastaTemporaria, QStringLiteral("PARADOX.LCK"), false);
    // The host's folders are reached through the prefix's drive links.
    removeStaleLockFile(pastaDados, QStringLiteral("PDOXUSRS.LCK"), true);
    removeStaleLockFile(pastaDados, QStringLiteral("PARADOX.LCK"), true);
    removeStaleLockFile(pastaDados, QStringLiteral("PDOXUSRS.NET"), true);
    removeStaleLockFile(prefix.nativePath(QStringLiteral("C:\\")), QStringLiteral("PDOXUSRS.NET"), true);
}

StartupStatus openSession(db::Session& session, const QString& pastaDados, const QString& pastaTemporaria)
{
    session.setNetFileDir(pastaDados.toStdString());
    if (!folderExists(pastaTemporaria))
        QDir().mkpath(pastaTemporaria);
    if (!folderExists(pastaTemporaria))
        return StartupStatus::refused(QStringLiteral("Ocorreu um erro na criação da pasta ") + pastaTemporaria);
    session.setPrivateDir(pastaTemporaria.toStdString());
    return StartupStatus::passed();
}
