#include "import/undo_service.h"

#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"
#include "platform/paradox/undo_record.h"
#include "platform/text/qt_text.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

QString textOf(const paradox::Value& v) { return QString::fromStdString(paradox::messageText(v)); }

} // namespace

UndoOutcome UndoService::run(ImportMode mode, const QString& pastaDados, const QString& pastaPrograma)
{
    const ModeDescriptor& m = descriptorOf(mode);
    const QString table = targetTable(mode, pastaDados);
    const QString tableName = QFileInfo(table).fileName();
    const std::string tablePath = QFile::encodeName(table).toStdString();
    const QString recordPath = undoRecordPath(pastaPrograma, table);
    const std::string recordName = QFile::encodeName(recordPath).toStdString();
    const QString nothing = QString::fromUtf8(m.nothingToUndo);
    std::vector<uint8_t> record;
    if (const auto status = paradox::readUndoRecord(recordName, tablePath, record); !status) {
        if (status.error() == ENOENT) {
            reporter_.report(nothing, true);
            return {UndoOutcome::Kind::Nothing, 0, nothing};
        }
        throw paradox::errorOf("Não foi possível ler " + recordName, status);
    }

    // The rows are listed from the table as it reads now; a real undo checks
    // it again under its locks before it changes anything.
    paradox::TableFile now(tablePath);
    paradox::UndoCheck check = paradox::checkUndo(tablePath, record);
    std::vector<std::vector<paradox::Value>> rows;
    if (check == paradox::UndoCheck::Ready)
        rows = paradox::rowsUndoRemoves(now, record);
    if (!simular_ && check != paradox::UndoCheck::NotARecord) {
        bool recovered = false;
        check = paradox::undo(tablePath, record, &recovered);
        if (recovered)
            reporter_.report(recoveryMessage(table), false);
    }
    if (check == paradox::UndoCheck::AlreadyUndone) {
        // The table is already as before that run (an undo or a recovery
        // was cut short before the record went).
        if (!simular_)
            QFile::remove(recordPath);
        const QString done = QStringLiteral("A tabela ") + tableName
                             + QStringLiteral(" já está como antes da última importação; não há o que desfazer.");
        reporter_.report(done, true);
        return {UndoOutcome::Kind::Nothing, 0, done};
    }
    if (check != paradox::UndoCheck::Ready) {
        const QString refused
            = check == paradox::UndoCheck::Changed
                  ? QStringLiteral("A tabela ") + tableName
                        + QStringLiteral(" foi alterada depois da última importação (pelo Pelko ou por outra "
                                         "importação); essa importação não pode mais ser desfeita. Nada foi alterado.")
                  : QStringLiteral("O registro para desfazer a última importação na tabela ") + tableName
                        + QStringLiteral(" (\"") + visibleText(recordPath)
                        + QStringLiteral("\") está danificado. Nada foi alterado.");
        reporter_.report(refused, true);
        return {UndoOutcome::Kind::Refused, 0, refused};
    }

    const int codigo = now.fieldIndex("Codigo");
    const int nome = now.fieldIndex(m.nameColumn);
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

    QFile::remove(recordPath);
    const QString noun = QString::fromUtf8(m.undoNoun);
    const QString plural = removed == 1 ? QString() : QStringLiteral("s");
    const QString done = QStringLiteral("Importação desfeita: ") + QString::number(removed) + noun + plural
                         + QStringLiteral(" removido") + plural + QStringLiteral(" da tabela ") + tableName
                         + QStringLiteral(", que voltou ao estado de antes da última importação.");
    reporter_.report(done, true);
    return {UndoOutcome::Kind::Undone, removed, done};
}
