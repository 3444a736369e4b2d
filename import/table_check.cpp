#include "app/frm_clientes.h"

#include "app/program_end.h"
#include "app/shared_state.h"
#include "platform/sql/table.h"

namespace {

const char* const productColumns[] = {"Codigo", "cEAN", "Produto", "CodIPI", "Unidade",
                                      "cEANTrib", "PrecoCusto", "CEST", "CST", "Origem"};
const char* const clientColumns[] = {"Nome", "Endereco", "EndNumero", "EndComplemento", "Bairro",
                                     "Cidade", "Estado", "CEP", "CGC", "Insc"};

} // namespace

void TfrmClientes::campoExite(db::Table& tabela, const QString& campo)
{
    if (tabela.hasField(campo.toStdString()))
        return;
    LogEMensagem(QStringLiteral("Não foi localizado o campo \"") + campo
                     + QStringLiteral("\" na (TABEST1.db)! A aplicação será finalizada!\r\n"
                                      "É necessário atualizar o software Pelko!"),
                 true);
    encerraPrograma();
}

// Before a run writes anything, the mode's table must have every column the
// run relies on; the first one missing ends the program.
void TfrmClientes::checkTargetTable(bool clientMode)
{
    table_ = std::make_unique<db::Table>();
    table_->setDatabaseName(pastaDados.toStdString());
    table_->setTableName((pastaDados + (clientMode ? QStringLiteral("/TabCli.db") : QStringLiteral("/TabEst1.db")))
                             .toStdString());
    table_->open();
    if (clientMode) {
        for (const char* column : clientColumns) {
            if (!table_->hasField(column)) {
                LogEMensagem(QStringLiteral("Não foi localizado o campo \"") + QString::fromLatin1(column)
                                 + QStringLiteral("\" na (TABCLI.db)! A aplicação será finalizada!"),
                             true);
                encerraPrograma();
            }
        }
    } else {
        for (const char* column : productColumns)
            campoExite(*table_, QString::fromLatin1(column));
    }
    table_->close();
    std::unique_ptr<db::Table> released = std::move(table_);
}
