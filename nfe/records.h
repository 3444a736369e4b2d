#pragma once

#include <QString>
#include <cstdint>

// One client file read into memory; Codigo carries the last code of a run.
struct TCliente {
    int32_t Codigo = 0;
    QString CPFCNPJ;
    QString Nome;
    QString Logradoura;
    QString Num;
    QString Complemento;
    QString Bairro;
    QString Municipio;
    QString UF;
    QString CEP;
    QString Telefone;
    QString IE;
    QString Email;
};

// One product file read into memory; Codigo carries the last code of a run.
struct TProduto {
    int32_t Codigo = 0;
    QString EAN;
    QString Desc;
    QString NCM;
    QString EXTIPI;
    QString UN;
    QString EANTri;
    double Custo = 0;
    QString CEST;
    int32_t orig = -1;
    QString CST_CSOSN;
};
