#include "app/frm_clientes.h"

QString TfrmClientes::TrocaVirgPPto(QString Valor)
{
    return Valor.replace(QChar('.'), QChar(','));
}
