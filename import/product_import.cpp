#include "import/import_service.h"

#include "host/qt_text.h"
#include "import/integer_text.h"
#include "import/record_values.h"
#include "import/records.h"
#include "platform/sql/query.h"
#include "platform/xml/document.h"
#include "rules/decimal_separator.h"
#include "rules/text_padding.h"

#include <QLocale>
#include <QRegularExpression>

#include <stdexcept>

namespace {

// Since layout 4.00 an item without a barcode says so in words.
QString barcodeOf(const xml::Element& element)
{
    const QString text = trimmedText(element);
    return text.compare(QLatin1String("SEM GTIN"), Qt::CaseInsensitive) == 0 ? QString() : text;
}

// The price as the user's regional settings read it; an NF-e writes it with
// a full stop, which those settings may not take for the decimal separator.
double priceOf(const QString& text)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const QString regional = QString::fromStdString(TrocaVirgPPto(text.toStdString()));
    const double value = locale.toDouble(regional, &ok);
    if (ok)
        return value;
    static const QRegularExpression plainDecimal(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    if (plainDecimal.match(text).hasMatch())
        return QLocale::c().toDouble(text);
    throw std::runtime_error("'" + regional.toStdString() + "' is not a valid floating point value");
}

void writeInsert(db::Query& consulta, bool withOrigin)
{
    consulta.clearSql();
    consulta.addSql("insert into TABEST1 ( Codigo, cEAN, cEANTrib, Produto, CodIPI, Unidade, PrecoCusto, CEST, "
                    "DataInc, CST, LkUserInc");
    consulta.addSql(withOrigin ? ", Origem )" : ")");
    consulta.addSql("values ( :pCodigo, :pcEAN, :pcEANTrib, :pProduto, :pCodIPI, :pUnidade, :pPrecoCusto, :pCEST, "
                    ":pDataInc, :pCST, -1");
    consulta.addSql(withOrigin ? ", :pOrigem )" : ")");
}

// Origin codes of the NF-e (goods origin, 0 to 8).
bool isOriginCode(int32_t origin) { return origin >= 0 && origin <= 8; }

} // namespace

// A code cut to the column would stand for another product, or make the
// next one a false duplicate: a code that does not fit is never stored.
bool ImportService::codeFits(const xml::Element& det, const QString& codigoProduto, const QString& descricao)
{
    const qsizetype length = codigoProduto.toUcs4().size();
    if (codigoWidth_ <= 0 || length <= codigoWidth_)
        return true;
    const QString item = trimControls(QString::fromStdString(det.attribute("nItem")));
    log(QStringLiteral("O produto \"") + visibleText(descricao) + QStringLiteral("\"")
        + (item.isEmpty() ? QString() : QStringLiteral(" (item ") + visibleText(item) + QStringLiteral(")"))
        + QStringLiteral(" do arquivo \"") + registroBusca.Name + QStringLiteral("\" tem o código \"")
        + visibleText(codigoProduto) + QStringLiteral("\", de ") + QString::number(length)
        + QStringLiteral(" caracteres, mais que os ") + QString::number(codigoWidth_)
        + QStringLiteral(" do campo Codigo, e foi ignorado."));
    return false;
}

bool ImportService::importaProduto(xml::Document& documento, db::Query& consulta, TProduto& produto,
                                   QString& codigoProduto)
{
    return importProduct(documento.root().child("det"), consulta, produto, codigoProduto);
}

// One item block, of an export file or of an NF-e document.
bool ImportService::importProduct(const xml::Element& det, db::Query& consulta, TProduto& produto,
                                  QString& codigoProduto)
{
    codigoProduto.clear();
    const int32_t lastCode = produto.Codigo;
    produto = TProduto{};
    produto.Codigo = lastCode;

    const xml::Element prod = det.child("prod");
    const QString description = trimmedText(prod.child("xProd"));
    if (description.isEmpty())
        return false;
    const QString ownCode = trimmedText(prod.child("cProd"));
    if (!ownCode.isEmpty())
        codigoProduto = ownCode;
    const QString barcode = barcodeOf(prod.child("cEAN"));
    if (!barcode.isEmpty()) {
        produto.EAN = barcode;
        codigoProduto = barcode;
    }
    if (!codeFits(det, codigoProduto, description))
        return false;
    produto.Desc = description;
    produto.NCM = trimmedText(prod.child("NCM"));
    produto.UN = trimmedText(prod.child("uCom"));
    produto.EANTri = barcodeOf(prod.child("cEANTrib"));
    const QString price = trimmedText(prod.child("vUnCom"));
    if (!price.isEmpty())
        produto.Custo = priceOf(price);
    produto.CEST = trimmedText(prod.child("CEST"));

    // Real items carry orig and CST (CSOSN under Simples Nacional) in the one
    // group element below ICMS (ICMS00, ICMS20, ICMSSN102...).
    const xml::Element icms = det.path({"imposto", "ICMS"});
    const xml::Element group = icms.childStartingWith("ICMS");
    QString origin = trimmedText(icms.child("orig"));
    if (origin.isEmpty())
        origin = trimmedText(group.child("orig"));
    if (!origin.isEmpty()) {
        if (!textToInt32(origin, produto.orig))
            throw std::runtime_error("'" + origin.toStdString() + "' is not a valid integer value");
        if (!isOriginCode(produto.orig)) {
            log(QStringLiteral("A origem ") + visibleText(origin) + QStringLiteral(" do arquivo \"") + registroBusca.Name
                             + QStringLiteral("\" não é uma origem da NF-e (0 a 8): o campo Origem não foi gravado."));
            produto.orig = -1;
        }
    } else if (codigoProduto.size() == 13 && codigoProduto.contains(QLatin1String("789"))) {
        produto.orig = 0;
    }
    produto.CST_CSOSN = trimmedText(icms.child("CST"));
    if (produto.CST_CSOSN.isEmpty())
        produto.CST_CSOSN = trimmedText(group.child("CST"));
    if (produto.CST_CSOSN.isEmpty())
        produto.CST_CSOSN = trimmedText(group.child("CSOSN"));

    const bool found =
        alreadyStored(consulta, "SELECT * FROM TABEST1 WHERE codigo = :pCodigo", codigoProduto, simulatedCodes_);
    if (found) {
        log(QStringLiteral("O Produto com código: ") + visibleText(codigoProduto)
                         + QStringLiteral(" já está cadastrado no banco de dados!"));
        return false;
    }

    const bool withOrigin = isOriginCode(produto.orig);
    if (codigoProduto.isEmpty()) {
        // A product stored under a short code of its own can sort ahead of the
        // last generated one: the next code may be taken already.
        const int32_t code = nextFreeCode(consulta, "SELECT * FROM TABEST1 WHERE codigo = :pCodigo", produto.Codigo);
        // Past six digits the code would be cut to one that may be in use.
        if (code > largestCode)
            throw std::runtime_error("Não há mais códigos de produto livres: o próximo passaria de "
                                     + std::to_string(largestCode) + ". O produto " + produto.Desc.toStdString()
                                     + " não foi incluído.");
        produto.Codigo = code;
        writeInsert(consulta, withOrigin);
        setText(consulta, "pCodigo", InteiroComZeros(produto.Codigo, 6));
    } else {
        writeInsert(consulta, withOrigin);
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
