#include "app/frm_clientes.h"

#include "import/record_values.h"
#include "import/records.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "rules/text_padding.h"

#include <stdexcept>

bool TfrmClientes::importaCliente(xml::Document& documento, db::Query& consulta, TCliente& cliente)
{
    const int32_t lastCode = cliente.Codigo;
    cliente = TCliente{};
    cliente.Codigo = lastCode;

    const xml::Element dest = documento.root().child("dest");
    const QString cpf = trimmedText(dest.child("CPF"));
    const bool person = !cpf.isEmpty();
    bool accepted = true;
    const QString refused = QStringLiteral(" está inválido. Cliente não incluso no arquivo \".db\"!");
    if (person) {
        cliente.CPFCNPJ = FormataCPF(cpf);
        if (ValidaCPF(cliente.CPFCNPJ)) {
            LogEMensagem(QStringLiteral("CPF: ") + cliente.CPFCNPJ + QStringLiteral(" está correto!"), false);
        } else {
            LogEMensagem(QStringLiteral("O CPF: ") + cliente.CPFCNPJ + refused, false);
            accepted = false;
        }
    } else {
        cliente.CPFCNPJ = FormataCNPJ(trimmedText(dest.child("CNPJ")));
        cliente.IE = trimmedText(dest.child("IE"));
        if (ValidaCNPJ(cliente.CPFCNPJ)) {
            LogEMensagem(QStringLiteral("CNPJ: ") + cliente.CPFCNPJ + QStringLiteral(" está correto!"), false);
        } else {
            LogEMensagem(QStringLiteral("O CNPJ: ") + cliente.CPFCNPJ + refused, false);
            accepted = false;
        }
    }
    if (!accepted)
        return false;

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
    cliente.CEP = cliente.CEP.mid(0, 5) + QChar('-') + cliente.CEP.mid(5, 8);

    consulta.close();
    consulta.clearSql();
    consulta.addSql("SELECT * FROM TABCLI WHERE cgc = :pCGC");
    consulta.param(0).setAsString(cliente.CPFCNPJ.toStdString());
    consulta.open();
    const size_t found = consulta.recordCount();
    consulta.close();
    if (found > 0) {
        LogEMensagem(QStringLiteral("O CPF/CNPJ: ") + cliente.CPFCNPJ
                         + QStringLiteral(" já está cadastrado no banco de dados!"),
                     false);
        return false;
    }

    // Past six digits the code would be cut to one already in use.
    if (cliente.Codigo >= largestCode)
        throw std::runtime_error("Não há mais códigos de cliente livres: o próximo passaria de "
                                 + std::to_string(largestCode) + ". Nenhum cliente foi incluído a partir de "
                                 + cliente.Nome.toStdString());
    ++cliente.Codigo;
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
    consulta.execSql();
    consulta.close();
    consulta.clearSql();
    LogEMensagem(QStringLiteral("Cliente ") + cliente.Nome + QStringLiteral(" inserido com sucesso em TABCLI.db!"), false);
    return true;
}
