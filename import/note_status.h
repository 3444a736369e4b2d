#pragma once

#include <QString>

#include <vector>

namespace xml {
class Element;
}

// What a note's file, or an event file beside it, says about the note's
// cancellation before anything of the note is imported.

// A cancellation (event type 110111) that the authority accepted.
struct Cancellation {
    QString key;     // the access key of the note it names; empty when it names none
    QString status;  // the authority's answer (cStat)
};

// Every accepted cancellation at any depth below element, element included:
// the answer of an event after the note's protocol, an event nested in the
// note, or the events of an event file.
std::vector<Cancellation> cancellationsIn(const xml::Element& element);

// The access keys a note goes by: the Id of its infNFe without the "NFe" in
// front, and the key its protocol names when that differs. top is the
// nfeProc or NFe element.
std::vector<QString> noteKeys(const xml::Element& top);
