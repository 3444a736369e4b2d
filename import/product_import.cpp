#include "import/import_service.h"

#include "import/import_error.h"
#include "import/record_values.h"
#include "nfe/product_reader.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "platform/text/qt_text.h"
#include "rules/text_padding.h"

#include <QList>

// A code cut to the column would stand for another product, or make the
// next one a false duplicate: a code that does not fit is never stored.
bool ImportService::codeFits(const QString& item, const QString& codigoProduto, const QString& descricao)
{
    const qsizetype length = codigoProduto.toUcs4().size();
    if (codigoWidth_ <= 0 || length <= codigoWidth_)
        return true;
    log(QStringLiteral("O produto \"") + visibleText(descricao) + QStringLiteral("\"")
        + (item.isEmpty() ? QString() : QStringLiteral(" (item ") + visibleText(item) + QStringLiteral(")"))
        + QStringLiteral(" do arquivo \"") + QString::fromStdString(registroBusca.Name) + QStringLiteral("\" tem o código \"")
        + visibleText(codigoProduto) + QStringLiteral("\", de ") + QString::number(length)
        + QStringLiteral(" caracteres, mais que os ") + QString::number(codigoWidth_)
        + QStringLiteral(" do campo Codigo, e foi ignorado."));
    return false;
}

bool ImportService::importaProduto(xml::Document& documento, db::Query& consulta, TProduto& produto,
                                   QString& codigoProduto)
{
    return importProduct(nfe::exportedItem(documento.root()), consulta, produto, codigoProduto);
}

// One item block, of an export file or of an NF-e document.
bool ImportService::importProduct(const xml::Element& det, db::Query& consulta, TProduto& produto,
                                  QString& codigoProduto)
{
    const int32_t lastCode = produto.Codigo;
    produto = TProduto{};
    produto.Codigo = lastCode;

    const nfe::ItemCode item = nfe::readItemCode(det);
    codigoProduto = item.code;
    if (item.description.isEmpty())
        return false;
    if (!codeFits(item.item, codigoProduto, item.description))
        return false;
    const nfe::Product read = nfe::readProduct(det, item);
    produto = read.record;
    produto.Codigo = lastCode;
    if (!read.droppedOrigin.isEmpty())
        log(QStringLiteral("A origem ") + visibleText(read.droppedOrigin) + QStringLiteral(" do arquivo \"")
            + QString::fromStdString(registroBusca.Name)
            + QStringLiteral("\" não é uma origem da NF-e (0 a 8): o campo Origem não foi gravado."));

    const ModeDescriptor& mode = descriptorOf(ImportMode::Produtos);
    if (alreadyStored(consulta, mode.keyLookup, codigoProduto, simulatedCodes_)) {
        log(QStringLiteral("O Produto com código: ") + visibleText(codigoProduto)
                         + QStringLiteral(" já está cadastrado no banco de dados!"));
        return false;
    }

    const bool withOrigin = nfe::isOriginCode(produto.orig);
    if (codigoProduto.isEmpty()) {
        // A product stored under a short code of its own can sort ahead of the
        // last generated one: the next code may be taken already.
        const int32_t code = nextFreeCode(consulta, mode.codeLookup, produto.Codigo);
        // Past six digits the code would be cut to one that may be in use.
        if (code > largestCode)
            throw ImportError("Não há mais códigos de produto livres: o próximo passaria de "
                              + std::to_string(largestCode) + ". O produto " + produto.Desc.toStdString()
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
    insertOrSimulate(consulta, codigoProduto.isEmpty() ? QString::fromStdString(InteiroComZeros(produto.Codigo, 6)) : codigoProduto,
                     produto.Desc);
    consulta.close();
    consulta.clearSql();
    if (!simular_)
        log(QStringLiteral("Produto ") + visibleText(produto.Desc) + QStringLiteral(" inserido com sucesso em TABEST1.db!"));
    return true;
}
