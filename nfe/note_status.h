#pragma once

#include "platform/xml/document.h"

#include <string>
#include <vector>

// What an NF-e document says about a note before anything of it is
// imported: its environment, its authority's answer, its keys and the
// cancellations in its file or in an event file beside it.
namespace nfe {

// What an entry of a folder is, told from its root element alone.
enum class FileKind {
    Other,  // no document of the NF-e, or none that a run reads
    Event,  // an event file (procEventoNFe)
    Note,   // a note, bare (NFe) or with its protocol (nfeProc)
};
FileKind kindOf(const xml::RootElement& root);
// A note with its authority's protocol.
bool isProcessedNote(const xml::RootElement& root);

// A cancellation (event type 110111) that the authority accepted.
struct Cancellation {
    std::string key;     // the access key of the note it names; empty when it names none
    std::string status;  // the authority's answer (cStat)
};

// Every accepted cancellation at any depth below element, element included:
// the answer of an event after the note's protocol, an event nested in the
// note, or the events of an event file.
std::vector<Cancellation> cancellationsIn(const xml::Element& element);

// The access keys a note goes by: the Id of its infNFe without the "NFe" in
// front, and the key its protocol names when that differs. top is the
// nfeProc or NFe element.
std::vector<std::string> noteKeys(const xml::Element& top);

// A loaded note. Each fact is read when asked, so that a note passed over
// for one reason is read no further.
class Note {
public:
    // top: the root element of a file that kindOf() calls a note.
    Note(const xml::Element& top, bool processed);

    // The environment it was issued in (tpAmb): "2" is the authority's test one.
    std::string environment() const;
    // Its own protocol's answer (cStat); empty for a note without one. What
    // follows the protocol in the file (an event's answer) is not its status.
    std::string status() const;
    bool processed() const { return processed_; }
    std::vector<std::string> keys() const { return noteKeys(top_); }
    std::vector<Cancellation> cancellations() const { return cancellationsIn(top_); }
    xml::Element recipient() const;
    // Its items, in the order of their numbers (nItem).
    std::vector<xml::Element> items() const;

private:
    xml::Element top_;
    xml::Element nota_;  // its infNFe
    bool processed_;
};

} // namespace nfe
