#include "nfe/product_reader.h"

#include "nfe/element_text.h"
#include "nfe/integer_text.h"
#include "nfe/value_error.h"
#include "platform/xml/document.h"
#include "platform/os/regional_format.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"
#include "rules/decimal_separator.h"

namespace nfe {

namespace {

// Since layout 4.00 an item without a barcode says so in words.
std::string barcodeOf(const xml::Element& element)
{
    const std::string value = trimmedText(element);
    return text::equalsIgnoringCase(value, "SEM GTIN") ? std::string() : value;
}

// Digits with at most one full stop between digits, after an optional sign.
bool isPlainDecimal(std::string_view value)
{
    if (value.starts_with('+') || value.starts_with('-'))
        value.remove_prefix(1);
    const size_t stop = value.find('.');
    const std::string_view whole = value.substr(0, stop);
    const std::string_view fraction = stop == std::string_view::npos ? "0" : value.substr(stop + 1);
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return digits(whole) && digits(fraction);
}

// The price as the user's regional settings read it; an NF-e writes it with
// a full stop, which those settings may not take for the decimal separator.
// A plain decimal those settings refuse is read with the full stop.
double priceOf(const std::string& value, const os::RegionalSettings& regional)
{
    const std::string written = TrocaVirgPPto(value);
    if (const std::optional<double> price = os::readNumber(regional, written))
        return *price;
    if (isPlainDecimal(value))
        if (const std::optional<double> price = os::readNumber(os::neutralRegionalSettings(), value))
            return *price;
    throw ValueError("'" + written + "' is not a valid floating point value");
}

} // namespace

xml::Element exportedItem(const xml::Element& root) { return root.child("det"); }

ItemCode readItemCode(const xml::Element& det)
{
    const xml::Element prod = det.child("prod");
    ItemCode code;
    code.description = trimmedText(prod.child("xProd"));
    if (code.description.empty())
        return code;
    code.code = trimmedText(prod.child("cProd"));
    code.barcode = barcodeOf(prod.child("cEAN"));
    if (!code.barcode.empty())
        code.code = code.barcode;
    code.item = text::validText(text::trimControls(det.attribute("nItem")));
    return code;
}

Product readProduct(const xml::Element& det, const ItemCode& code, const os::RegionalSettings& regional)
{
    Product product;
    TProduto& produto = product.record;
    const xml::Element prod = det.child("prod");
    produto.EAN = code.barcode;
    produto.Desc = code.description;
    produto.NCM = trimmedText(prod.child("NCM"));
    produto.UN = trimmedText(prod.child("uCom"));
    produto.EANTri = barcodeOf(prod.child("cEANTrib"));
    const std::string price = trimmedText(prod.child("vUnCom"));
    if (!price.empty())
        produto.Custo = priceOf(price, regional);
    produto.CEST = trimmedText(prod.child("CEST"));

    // Real items carry orig and CST (CSOSN under Simples Nacional) in the one
    // group element below ICMS (ICMS00, ICMS20, ICMSSN102...).
    const xml::Element icms = det.path({"imposto", "ICMS"});
    const xml::Element group = icms.childStartingWith("ICMS");
    std::string origin = trimmedText(icms.child("orig"));
    if (origin.empty())
        origin = trimmedText(group.child("orig"));
    if (!origin.empty()) {
        if (!textToInt32(origin, produto.orig))
            throw ValueError("'" + origin + "' is not a valid integer value");
        if (!isOriginCode(produto.orig)) {
            product.droppedOrigin = origin;
            produto.orig = -1;
        }
    } else if (text::characterCount(code.code) == 13 && code.code.find("789") != std::string::npos) {
        produto.orig = 0;
    }
    produto.CST_CSOSN = trimmedText(icms.child("CST"));
    if (produto.CST_CSOSN.empty())
        produto.CST_CSOSN = trimmedText(group.child("CST"));
    if (produto.CST_CSOSN.empty())
        produto.CST_CSOSN = trimmedText(group.child("CSOSN"));
    return product;
}

} // namespace nfe
