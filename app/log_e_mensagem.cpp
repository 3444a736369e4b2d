#include "app/frm_clientes.h"

#include "app/dialogs.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    log_.setPath(ActivityLog::pathIn(pastas.pastaPrograma));
    QString notice;
    if (!log_.write(mensagem, &notice)) {
        falhaInicializacao = true;
        if (!notice.isEmpty())
            dialogs().message(notice);
    }
    if (alerta)
        dialogs().message(mensagem);
}
