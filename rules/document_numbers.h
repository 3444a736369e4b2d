#pragma once

#include <QString>

// CPF and CNPJ: check digits and the printed forms. Pure functions.

// The decimal digits of palavra, in order.
QString justNumbers(QString palavra);
// 111.444.777-35 from the digits of a CPF.
QString FormataCPF(QString CPFLimpo);
// 11.444.777/0001-61 from the digits (and, in the first twelve places, the
// capital letters) of a CNPJ.
QString FormataCNPJ(QString CNPJSomenteNumeros);
bool ValidaCPF(QString CPF);
bool ValidaCNPJ(QString CNPJ);
