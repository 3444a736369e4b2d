#include "app/frm_clientes.h"

#include "app/single_instance.h"
#include "app/status_bar.h"
#include "app/window_env.h"
#include "host/shell_folders.h"
#include "platform/text/qt_text.h"
#include "host/startup.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

const QString caption = QStringLiteral("Quarrimo");

// The start's refusals in message boxes; the missing tables also in the log.
class WindowStartupListener final : public StartupListener {
public:
    WindowStartupListener(TfrmClientes& window, Dialogs& dialogs) : window_(window), dialogs_(dialogs) {}

    void refused(const QString& message) override { dialogs_.message(message); }
    void tablesMissing(const QString& message) override { window_.LogEMensagem(message, true); }

private:
    TfrmClientes& window_;
    Dialogs& dialogs_;
};

} // namespace

void TfrmClientes::FormCreate()
{
    falhaInicializacao = false;
    WindowStartupListener listener(*this, env_.dialogs());
    const bool ready = Startup(pastas, session_, listener).run();
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

QString TfrmClientes::getVersaoDaAplicacao() { return programVersion(); }

QString TfrmClientes::getPastaDeDados()
{
    WindowStartupListener listener(*this, env_.dialogs());
    Startup(pastas, session_, listener).findData();
    return pastas.pastaDados;
}
