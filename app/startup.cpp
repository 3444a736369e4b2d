#include "app/frm_clientes.h"

#include "app/single_instance.h"
#include "app/status_bar.h"
#include "app/window_env.h"
#include "host/shell_folders.h"
#include "app/qt_text.h"
#include "host/startup.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

const QString caption = QStringLiteral("Quarrimo");

// The start's refusals in message boxes; the missing tables also in the
// log, which lives in the program folder the start has found by then.
class WindowStartupListener final : public StartupListener {
public:
    WindowStartupListener(TfrmClientes& window, Dialogs& dialogs, const HostFolders& folders)
        : window_(window), dialogs_(dialogs), folders_(folders)
    {
    }

    void refused(const std::string& message) override { dialogs_.message(QString::fromStdString(message)); }
    void tablesMissing(const std::string& message) override
    {
        window_.pastas.take(folders_);
        window_.LogEMensagem(QString::fromStdString(message), true);
    }

private:
    TfrmClientes& window_;
    Dialogs& dialogs_;
    const HostFolders& folders_;
};

// The window's folders follow the start's as it ends, even when it raises.
class FoldersTaken {
public:
    FoldersTaken(TPastas& pastas, const HostFolders& folders) : pastas_(pastas), folders_(folders) {}
    ~FoldersTaken() { pastas_.take(folders_); }
    FoldersTaken(const FoldersTaken&) = delete;
    FoldersTaken& operator=(const FoldersTaken&) = delete;

private:
    TPastas& pastas_;
    const HostFolders& folders_;
};

} // namespace

HostFolders TPastas::hostFolders() const
{
    return {pastaCommonAppData.toStdString(), pastaDocumentos.toStdString(), pastaInstalacao.toStdString(),
            pastaDados.toStdString(),         pastaPrograma.toStdString(),   pastaTemporaria.toStdString()};
}

void TPastas::take(const HostFolders& folders)
{
    pastaCommonAppData = QString::fromStdString(folders.pastaCommonAppData);
    pastaDocumentos = QString::fromStdString(folders.pastaDocumentos);
    pastaInstalacao = QString::fromStdString(folders.pastaInstalacao);
    pastaDados = QString::fromStdString(folders.pastaDados);
    pastaPrograma = QString::fromStdString(folders.pastaPrograma);
    pastaTemporaria = QString::fromStdString(folders.pastaTemporaria);
}

void TfrmClientes::FormCreate()
{
    falhaInicializacao = false;
    HostFolders folders = pastas.hostFolders();
    WindowStartupListener listener(*this, env_.dialogs(), folders);
    const bool ready = [&] {
        const FoldersTaken taken(pastas, folders);
        return Startup(folders, session_, listener).run();
    }();
    versaoAplicacao = getVersaoDaAplicacao();
    if (!ready) {
        falhaInicializacao = true;
        encerraPrograma();
    }
    LogEMensagem(QStringLiteral("Versão deste software = ") + versaoAplicacao, false);
    programaEstaAberto(caption);
    setWindowTitle(caption);
    singleInstance_->listen(caption, this);
    StatusBar1->panel(0)->setText(QStringLiteral("Pasta de dados do software Pelko: ") + pastas.pastaDados);
    StatusBar1->panel(1)->setText(QStringLiteral("Versão ") + versaoAplicacao);
    QCoreApplication::processEvents();
}

bool TfrmClientes::programaEstaAberto(QString appName)
{
    if (SingleInstance::askRunningCopyToRaise(trimControls(appName)))
        encerraPrograma();
    return false;
}

QString TfrmClientes::getVersaoDaAplicacao() { return QString::fromStdString(programVersion()); }

QString TfrmClientes::getPastaDeDados()
{
    HostFolders folders = pastas.hostFolders();
    WindowStartupListener listener(*this, env_.dialogs(), folders);
    {
        const FoldersTaken taken(pastas, folders);
        Startup(folders, session_, listener).findData();
    }
    return pastas.pastaDados;
}
