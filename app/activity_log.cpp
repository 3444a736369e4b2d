#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "app/log_file.h"
#include "app/log_timestamp.h"
#include "app/shared_state.h"

void TfrmClientes::LogEMensagem(const QString& mensagem, bool alerta)
{
    const QString entry = logTimestamp(QDateTime::currentDateTime()) + QLatin1String(" - ") + mensagem;
    const QString path = pastaPrograma + QLatin1String("/Tessaly.log");
    if (!activity_log::append(path.toStdString(), entry.toStdString())) {
        falhaInicializacao = true;
        return;
    }
    if (alerta)
        dialogs().message(mensagem);
}
