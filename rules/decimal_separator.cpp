#include "rules/decimal_separator.h"

#include <algorithm>

std::string TrocaVirgPPto(std::string Valor)
{
    std::replace(Valor.begin(), Valor.end(), '.', ',');
    return Valor;
}
