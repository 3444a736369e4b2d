#include "import/import_mode.h"

namespace {

const char* const clientColumns[] = {"Nome", "Endereco", "EndNumero", "EndComplemento", "Bairro",
                                     "Cidade", "Estado", "CEP", "CGC", "Insc"};
const char* const productColumns[] = {"Codigo", "cEAN", "Produto", "CodIPI", "Unidade",
                                      "cEANTrib", "PrecoCusto", "CEST", "CST", "Origem"};

constexpr ModeDescriptor clientes{
    "TabCli.db",
    "CLIENTE-",
    "SELECT codigo FROM TABCLI ORDER BY codigo DESC",
    "SELECT * FROM TABCLI WHERE codigo = :pCodigo",
    "SELECT * FROM TABCLI WHERE cgc = :pCGC",
    "insert into TABCLI ( Data, Codigo, Nome, Endereco, endNumero, CGC, Insc, EndComplemento, "
    "Bairro, Cidade, Estado, CEP, TagFisica, Telefone, eMail, lkUserInc",
    "values ( :pData, :pCodigo, :pNome, :pLogradouro, :pNum, :pCNPJCPF, :pIE, :pComplemento, "
    ":pBairro, :pCidade, :pUF, :pCEP, :pTagFisica, :pTelefone, :peMail, -1",
    nullptr,
    nullptr,
    clientColumns,
    "\" na (TABCLI.db)! A aplicação será finalizada!",
    "Nome",
    " cliente",
    "Nenhum cliente foi cadastrado!",
    " cliente",
    "Não há importação de clientes para desfazer.",
};

constexpr ModeDescriptor produtos{
    "TabEst1.db",
    "PRODUTO-",
    "SELECT codigo FROM TabEst1 ORDER BY codigo DESC",
    "SELECT * FROM TABEST1 WHERE codigo = :pCodigo",
    "SELECT * FROM TABEST1 WHERE codigo = :pCodigo",
    "insert into TABEST1 ( Codigo, cEAN, cEANTrib, Produto, CodIPI, Unidade, PrecoCusto, CEST, "
    "DataInc, CST, LkUserInc",
    "values ( :pCodigo, :pcEAN, :pcEANTrib, :pProduto, :pCodIPI, :pUnidade, :pPrecoCusto, :pCEST, "
    ":pDataInc, :pCST, -1",
    "Origem",
    ":pOrigem",
    productColumns,
    "\" na (TABEST1.db)! A aplicação será finalizada!\r\nÉ necessário atualizar o software Pelko!",
    "Produto",
    " Produto",
    "Nenhum Produto foi cadastrado!",
    " produto",
    "Não há importação de produtos para desfazer.",
};

constexpr ImportMode everyMode[] = {ImportMode::Clientes, ImportMode::Produtos};

} // namespace

const ModeDescriptor& descriptorOf(ImportMode mode)
{
    switch (mode) {
    case ImportMode::Clientes:
        return clientes;
    case ImportMode::Produtos:
        return produtos;
    }
    __builtin_unreachable();
}

bool namedForOtherMode(ImportMode mode, std::string_view name)
{
    for (ImportMode other : everyMode)
        if (other != mode && name.find(descriptorOf(other).prefix) != std::string_view::npos)
            return true;
    return false;
}

std::string targetTable(ImportMode mode, const std::string& pastaDados)
{
    return pastaDados + '/' + descriptorOf(mode).tableFile;
}
