#include "nfe/client_reader.h"

#include "nfe/element_text.h"
#include "platform/xml/document.h"
#include "platform/text/utf8_text.h"
#include "rules/document_numbers.h"

namespace nfe {

namespace {

// Eight digits get the hyphen after the fifth; a CEP that has it already, or
// none at all, stays as it is. Up to eight characters follow the hyphen.
std::string withCepHyphen(const std::string& cep)
{
    const std::string_view head = text::leftCharacters(cep, 5);
    const std::string_view rest = std::string_view(cep).substr(head.size());
    if (cep.empty() || rest.starts_with('-'))
        return cep;
    return std::string(head) + '-' + std::string(text::leftCharacters(rest, 8));
}

} // namespace

xml::Element exportedRecipient(const xml::Element& root) { return root.child("dest"); }

ClientIdentity readClientIdentity(const xml::Element& dest)
{
    const std::string cpf = trimmedText(dest.child("CPF"));
    if (!cpf.empty())
        return {true, FormataCPF(cpf)};
    return {false, FormataCNPJ(trimmedText(dest.child("CNPJ")))};
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
    return !trimmedText(dest.child("CPF")).empty() || !trimmedText(dest.child("CNPJ")).empty();
}

} // namespace nfe
