#pragma once

#include <string>

// Every full stop of Valor becomes a comma.
std::string TrocaVirgPPto(std::string Valor);
