#include "import/undo_service.h"

#include "platform/paradox/error.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/text_form.h"
#include "platform/paradox/undo_record.h"
#include "platform/text/visible_text.h"

#include <cerrno>
#include <filesystem>

namespace {

void removeRecord(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

} // namespace

UndoOutcome UndoService::run(ImportMode mode, const std::string& pastaDados, const std::string& pastaPrograma)
{
    const ModeDescriptor& m = descriptorOf(mode);
    const std::string tablePath = targetTable(mode, pastaDados);
    const std::string tableName = m.tableFile;
    const std::string recordName = undoRecordPath(pastaPrograma, tablePath);
    const std::string nothing = m.nothingToUndo;
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
            reporter_.report(recoveryMessage(tablePath), false);
    }
    if (check == paradox::UndoCheck::AlreadyUndone) {
        // The table is already as before that run (an undo or a recovery
        // was cut short before the record went).
        if (!simular_)
            removeRecord(recordName);
        const std::string done = "A tabela " + tableName + " já está como antes da última importação; não há o que desfazer.";
        reporter_.report(done, true);
        return {UndoOutcome::Kind::Nothing, 0, done};
    }
    if (check != paradox::UndoCheck::Ready) {
        const std::string refused
            = check == paradox::UndoCheck::Changed
                  ? "A tabela " + tableName
                        + " foi alterada depois da última importação (pelo Pelko ou por outra importação); essa "
                          "importação não pode mais ser desfeita. Nada foi alterado."
                  : "O registro para desfazer a última importação na tabela " + tableName + " (\""
                        + text::visible(recordName) + "\") está danificado. Nada foi alterado.";
        reporter_.report(refused, true);
        return {UndoOutcome::Kind::Refused, 0, refused};
    }

    const int codigo = now.fieldIndex("Codigo");
    const int nome = now.fieldIndex(m.nameColumn);
    for (const auto& row : rows) {
        const std::string c = codigo >= 0 ? paradox::messageText(row[size_t(codigo)]) : std::string();
        const std::string n = nome >= 0 ? paradox::messageText(row[size_t(nome)]) : std::string();
        if (simular_)
            reporter_.wouldRemove(c, n);
        else
            reporter_.report("Registro removido: " + c + ' ' + text::visible(n), false);
    }
    const int removed = int(rows.size());
    if (simular_)
        return {UndoOutcome::Kind::Undone, removed, {}};

    removeRecord(recordName);
    const std::string plural = removed == 1 ? "" : "s";
    const std::string done = "Importação desfeita: " + std::to_string(removed) + m.undoNoun + plural + " removido"
                             + plural + " da tabela " + tableName
                             + ", que voltou ao estado de antes da última importação.";
    reporter_.report(done, true);
    return {UndoOutcome::Kind::Undone, removed, done};
}
