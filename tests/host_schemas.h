#pragma once

// The host's two tables with every column the import writes, as the table
// tools take a schema.
namespace hostSchema {
inline constexpr const char* clients =
    "Codigo:A6*,Data:D,Nome:A60,Endereco:A60,endNumero:A10,EndComplemento:A60,Bairro:A40,Cidade:A40,Estado:A2,"
    "CEP:A10,CGC:A18,Insc:A20,TagFisica:L,Telefone:A20,eMail:A60,lkUserInc:I";
inline constexpr const char* stock = "Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,"
                                     "PrecoCusto:$,CEST:A7,DataInc:D,CST:A3,LkUserInc:I,Origem:S";
} // namespace hostSchema
