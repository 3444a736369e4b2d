#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "app/log_file.h"
#include "app/log_timestamp.h"
#include "app/shared_state.h"
#include "rules/text_padding.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    const QString entry = logTimestamp(QDateTime::currentDateTime()) + QLatin1String(" - ") + mensagem;
    const QString path = pastaPrograma + QLatin1String("/Tessaly.log");
    std::string failure;
    if (!activity_log::append(path.toStdString(), entry.toStdString(), &failure)) {
        falhaInicializacao = true;
        // Said once: the boxes go on, only the record of them is missing.
        if (!logFailureTold_) {
            logFailureTold_ = true;
            dialogs().message(QStringLiteral("Não foi possível gravar o registro de atividades em ") + visibleText(path)
                              + QStringLiteral(": ") + QString::fromStdString(failure)
                              + QStringLiteral(". As mensagens continuam a ser mostradas, mas não ficam registradas."));
        }
    }
    if (alerta)
        dialogs().message(mensagem);
}
