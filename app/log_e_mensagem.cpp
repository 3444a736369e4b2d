#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "rules/text_padding.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    log_.setPath(ActivityLog::pathIn(pastas.pastaPrograma));
    QString failure;
    if (!log_.write(mensagem, &failure)) {
        falhaInicializacao = true;
        // Said once: the boxes go on, only the record of them is missing.
        if (!logFailureTold_) {
            logFailureTold_ = true;
            dialogs().message(QStringLiteral("Não foi possível gravar o registro de atividades em ")
                              + visibleText(log_.path()) + QStringLiteral(": ") + failure
                              + QStringLiteral(". As mensagens continuam a ser mostradas, mas não ficam registradas."));
        }
    }
    if (alerta)
        dialogs().message(mensagem);
}
