#pragma once

#include <cstdint>
#include <string>

// One client file read into memory, its texts in UTF-8; Codigo carries the
// last code of a run.
struct TCliente {
    int32_t Codigo = 0;
    std::string CPFCNPJ;
    std::string Nome;
    std::string Logradoura;
    std::string Num;
    std::string Complemento;
    std::string Bairro;
    std::string Municipio;
    std::string UF;
    std::string CEP;
    std::string Telefone;
    std::string IE;
    std::string Email;
};

// One product file read into memory, its texts in UTF-8; Codigo carries the
// last code of a run.
struct TProduto {
    int32_t Codigo = 0;
    std::string EAN;
    std::string Desc;
    std::string NCM;
    std::string EXTIPI;
    std::string UN;
    std::string EANTri;
    double Custo = 0;
    std::string CEST;
    int32_t orig = -1;
    std::string CST_CSOSN;
};
