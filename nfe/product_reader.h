#pragma once

#include "nfe/records.h"
#include "platform/os/regional_settings.h"

namespace xml {
class Element;
}

// An item block (det) of an export file or of an NF-e document, read into a
// product record. Reading judges nothing: whether the code fits, is new or
// is to be generated is the import's decision.
namespace nfe {

// What names an item, read before the rest of it: an item without a
// description is no product, and one whose code is refused is read no
// further.
struct ItemCode {
    std::string description;
    std::string code;     // the barcode, else the supplier's own code; empty for none
    std::string barcode;  // empty when the item has none
    std::string item;     // the item's number in its note; empty in an export file
};

// What the rest of the item gave.
struct Product {
    TProduto record;        // as it is stored, but for its code (0)
    std::string droppedOrigin;  // an origin outside the NF-e's codes, left out (orig -1)
};

// The item block of an export file whose root is root.
xml::Element exportedItem(const xml::Element& root);

ItemCode readItemCode(const xml::Element& det);
// The price is read with the regional settings given, and with a full stop
// as its separator when they refuse a plain decimal. Raises ValueError for a
// price or an origin that does not convert.
Product readProduct(const xml::Element& det, const ItemCode& code,
                    const os::RegionalSettings& regional = os::systemRegionalSettings());

// Origin codes of the NF-e (goods origin, 0 to 8).
inline bool isOriginCode(int32_t origin) { return origin >= 0 && origin <= 8; }

} // namespace nfe
