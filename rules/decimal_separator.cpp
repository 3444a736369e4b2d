#include "rules/decimal_separator.h"

QString TrocaVirgPPto(QString Valor)
{
    return Valor.replace(QChar('.'), QChar(','));
}
