#include "app/frm_clientes.h"

#include "app/window_env.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    log_.setPath(ActivityLog::pathIn(pastas.pastaPrograma.toStdString()));
    std::string notice;
    if (!log_.write(mensagem.toStdString(), &notice)) {
        falhaInicializacao = true;
        if (!notice.empty())
            env_.dialogs().message(QString::fromStdString(notice));
    }
    if (alerta)
        env_.dialogs().message(mensagem);
}
