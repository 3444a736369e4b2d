#include "import/import_service.h"

#include "import/import_error.h"
#include "import/record_values.h"
#include "nfe/client_reader.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "rules/document_numbers.h"
#include "platform/text/visible_text.h"
#include "rules/text_padding.h"

bool ImportService::importaCliente(xml::Document& documento, db::Query& consulta, TCliente& cliente)
{
    return importClient(nfe::exportedRecipient(documento.root()), consulta, cliente);
}

// One recipient block, of an export file or of an NF-e document.
bool ImportService::importClient(const xml::Element& dest, db::Query& consulta, TCliente& cliente)
{
    const int32_t lastCode = cliente.Codigo;
    cliente = TCliente{};
    cliente.Codigo = lastCode;

    const nfe::ClientIdentity identity = nfe::readClientIdentity(dest);
    cliente.CPFCNPJ = identity.number;
    const std::string kind = identity.person ? "CPF: " : "CNPJ: ";
    if (!(identity.person ? ValidaCPF(cliente.CPFCNPJ) : ValidaCNPJ(cliente.CPFCNPJ))) {
        log("O " + kind + text::visible(cliente.CPFCNPJ) + " está inválido. Cliente não incluso no arquivo \".db\"!");
        return false;
    }
    log(kind + text::visible(cliente.CPFCNPJ) + " está correto!");
    cliente = nfe::readClient(dest, identity);
    cliente.Codigo = lastCode;

    const ModeDescriptor& mode = descriptorOf(ImportMode::Clientes);
    if (alreadyStored(consulta, mode.keyLookup, cliente.CPFCNPJ, simulatedKeys_)) {
        log("O CPF/CNPJ: " + text::visible(cliente.CPFCNPJ) + " já está cadastrado no banco de dados!");
        return false;
    }

    // The code after the last one may be taken by a row whose code sorts
    // ahead of it as text ("8" before "000009").
    const int32_t code = nextFreeCode(consulta, mode.codeLookup, cliente.Codigo);
    // Past six digits the code would be cut to one already in use.
    if (code > largestCode)
        throw ImportError("Não há mais códigos de cliente livres: o próximo passaria de "
                          + std::to_string(largestCode) + ". Nenhum cliente foi incluído a partir de "
                          + cliente.Nome);
    cliente.Codigo = code;
    writeInsert(consulta, ImportMode::Clientes, false);
    consulta.paramByName("pData").setAsDateTime(today());
    setText(consulta, "pCodigo", InteiroComZeros(cliente.Codigo, 6));
    setText(consulta, "pNome", cliente.Nome);
    setText(consulta, "pLogradouro", cliente.Logradoura);
    setText(consulta, "pNum", cliente.Num);
    setText(consulta, "pCNPJCPF", cliente.CPFCNPJ);
    setText(consulta, "pIE", cliente.IE);
    setText(consulta, "pComplemento", cliente.Complemento);
    setText(consulta, "pBairro", cliente.Bairro);
    setText(consulta, "pCidade", cliente.Municipio);
    setText(consulta, "pUF", cliente.UF);
    setText(consulta, "pCEP", cliente.CEP);
    consulta.paramByName("pTagFisica").setAsBoolean(identity.person);
    setText(consulta, "pTelefone", cliente.Telefone);
    setText(consulta, "peMail", cliente.Email);
    if (simular_)
        simulatedKeys_.insert(cliente.CPFCNPJ);
    insertOrSimulate(consulta, InteiroComZeros(cliente.Codigo, 6), cliente.Nome);
    consulta.close();
    consulta.clearSql();
    if (!simular_)
        log("Cliente " + text::visible(cliente.Nome) + " inserido com sucesso em TABCLI.db!");
    return true;
}
