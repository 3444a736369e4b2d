#include "import/import_service.h"

#include "host/qt_text.h"
#include "import/record_values.h"
#include "import/records.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "rules/document_numbers.h"
#include "rules/text_padding.h"

#include <stdexcept>

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

bool ImportService::importaCliente(xml::Document& documento, db::Query& consulta, TCliente& cliente)
{
    return importClient(documento.root().child("dest"), consulta, cliente);
}

// One recipient block, of an export file or of an NF-e document.
bool ImportService::importClient(const xml::Element& dest, db::Query& consulta, TCliente& cliente)
{
    const int32_t lastCode = cliente.Codigo;
    cliente = TCliente{};
    cliente.Codigo = lastCode;

    const QString cpf = trimmedText(dest.child("CPF"));
    const bool person = !cpf.isEmpty();
    bool accepted = true;
    const QString refused = QStringLiteral(" está inválido. Cliente não incluso no arquivo \".db\"!");
    if (person) {
        cliente.CPFCNPJ = QString::fromStdString(FormataCPF(cpf.toStdString()));
        if (ValidaCPF(cliente.CPFCNPJ.toStdString())) {
            log(QStringLiteral("CPF: ") + visibleText(cliente.CPFCNPJ) + QStringLiteral(" está correto!"));
        } else {
            log(QStringLiteral("O CPF: ") + visibleText(cliente.CPFCNPJ) + refused);
            accepted = false;
        }
    } else {
        cliente.CPFCNPJ = QString::fromStdString(FormataCNPJ(trimmedText(dest.child("CNPJ")).toStdString()));
        cliente.IE = trimmedText(dest.child("IE"));
        if (ValidaCNPJ(cliente.CPFCNPJ.toStdString())) {
            log(QStringLiteral("CNPJ: ") + visibleText(cliente.CPFCNPJ) + QStringLiteral(" está correto!"));
        } else {
            log(QStringLiteral("O CNPJ: ") + visibleText(cliente.CPFCNPJ) + refused);
            accepted = false;
        }
    }
    if (!accepted)
        return false;
    // Rural producers have a state registration beside their CPF.
    if (person)
        cliente.IE = trimmedText(dest.child("IE"));

    const xml::Element address = dest.child("enderDest");
    cliente.Nome = trimmedText(dest.child("xNome"));
    cliente.Logradoura = trimmedText(address.child("xLgr"));
    cliente.Num = trimmedText(address.child("nro"));
    cliente.Complemento = trimmedText(address.child("xCpl"));
    cliente.Bairro = trimmedText(address.child("xBairro"));
    cliente.Municipio = trimmedText(address.child("xMun"));
    cliente.UF = trimmedText(address.child("UF"));
    cliente.CEP = trimmedText(address.child("CEP"));
    cliente.Telefone = trimmedText(address.child("fone"));
    cliente.Email = trimmedText(dest.child("email"));
    cliente.CEP = withCepHyphen(cliente.CEP);

    const bool found = alreadyStored(consulta, "SELECT * FROM TABCLI WHERE cgc = :pCGC", cliente.CPFCNPJ, simulatedKeys_);
    if (found) {
        log(QStringLiteral("O CPF/CNPJ: ") + visibleText(cliente.CPFCNPJ)
                         + QStringLiteral(" já está cadastrado no banco de dados!"));
        return false;
    }

    // The code after the last one may be taken by a row whose code sorts
    // ahead of it as text ("8" before "000009").
    const int32_t code = nextFreeCode(consulta, "SELECT * FROM TABCLI WHERE codigo = :pCodigo", cliente.Codigo);
    // Past six digits the code would be cut to one already in use.
    if (code > largestCode)
        throw std::runtime_error("Não há mais códigos de cliente livres: o próximo passaria de "
                                 + std::to_string(largestCode) + ". Nenhum cliente foi incluído a partir de "
                                 + cliente.Nome.toStdString());
    cliente.Codigo = code;
    consulta.clearSql();
    consulta.addSql("insert into TABCLI ( Data, Codigo, Nome, Endereco, endNumero, CGC, Insc, EndComplemento, "
                    "Bairro, Cidade, Estado, CEP, TagFisica, Telefone, eMail, lkUserInc ) ");
    consulta.addSql("values ( :pData, :pCodigo, :pNome, :pLogradouro, :pNum, :pCNPJCPF, :pIE, :pComplemento, "
                    ":pBairro, :pCidade, :pUF, :pCEP, :pTagFisica, :pTelefone, :peMail, -1 ) ");
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
    consulta.paramByName("pTagFisica").setAsBoolean(person);
    setText(consulta, "pTelefone", cliente.Telefone);
    setText(consulta, "peMail", cliente.Email);
    if (simular_)
        simulatedKeys_.insert(cliente.CPFCNPJ);
    insertOrSimulate(consulta, QString::fromStdString(InteiroComZeros(cliente.Codigo, 6)), cliente.Nome);
    consulta.close();
    consulta.clearSql();
    if (!simular_)
        log(QStringLiteral("Cliente ") + visibleText(cliente.Nome) + QStringLiteral(" inserido com sucesso em TABCLI.db!"));
    return true;
}
