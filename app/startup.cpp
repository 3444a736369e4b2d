#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "app/program_end.h"
#include "app/single_instance.h"
#include "app/status_bar.h"
#include "host/host_discovery.h"
#include "host/shell_folders.h"
#include "host/working_folders.h"
#include "host/qt_text.h"

#include <QCoreApplication>
#include <QLabel>

namespace {
const QString caption = QStringLiteral("Quarrimo");
}

void TfrmClientes::FormCreate()
{
    falhaInicializacao = false;
    pastas.pastaCommonAppData = returnCSIDL(CSIDL_COMMON_APPDATA, false);
    pastas.pastaDocumentos = returnCSIDL(CSIDL_PERSONAL, false);
    pastas.pastaDados = getPastaDeDados();
    if (pastas.pastaDados.isEmpty())
        falhaInicializacao = true;
    pastas.pastaPrograma = programFolderIn(pastas.pastaCommonAppData);
    criarPastaProjeto();
    criarPastaTemporaria();
    versaoAplicacao = getVersaoDaAplicacao();
    if (falhaInicializacao)
        encerraPrograma();
    criaSessao();
    if (const QString missing = missingTablesMessage(pastas.pastaDados); !missing.isEmpty()) {
        LogEMensagem(missing, true);
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

QString TfrmClientes::getVersaoDaAplicacao() { return programVersion(); }

QString TfrmClientes::returnCSIDL(uint32_t ID, bool Create) { return shellFolder(ID, Create); }

QString TfrmClientes::getPastaDeDados()
{
    const HostLocation found = findHostData();
    pastas.pastaInstalacao = found.pastaInstalacao;
    if (!found.message.isEmpty())
        dialogs().message(found.message);
    return found.pastaDados;
}

void TfrmClientes::showStartupRefusal(const QString& message)
{
    if (message.isEmpty())
        return;
    dialogs().message(message);
    falhaInicializacao = true;
}

void TfrmClientes::criarPastaProjeto() { showStartupRefusal(createProgramFolder(pastas.pastaPrograma)); }

void TfrmClientes::criarPastaTemporaria()
{
    showStartupRefusal(createTemporaryFolder(pastas.pastaPrograma, pastas.pastaTemporaria));
}

void TfrmClientes::criaSessao()
{
    removeStaleLockFiles(pastas.pastaTemporaria, pastas.pastaDados, WinePrefix());
    const QString failure = openSession(session_, pastas.pastaDados, pastas.pastaTemporaria);
    if (failure.isEmpty())
        return;
    dialogs().message(failure);
    encerraPrograma();
}
