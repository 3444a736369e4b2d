#pragma once

#include <string>

// CPF and CNPJ: check digits and the printed forms. Pure functions of UTF-8
// text; only ASCII characters ever count, so any other byte is passed over.

// The decimal digits of palavra, in order.
std::string justNumbers(std::string palavra);
// 111.444.777-35 from the digits of a CPF.
std::string FormataCPF(std::string CPFLimpo);
// 11.444.777/0001-61 from the digits (and, in the first twelve places, the
// capital letters) of a CNPJ.
std::string FormataCNPJ(std::string CNPJSomenteNumeros);
bool ValidaCPF(std::string CPF);
bool ValidaCNPJ(std::string CNPJ);
