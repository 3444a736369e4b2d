#include "nfe/client_reader.h"

#include "nfe/element_text.h"
#include "platform/xml/document.h"
#include "rules/document_numbers.h"

namespace nfe {

namespace {

// Eight digits get the hyphen after the fifth; a CEP that has it already, or
// none at all, stays as it is.
QString withCepHyphen(const QString& cep)
{
    const bool hyphenated = cep.size() > 5 && cep.at(5) == QChar('-');
    if (cep.isEmpty() || hyphenated)
        return cep;
    return cep.mid(0, 5) + QChar('-') + cep.mid(5, 8);
}

} // namespace

xml::Element exportedRecipient(const xml::Element& root) { return root.child("dest"); }

ClientIdentity readClientIdentity(const xml::Element& dest)
{
    const QString cpf = trimmedText(dest.child("CPF"));
    if (!cpf.isEmpty())
        return {true, QString::fromStdString(FormataCPF(cpf.toStdString()))};
    return {false, QString::fromStdString(FormataCNPJ(trimmedText(dest.child("CNPJ")).toStdString()))};
}

TCliente readClient(const xml::Element& dest, const ClientIdentity& identity)
{
    TCliente cliente;
    cliente.CPFCNPJ = identity.number;
    // Rural producers have a state registration beside their CPF.
    cliente.IE = trimmedText(dest.child("IE"));
    const xml::Element address = dest.child("enderDest");
    cliente.Nome = trimmedText(dest.child("xNome"));
    cliente.Logradoura = trimmedText(address.child("xLgr"));
    cliente.Num = trimmedText(address.child("nro"));
    cliente.Complemento = trimmedText(address.child("xCpl"));
    cliente.Bairro = trimmedText(address.child("xBairro"));
    cliente.Municipio = trimmedText(address.child("xMun"));
    cliente.UF = trimmedText(address.child("UF"));
    cliente.CEP = withCepHyphen(trimmedText(address.child("CEP")));
    cliente.Telefone = trimmedText(address.child("fone"));
    cliente.Email = trimmedText(dest.child("email"));
    return cliente;
}

bool hasTaxNumber(const xml::Element& dest)
{
    return !trimmedText(dest.child("CPF")).isEmpty() || !trimmedText(dest.child("CNPJ")).isEmpty();
}

} // namespace nfe
