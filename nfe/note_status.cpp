#include "nfe/note_status.h"

#include "nfe/element_text.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"
#include "platform/xml/document.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace nfe {

namespace {

constexpr std::string_view nfeNamespace = "http://www.portalfiscal.inf.br/nfe";

// The answers by which the authority registers a cancellation: registered
// and linked to the note (135), registered without the link (136), and the
// same after the deadline (155, 151); 101 is the old-style answer.
bool acceptedCancellation(std::string_view status)
{
    constexpr std::array<std::string_view, 5> accepted{"101", "135", "136", "151", "155"};
    return std::find(accepted.begin(), accepted.end(), status) != accepted.end();
}

// An item's number (nItem) as the items are ordered by it: white space around
// it passed over, 0 for what is no decimal number of int range.
int itemNumber(std::string_view attribute)
{
    std::string_view digits = text::trimWhitespace(attribute);
    if (digits.starts_with('+') && digits.size() > 1 && digits[1] != '-')
        digits.remove_prefix(1);
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size() ? number : 0;
}

} // namespace

FileKind kindOf(const xml::RootElement& root)
{
    if (root.namespaceUri != nfeNamespace)
        return FileKind::Other;
    if (root.localName == "procEventoNFe")
        return FileKind::Event;
    if (root.localName == "nfeProc" || root.localName == "NFe")
        return FileKind::Note;
    return FileKind::Other;
}

bool isProcessedNote(const xml::RootElement& root) { return root.localName == "nfeProc"; }

std::vector<Cancellation> cancellationsIn(const xml::Element& element)
{
    std::vector<Cancellation> found;
    // The answer (retEvento) carries the status; its type and key are in the
    // answer itself or, in older layouts, only in the event it answers.
    // A note's own content (infNFe) and its signature hold no event.
    for (const xml::Element& answer : element.descendants("retEvento", {"infNFe", "Signature"})) {
        const xml::Element info = answer.child("infEvento");
        const xml::Element asked = answer.parent().path({"evento", "infEvento"});
        std::string status = trimmedText(info.child("cStat"));
        std::string type = trimmedText(info.child("tpEvento"));
        if (type.empty())
            type = trimmedText(asked.child("tpEvento"));
        if (type != "110111" || !acceptedCancellation(status))
            continue;
        std::string key = trimmedText(info.child("chNFe"));
        if (key.empty())
            key = trimmedText(asked.child("chNFe"));
        found.push_back({std::move(key), std::move(status)});
    }
    return found;
}

std::vector<std::string> noteKeys(const xml::Element& top)
{
    const xml::Element nota = (top.name() == "nfeProc" ? top.child("NFe") : top).child("infNFe");
    std::string id = text::validText(text::trimControls(nota.attribute("Id")));
    if (id.starts_with("NFe"))
        id.erase(0, 3);
    const std::string authorised = trimmedText(top.path({"protNFe", "infProt", "chNFe"}));
    std::vector<std::string> keys;
    for (const std::string& key : {id, authorised})
        if (!key.empty() && std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    return keys;
}

Note::Note(const xml::Element& top, bool processed)
    : top_(top), nota_((processed ? top.child("NFe") : top).child("infNFe")), processed_(processed)
{
}

std::string Note::environment() const { return trimmedText(nota_.path({"ide", "tpAmb"})); }

std::string Note::status() const { return trimmedText(top_.path({"protNFe", "infProt", "cStat"})); }

xml::Element Note::recipient() const { return nota_.child("dest"); }

std::vector<xml::Element> Note::items() const
{
    std::vector<xml::Element> items = nota_.children("det");
    std::stable_sort(items.begin(), items.end(), [](const xml::Element& a, const xml::Element& b) {
        return itemNumber(a.attribute("nItem")) < itemNumber(b.attribute("nItem"));
    });
    return items;
}

} // namespace nfe
