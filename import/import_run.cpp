#include "app/frm_clientes.h"

#include "app/error_recovery.h"
#include "app/labeled_edit.h"
#include "app/screen_cursor.h"
#include "app/shared_state.h"
#include "folders/directory_search.h"
#include "import/integer_text.h"
#include "platform/paradox/error.h"
#include "platform/sql/query.h"
#include "platform/sql/session.h"
#include "platform/xml/document.h"
#include "rules/text_padding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QUrl>

namespace {

// What tells the two modes apart.
struct Mode {
    int32_t* lastCode;
    const char* lastCodeQuery;
    QString prefix;
    QString noun;
    QString nothingInserted;
};

Mode modeOf(bool clientMode)
{
    if (clientMode)
        return {&clienteAtual.Codigo, "SELECT codigo FROM TABCLI ORDER BY codigo DESC", QStringLiteral("CLIENTE-"),
                QStringLiteral(" cliente"), QStringLiteral("Nenhum cliente foi cadastrado!")};
    return {&produtoAtual.Codigo, "SELECT codigo FROM TabEst1 ORDER BY codigo DESC", QStringLiteral("PRODUTO-"),
            QStringLiteral(" Produto"), QStringLiteral("Nenhum Produto foi cadastrado!")};
}

} // namespace

void TfrmClientes::logFittedValues(const db::Query& consulta)
{
    for (const db::Query::Adjustment& a : consulta.adjustments())
        LogEMensagem(QStringLiteral("Arquivo \"") + registroBusca.Name + QStringLiteral("\": o valor do campo ")
                         + visibleText(QString::fromStdString(a.column))
                         + QStringLiteral(" foi ajustado ao tamanho e aos caracteres da tabela. Valor original: \"")
                         + visibleText(QString::fromStdString(a.original)) + QStringLiteral("\"."),
                     false);
}

// The folder the run reads: the one typed or pasted into the field when it
// differs from the one last chosen in the dialog.
QString TfrmClientes::runFolder() const
{
    const QString typed = ledtCaminho->text();
    if (typed == pastaXML)
        return pastaXML;
    const QUrl url(typed);
    if (url.isLocalFile())
        return url.toLocalFile();
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        return QDir::homePath() + typed.mid(1);
    return typed;
}

// One entry of the folder: read when it is a regular file within the size
// limit, passed over with a log line otherwise (a folder, a FIFO, a device).
bool TfrmClientes::importFile(const QByteArray& path, bool clientMode)
{
    const std::string reason = xml::passedOver(path.toStdString(), registroBusca.Name.toStdString());
    if (!reason.empty()) {
        LogEMensagem(QString::fromStdString(reason), false);
        return false;
    }
    LogEMensagem(QStringLiteral("Arquivo localizado: \"") + registroBusca.Name + QStringLiteral("\"."), false);
    try {
        xmlDocument_->load(path.toStdString());
    } catch (const xml::SkippedFile& e) {
        LogEMensagem(QString::fromUtf8(e.what()), false);
        return false;
    }
    return clientMode ? importaCliente(*xmlDocument_, *query_, clienteAtual)
                      : importaProduto(*xmlDocument_, *query_, produtoAtual);
}

void TfrmClientes::btnImportarClick()
{
    QCoreApplication::processEvents();
    setScreenCursor(crHourGlass);
    const bool clientMode = itemIndex() == 0;
    if (!clientMode)
        codigoProduto.clear();

    ledtCaminho->setText(trimControls(ledtCaminho->text()));
    if (ledtCaminho->text().isEmpty()) {
        btnPesquisarClick();
        if (ledtCaminho->text().isEmpty())
            return;
    }
    alteraStatusComponentes(false);
    // An error that ends the run leaves the window usable after its box.
    const RecoveryAfterError recovery([this] { alteraStatusComponentes(true); });
    try {
        runImport(clientMode);
    } catch (const std::exception& e) {
        // The log tells why a run ended, not only the box.
        LogEMensagem(visibleText(QString::fromUtf8(e.what())), false);
        throw;
    }
}

void TfrmClientes::runImport(bool clientMode)
{
    const Mode mode = modeOf(clientMode);

    checkTargetTable(clientMode);
    *mode.lastCode = 0;
    const QString pasta = runFolder();
    if (pasta.isEmpty()) {
        LogEMensagem(QStringLiteral("Informe a pasta onde estão os arquivos XML."), true);
        alteraStatusComponentes(true);
        return;
    }

    query_ = std::make_unique<db::Query>();
    query_->setDatabaseName(pastaDados.toStdString());
    query_->setFitTexts(true);
    LogEMensagem(QStringLiteral("Verificando último código cadastrado no banco de dados do software Pelko"), false);
    query_->clearSql();
    query_->addSql(mode.lastCodeQuery);
    query_->open();
    while (!query_->eof()) {
        int32_t code = 0;
        bool converted = false;
        try {
            converted = textToInt32(QString::fromStdString(query_->fieldAsString("CODIGO")), code);
        } catch (const paradox::Error&) {
            converted = false;
        }
        if (converted) {
            *mode.lastCode = code;
            break;
        }
        query_->next();
        QCoreApplication::processEvents();
    }
    LogEMensagem(QStringLiteral("Código retornado: ") + QString::number(*mode.lastCode), false);
    query_->close();
    query_->clearSql();

    LogEMensagem(QStringLiteral("Diretório informado pelo usuário: ") + visibleText(pasta), false);
    DirectorySearch search;
    resultadoBusca = search.findFirst(pasta, QStringLiteral("*.xml"), registroBusca);
    if (resultadoBusca != 0) {
        LogEMensagem(QStringLiteral("A pasta \"") + visibleText(pasta)
                         + QStringLiteral("\" não possui arquivos XML.\nPor favor, selecione outra pasta"),
                     true);
        alteraStatusComponentes(true);
        return;
    }

    if (!clientMode)
        produtoAtual.orig = -1;
    int32_t inserted = 0;
    xmlDocument_ = std::make_unique<xml::Document>();
    (clientMode ? xmlClientes : xmlProdutos) = xmlDocument_.get();
    while (resultadoBusca == 0) {
        QCoreApplication::processEvents();
        setScreenCursor(crSQLWait);
        if (registroBusca.Name.contains(mode.prefix, Qt::CaseSensitive))
            inserted += importFile(QFile::encodeName(pasta) + '/' + registroBusca.nativeName, clientMode) ? 1 : 0;
        resultadoBusca = search.findNext(registroBusca);
    }
    query_.reset();

    if (inserted < 1) {
        LogEMensagem(mode.nothingInserted, true);
    } else {
        const QString plural = inserted > 1 ? QStringLiteral("s") : QString();
        LogEMensagem(QString::number(inserted) + mode.noun + plural + QStringLiteral(" cadastrado") + plural
                         + QStringLiteral(" com sucesso!"),
                     true);
    }
    alteraStatusComponentes(true);
    db::Session::defaultSession().dropInactiveConnections();
}
