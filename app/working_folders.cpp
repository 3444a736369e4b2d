#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "app/host_paths.h"
#include "app/program_end.h"
#include "app/shared_state.h"
#include "app/wine_prefix.h"
#include "platform/paradox/file_users.h"
#include "platform/sql/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool folderExists(const QString& path) { return QFileInfo(path).isDir(); }

// Deletes a lock file of the database engine left behind by a copy that is
// gone. One that a running engine (the host under Wine, say) holds open or
// locked is left alone: deleting it would break that engine's locking.
void removeStaleLockFile(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return;
    const QString path = hostFile(folder, name);
    if (!QFileInfo(path).isFile() || paradox::fileInUseByOthers(QFile::encodeName(path).toStdString()))
        return;
    QFile::remove(path);
}

} // namespace

void TfrmClientes::criarPastaProjeto()
{
    if (!folderExists(pastaPrograma))
        QDir().mkpath(pastaPrograma);
    if (folderExists(pastaPrograma))
        return;
    dialogs().message(QStringLiteral("Não foi possível criar uma pasta do programa!\r\rA aplicação será finalizada"));
    falhaInicializacao = true;
}

void TfrmClientes::criarPastaTemporaria()
{
    const QString path = pastaPrograma + QStringLiteral("/temp");
    if (!folderExists(path))
        QDir().mkpath(path);
    if (folderExists(path)) {
        pastaTemporaria = path;
        return;
    }
    dialogs().message(
        QStringLiteral("Não foi possível criar a pasta temporária do programa!\r\rA aplicação será finalizada"));
    falhaInicializacao = true;
}

void TfrmClientes::criaSessao()
{
    removeStaleLockFile(pastaTemporaria, QStringLiteral("PDOXUSRS.LCK"));
    removeStaleLockFile(pastaTemporaria, QStringLiteral("PARADOX.LCK"));
    removeStaleLockFile(pastaDados, QStringLiteral("PDOXUSRS.LCK"));
    removeStaleLockFile(pastaDados, QStringLiteral("PARADOX.LCK"));
    removeStaleLockFile(pastaDados, QStringLiteral("PDOXUSRS.NET"));
    removeStaleLockFile(WinePrefix().nativePath(QStringLiteral("C:\\")), QStringLiteral("PDOXUSRS.NET"));

    db::Session& session = db::Session::defaultSession();
    session.setNetFileDir(pastaDados.toStdString());
    if (!folderExists(pastaTemporaria))
        QDir().mkpath(pastaTemporaria);
    if (folderExists(pastaTemporaria)) {
        session.setPrivateDir(pastaTemporaria.toStdString());
        return;
    }
    dialogs().message(QStringLiteral("Ocorreu um erro na criação da pasta ") + pastaTemporaria);
    encerraPrograma();
}
