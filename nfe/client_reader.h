#pragma once

#include "nfe/records.h"

namespace xml {
class Element;
}

// The recipient block (dest) of an export file or of an NF-e document, read
// into a client record. Reading changes nothing and judges nothing: whether
// the number is valid, new or to be coded is the import's decision.
namespace nfe {

// Who the recipient is: a person (by a CPF) or a company (by a CNPJ), and the
// number as it is stored, formatted.
struct ClientIdentity {
    bool person = false;
    std::string number;  // UTF-8
};

// The recipient block of an export file whose root is document's root.
xml::Element exportedRecipient(const xml::Element& root);

// Read first: a recipient refused for its number is read no further.
ClientIdentity readClientIdentity(const xml::Element& dest);
// The record as it is stored, but for its code (0).
TCliente readClient(const xml::Element& dest, const ClientIdentity& identity);
// A note's recipient can be imported only when it names a CPF or a CNPJ.
bool hasTaxNumber(const xml::Element& dest);

} // namespace nfe
