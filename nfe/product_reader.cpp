#include "nfe/product_reader.h"

#include "nfe/element_text.h"
#include "nfe/integer_text.h"
#include "nfe/value_error.h"
#include "platform/xml/document.h"
#include "rules/decimal_separator.h"
#include "platform/text/qt_text.h"

#include <QLocale>
#include <QRegularExpression>

namespace nfe {

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
    throw ValueError("'" + regional.toStdString() + "' is not a valid floating point value");
}

} // namespace

xml::Element exportedItem(const xml::Element& root) { return root.child("det"); }

ItemCode readItemCode(const xml::Element& det)
{
    const xml::Element prod = det.child("prod");
    ItemCode code;
    code.description = trimmedText(prod.child("xProd"));
    if (code.description.isEmpty())
        return code;
    code.code = trimmedText(prod.child("cProd"));
    code.barcode = barcodeOf(prod.child("cEAN"));
    if (!code.barcode.isEmpty())
        code.code = code.barcode;
    code.item = trimControls(QString::fromStdString(det.attribute("nItem")));
    return code;
}

Product readProduct(const xml::Element& det, const ItemCode& code)
{
    Product product;
    TProduto& produto = product.record;
    const xml::Element prod = det.child("prod");
    produto.EAN = code.barcode;
    produto.Desc = code.description;
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
            throw ValueError("'" + origin.toStdString() + "' is not a valid integer value");
        if (!isOriginCode(produto.orig)) {
            product.droppedOrigin = origin;
            produto.orig = -1;
        }
    } else if (code.code.size() == 13 && code.code.contains(QLatin1String("789"))) {
        produto.orig = 0;
    }
    produto.CST_CSOSN = trimmedText(icms.child("CST"));
    if (produto.CST_CSOSN.isEmpty())
        produto.CST_CSOSN = trimmedText(group.child("CST"));
    if (produto.CST_CSOSN.isEmpty())
        produto.CST_CSOSN = trimmedText(group.child("CSOSN"));
    return product;
}

} // namespace nfe
