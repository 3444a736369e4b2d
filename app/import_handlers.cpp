// The window's side of an import and of the folder search: it hands the work
// to the services and shows what they report.

#include "app/frm_clientes.h"

#include "app/error_recovery.h"
#include "app/folder_dialog.h"
#include "app/labeled_edit.h"
#include "app/screen_cursor.h"
#include "app/window_env.h"
#include "folders/folder_search.h"
#include "app/qt_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

namespace {

// A run's lines go to the log, its messages to boxes; between entries the
// window processes its events under the matching busy cursor.
class WindowReporter final : public ImportReporter {
public:
    explicit WindowReporter(TfrmClientes& window) : window_(window) {}

    void report(const std::string& line, bool tell) override { window_.LogEMensagem(QString::fromStdString(line), tell); }
    void pause(Pause at) override
    {
        QCoreApplication::processEvents();
        if (at == Pause::FolderEntry)
            setScreenCursor(crSQLWait);
    }

private:
    TfrmClientes& window_;
};

} // namespace

// The folder the run reads: the one typed or pasted into the field when it
// differs from the one last chosen in the dialog.
QString TfrmClientes::runFolder() const
{
    const QString typed = ledtCaminho->text();
    if (typed == pastas.pastaXML)
        return pastas.pastaXML;
    const QUrl url(typed);
    if (url.isLocalFile())
        return url.toLocalFile();
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        return QDir::homePath() + typed.mid(1);
    return typed;
}

void TfrmClientes::btnImportarClick()
{
    QCoreApplication::processEvents();
    setScreenCursor(crHourGlass);
    const ImportMode mode = itemIndex() == 0 ? ImportMode::Clientes : ImportMode::Produtos;
    if (mode == ImportMode::Produtos)
        estado.codigoProduto.clear();

    ledtCaminho->setText(trimControls(ledtCaminho->text()));
    if (ledtCaminho->text().isEmpty()) {
        btnPesquisarClick();
        if (ledtCaminho->text().isEmpty())
            return;
    }
    alteraStatusComponentes(false);
    // An error that ends the run leaves the window usable after its box.
    const RecoveryAfterError recovery(recovery_, [this] { alteraStatusComponentes(true); });
    try {
        WindowReporter reporter(*this);
        ImportService service(session_, reporter);
        service.setUndoFolder(pastas.pastaPrograma.toStdString());
        const ImportOutcome outcome
            = service.run(mode, pastas.pastaDados.toStdString(), runFolder().toStdString(), estado);
        if (outcome.kind == ImportOutcome::Kind::MissingColumn) {
            LogEMensagem(QString::fromStdString(outcome.message), true);
            encerraPrograma();
        }
        alteraStatusComponentes(true);
    } catch (const std::exception& e) {
        // The log tells why a run ended, not only the box.
        LogEMensagem(visibleText(QString::fromUtf8(e.what())), false);
        throw;
    }
}

void TfrmClientes::btnPesquisarClick()
{
    alteraStatusComponentes(false);
    pastas.pastaEncontrada.clear();
    BuscaPasta(itemIndex() == 0 ? QStringLiteral("CLIENTE-") : QStringLiteral("PRODUTO-"), QStringLiteral(".xml"),
               pastas.pastaDocumentos, pastas.pastaCommonAppData);
    pastas.pastaXML = SelecionaPasta(env_.dialogs(), QStringLiteral("Informe a pasta onde estão os arquivos XML"),
                                     BIF_RETURNONLYFSDIRS, pastas.pastaEncontrada);
    alteraStatusComponentes(true);
    ledtCaminho->setText(pastas.pastaXML);
}

void TfrmClientes::BuscaPasta(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                              const QString& NaoIncluir)
{
    FolderSearch search([this](const std::string& line) { LogEMensagem(QString::fromStdString(line), false); },
                        [] { QCoreApplication::processEvents(); });
    pastas.pastaEncontrada = QString::fromStdString(
        search.find(Arquivo.toStdString(), Extensao.toStdString(), Pasta.toStdString(), NaoIncluir.toStdString()));
}
