#include "import/undo_service.h"

#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"
#include "platform/paradox/undo_record.h"
#include "host/qt_text.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString textOf(const paradox::Value& v) { return QString::fromStdString(paradox::messageText(v)); }

} // namespace

UndoOutcome UndoService::run(ImportMode mode, const QString& pastaDados, const QString& pastaPrograma)
{
    const bool clientMode = mode == ImportMode::Clientes;
    const QString table = targetTable(mode, pastaDados);
    const QString tableName = QFileInfo(table).fileName();
    const std::string tablePath = QFile::encodeName(table).toStdString();
    QFile recordFile(undoRecordPath(pastaPrograma, table));
    if (!recordFile.exists()) {
        const QString nothing = clientMode ? QStringLiteral("Não há importação de clientes para desfazer.")
                                           : QStringLiteral("Não há importação de produtos para desfazer.");
        reporter_.report(nothing, true);
        return {UndoOutcome::Kind::Nothing, 0, nothing};
    }
    if (!recordFile.open(QIODevice::ReadOnly))
        throw paradox::Error("Não foi possível ler " + recordFile.fileName().toStdString() + ": "
                             + recordFile.errorString().toStdString());
    const QByteArray bytes = recordFile.readAll();
    recordFile.close();
    const std::vector<uint8_t> record(bytes.begin(), bytes.end());

    // Opening the table finishes an undo or a run that was cut short.
    paradox::TableFile now(tablePath);
    if (now.recovered())
        reporter_.report(recoveryMessage(table), false);
    const paradox::UndoCheck check = paradox::checkUndo(tablePath, record);
    if (check != paradox::UndoCheck::Ready) {
        const QString refused
            = check == paradox::UndoCheck::Changed
                  ? QStringLiteral("A tabela ") + tableName
                        + QStringLiteral(" foi alterada depois da última importação (pelo Pelko ou por outra "
                                         "importação); essa importação não pode mais ser desfeita. Nada foi alterado.")
                  : QStringLiteral("O registro para desfazer a última importação na tabela ") + tableName
                        + QStringLiteral(" (\"") + visibleText(recordFile.fileName())
                        + QStringLiteral("\") está danificado. Nada foi alterado.");
        reporter_.report(refused, true);
        return {UndoOutcome::Kind::Refused, 0, refused};
    }

    const auto rows = paradox::rowsUndoRemoves(now, record);
    const int codigo = now.fieldIndex("Codigo");
    const int nome = now.fieldIndex(clientMode ? "Nome" : "Produto");
    for (const auto& row : rows) {
        const QString c = codigo >= 0 ? textOf(row[size_t(codigo)]) : QString();
        const QString n = nome >= 0 ? textOf(row[size_t(nome)]) : QString();
        if (simular_)
            reporter_.wouldRemove(c, n);
        else
            reporter_.report(QStringLiteral("Registro removido: ") + c + QLatin1Char(' ') + visibleText(n), false);
    }
    const int removed = int(rows.size());
    if (simular_)
        return {UndoOutcome::Kind::Undone, removed, {}};

    paradox::undo(tablePath, record);
    recordFile.remove();
    const QString noun = clientMode ? QStringLiteral(" cliente") : QStringLiteral(" produto");
    const QString plural = removed == 1 ? QString() : QStringLiteral("s");
    const QString done = QStringLiteral("Importação desfeita: ") + QString::number(removed) + noun + plural
                         + QStringLiteral(" removido") + plural + QStringLiteral(" da tabela ") + tableName
                         + QStringLiteral(", que voltou ao estado de antes da última importação.");
    reporter_.report(done, true);
    return {UndoOutcome::Kind::Undone, removed, done};
}
