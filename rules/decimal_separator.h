#pragma once

#include <QString>

// Every full stop of Valor becomes a comma.
QString TrocaVirgPPto(QString Valor);
