#include "app/frm_clientes.h"

#include "app/window_env.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    log_.setPath(ActivityLog::pathIn(pastas.pastaPrograma));
    QString notice;
    if (!log_.write(mensagem, &notice)) {
        falhaInicializacao = true;
        if (!notice.isEmpty())
            env_.dialogs().message(notice);
    }
    if (alerta)
        env_.dialogs().message(mensagem);
}
