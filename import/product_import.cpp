#include "import/import_service.h"

#include "import/import_error.h"
#include "import/record_values.h"
#include "nfe/product_reader.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"
#include "rules/text_padding.h"

// A code cut to the column would stand for another product, or make the
// next one a false duplicate: a code that does not fit is never stored.
bool ImportService::codeFits(const std::string& item, const std::string& codigoProduto, const std::string& descricao)
{
    const size_t length = text::characterCount(codigoProduto);
    if (codigoWidth_ <= 0 || length <= size_t(codigoWidth_))
        return true;
    log("O produto \"" + text::visible(descricao) + "\"" + (item.empty() ? "" : " (item " + text::visible(item) + ")")
        + " do arquivo \"" + registroBusca.Name + "\" tem o código \"" + text::visible(codigoProduto) + "\", de "
        + std::to_string(length) + " caracteres, mais que os " + std::to_string(codigoWidth_)
        + " do campo Codigo, e foi ignorado.");
    return false;
}

bool ImportService::importaProduto(xml::Document& documento, db::Query& consulta, TProduto& produto,
                                   std::string& codigoProduto)
{
    return importProduct(nfe::exportedItem(documento.root()), consulta, produto, codigoProduto);
}

// One item block, of an export file or of an NF-e document.
bool ImportService::importProduct(const xml::Element& det, db::Query& consulta, TProduto& produto,
                                  std::string& codigoProduto)
{
    const int32_t lastCode = produto.Codigo;
    produto = TProduto{};
    produto.Codigo = lastCode;

    const nfe::ItemCode item = nfe::readItemCode(det);
    codigoProduto = item.code;
    if (item.description.empty())
        return false;
    if (!codeFits(item.item, codigoProduto, item.description))
        return false;
    const nfe::Product read = nfe::readProduct(det, item, regional_);
    produto = read.record;
    produto.Codigo = lastCode;
    if (!read.droppedOrigin.empty())
        log("A origem " + text::visible(read.droppedOrigin) + " do arquivo \"" + registroBusca.Name
            + "\" não é uma origem da NF-e (0 a 8): o campo Origem não foi gravado.");

    const ModeDescriptor& mode = descriptorOf(ImportMode::Produtos);
    if (alreadyStored(consulta, mode.keyLookup, codigoProduto, simulatedCodes_)) {
        log("O Produto com código: " + text::visible(codigoProduto) + " já está cadastrado no banco de dados!");
        return false;
    }

    const bool withOrigin = nfe::isOriginCode(produto.orig);
    if (codigoProduto.empty()) {
        // A product stored under a short code of its own can sort ahead of the
        // last generated one: the next code may be taken already.
        const int32_t code = nextFreeCode(consulta, mode.codeLookup, produto.Codigo);
        // Past six digits the code would be cut to one that may be in use.
        if (code > largestCode)
            throw ImportError("Não há mais códigos de produto livres: o próximo passaria de "
                              + std::to_string(largestCode) + ". O produto " + produto.Desc
                              + " não foi incluído.");
        produto.Codigo = code;
        writeInsert(consulta, ImportMode::Produtos, withOrigin);
        setText(consulta, "pCodigo", InteiroComZeros(produto.Codigo, 6));
    } else {
        writeInsert(consulta, ImportMode::Produtos, withOrigin);
        setText(consulta, "pCodigo", codigoProduto);
    }
    setText(consulta, "pcEAN", produto.EAN);
    setText(consulta, "pcEANTrib", produto.EANTri);
    setText(consulta, "pProduto", produto.Desc);
    setText(consulta, "pCodIPI", produto.NCM);
    setText(consulta, "pUnidade", produto.UN);
    consulta.paramByName("pPrecoCusto").setAsCurrency(produto.Custo);
    setText(consulta, "pCEST", produto.CEST);
    consulta.paramByName("pDataInc").setAsDateTime(today());
    setText(consulta, "pCST", produto.CST_CSOSN);
    if (withOrigin)
        consulta.paramByName("pOrigem").setAsSmallInt(int16_t(produto.orig));
    insertOrSimulate(consulta, codigoProduto.empty() ? InteiroComZeros(produto.Codigo, 6) : codigoProduto, produto.Desc);
    consulta.close();
    consulta.clearSql();
    if (!simular_)
        log("Produto " + text::visible(produto.Desc) + " inserido com sucesso em TABEST1.db!");
    return true;
}
