#include "app/frm_clientes.h"

#include "app/host_paths.h"
#include "app/labeled_edit.h"
#include "app/program_end.h"
#include "app/shared_state.h"
#include "app/single_instance.h"
#include "app/status_bar.h"
#include "rules/text_padding.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>

namespace {
const QString caption = QStringLiteral("Quarrimo");
}

void TfrmClientes::FormCreate()
{
    falhaInicializacao = false;
    pastaCommonAppData = returnCSIDL(35, false);
    pastaDocumentos = returnCSIDL(5, false);
    pastaDados = getPastaDeDados();
    if (pastaDados.isEmpty())
        falhaInicializacao = true;
    pastaPrograma = pastaCommonAppData + QStringLiteral("/Harbek/Tessaly.exe");
    criarPastaProjeto();
    criarPastaTemporaria();
    versaoAplicacao = getVersaoDaAplicacao();
    if (falhaInicializacao)
        encerraPrograma();
    criaSessao();
    const QString missing = QStringLiteral("Não foi localizado um banco de dados do software Pelko na pasta ") + pastaDados;
    if (!QFileInfo(hostFile(pastaDados, QStringLiteral("tabcli.db"))).isFile()) {
        LogEMensagem(missing, true);
        encerraPrograma();
    }
    if (!QFileInfo(hostFile(pastaDados, QStringLiteral("tabEst1.db"))).isFile()) {
        LogEMensagem(missing, true);
        encerraPrograma();
    }
    LogEMensagem(QStringLiteral("Versão deste software = ") + versaoAplicacao, false);
    programaEstaAberto(caption);
    setWindowTitle(caption);
    singleInstance_->listen(caption, this);
    StatusBar1->panel(0)->setText(QStringLiteral("Pasta de dados do software Pelko: ") + pastaDados);
    StatusBar1->panel(1)->setText(QStringLiteral("Versão ") + versaoAplicacao);
    QCoreApplication::processEvents();
}

bool TfrmClientes::programaEstaAberto(QString appName)
{
    if (SingleInstance::askRunningCopyToRaise(trimControls(appName)))
        encerraPrograma();
    return false;
}

QString TfrmClientes::getVersaoDaAplicacao()
{
    return QStringLiteral("%1.%2.%3").arg(TESSALY_VERSION_MAJOR).arg(TESSALY_VERSION_MINOR).arg(TESSALY_VERSION_PATCH);
}
