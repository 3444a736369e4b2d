#include "app/frm_clientes.h"

#include "app/labeled_edit.h"
#include "app/shared_state.h"
#include "folders/directory_search.h"
#include "folders/folder_dialog.h"
#include "platform/xml/document.h"

#include <QCoreApplication>
#include <QFile>

#include <set>
#include <sys/stat.h>

namespace {

QString withoutTrailingDelimiter(const QString& path)
{
    return path.endsWith(QChar('/')) && path.size() > 1 ? path.left(path.size() - 1) : path;
}

// The extension of a name: from its last "." on, empty without one.
QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QChar('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

} // namespace

void TfrmClientes::btnPesquisarClick()
{
    alteraStatusComponentes(false);
    pastaEncontrada.clear();
    BuscaPasta(itemIndex() == 0 ? QStringLiteral("CLIENTE-") : QStringLiteral("PRODUTO-"), QStringLiteral(".xml"),
               pastaDocumentos, pastaCommonAppData);
    pastaXML = SelecionaPasta(QStringLiteral("Informe a pasta onde estão os arquivos XML"), BIF_RETURNONLYFSDIRS,
                              pastaEncontrada);
    alteraStatusComponentes(true);
    ledtCaminho->setText(pastaXML);
}

void TfrmClientes::BuscaPasta(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                              const QString& NaoIncluir)
{
    // Links can lead back up the tree: a folder already searched is never
    // entered again in the same search.
    std::set<std::pair<uint64_t, uint64_t>> visited;
    searchFolder(Arquivo, Extensao, Pasta, NaoIncluir, visited);
}

void TfrmClientes::searchFolder(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                                const QString& NaoIncluir, std::set<std::pair<uint64_t, uint64_t>>& visited)
{
    struct stat st {};
    if (::stat(QFile::encodeName(Pasta).constData(), &st) != 0
        || !visited.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)}).second)
        return;
    const QString base = withoutTrailingDelimiter(Pasta);
    DirectorySearch search;
    TSearchRec entry;
    if (search.findFirst(base, QStringLiteral("*.*"), entry) != 0)
        return;
    const QString excluded = asciiLower(NaoIncluir);
    const QString wanted = asciiUpper(Arquivo);
    const QString wantedExtension = asciiUpper(Extensao);
    while (pastaEncontrada.isEmpty()) {
        const QString& name = entry.Name;
        const bool skip = name == QLatin1String(".") || name == QLatin1String("..")
                       || excluded.contains(asciiLower(name)) || asciiUpper(name).contains(QLatin1String("$RECYCLE.BIN"));
        if (!skip) {
            if (entry.Attr & faDirectory) {
                searchFolder(Arquivo, Extensao, base + QChar('/') + name, NaoIncluir, visited);
            } else if (asciiUpper(name).contains(wanted) && asciiUpper(extensionOf(name)) == wantedExtension) {
                // Only a regular file makes the folder an export folder.
                const QByteArray path = QFile::encodeName(base) + '/' + entry.nativeName;
                const std::string reason = xml::passedOver(path.toStdString(), name.toStdString());
                if (reason.empty())
                    pastaEncontrada = Pasta;
                else
                    LogEMensagem(QString::fromStdString(reason), false);
            }
        }
        if (search.findNext(entry) != 0)
            break;
        QCoreApplication::processEvents();
    }
}
