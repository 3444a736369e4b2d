#include "nfe/note_status.h"

#include "nfe/element_text.h"
#include "platform/text/qt_text.h"
#include "platform/xml/document.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace nfe {

namespace {

constexpr std::string_view nfeNamespace = "http://www.portalfiscal.inf.br/nfe";

// The answers by which the authority registers a cancellation: registered
// and linked to the note (135), registered without the link (136), and the
// same after the deadline (155, 151); 101 is the old-style answer.
bool acceptedCancellation(const QString& status)
{
    static const std::array<QLatin1String, 5> accepted{QLatin1String("101"), QLatin1String("135"), QLatin1String("136"),
                                                       QLatin1String("151"), QLatin1String("155")};
    for (QLatin1String a : accepted)
        if (status == a)
            return true;
    return false;
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
        const QString status = trimmedText(info.child("cStat"));
        QString type = trimmedText(info.child("tpEvento"));
        if (type.isEmpty())
            type = trimmedText(asked.child("tpEvento"));
        if (type != QLatin1String("110111") || !acceptedCancellation(status))
            continue;
        QString key = trimmedText(info.child("chNFe"));
        if (key.isEmpty())
            key = trimmedText(asked.child("chNFe"));
        found.push_back({key, status});
    }
    return found;
}

std::vector<QString> noteKeys(const xml::Element& top)
{
    const xml::Element nota = (top.name() == "nfeProc" ? top.child("NFe") : top).child("infNFe");
    QString id = trimControls(QString::fromStdString(nota.attribute("Id")));
    if (id.startsWith(QLatin1String("NFe")))
        id.remove(0, 3);
    const QString authorised = trimmedText(top.path({"protNFe", "infProt", "chNFe"}));
    std::vector<QString> keys;
    for (const QString& key : {id, authorised})
        if (!key.isEmpty() && std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    return keys;
}

Note::Note(const xml::Element& top, bool processed)
    : top_(top), nota_((processed ? top.child("NFe") : top).child("infNFe")), processed_(processed)
{
}

QString Note::environment() const { return trimmedText(nota_.path({"ide", "tpAmb"})); }

QString Note::status() const { return trimmedText(top_.path({"protNFe", "infProt", "cStat"})); }

xml::Element Note::recipient() const { return nota_.child("dest"); }

std::vector<xml::Element> Note::items() const
{
    std::vector<xml::Element> items = nota_.children("det");
    std::stable_sort(items.begin(), items.end(), [](const xml::Element& a, const xml::Element& b) {
        return QString::fromStdString(a.attribute("nItem")).toInt() < QString::fromStdString(b.attribute("nItem")).toInt();
    });
    return items;
}

} // namespace nfe
