#include "import/note_verdict.h"

#include "platform/text/visible_text.h"

#include <algorithm>

NoteVerdict judgeNote(const nfe::Note& note, const FolderCancellations& folder)
{
    using Kind = NoteVerdict::Kind;
    if (note.environment() == "2")
        return {Kind::TestEnvironment, {}, {}};
    // Its status is its own protocol's alone: what follows the protocol in
    // the file (an event's answer) is judged as an event.
    const std::string status = note.status();
    if (note.processed() && !status.empty() && status != "100" && status != "150")
        return {Kind::NotAuthorised, status, {}};
    const std::vector<std::string> keys = note.keys();
    for (const nfe::Cancellation& c : note.cancellations()) {
        // An event in the note's own file is the note's, unless it names another.
        if (c.key.empty() || keys.empty() || std::find(keys.begin(), keys.end(), c.key) != keys.end())
            return {Kind::CancelledInFile, c.status, {}};
    }
    for (const std::string& key : keys) {
        if (const auto e = folder.find(key); e != folder.end())
            return {Kind::CancelledByEvent, e->second.status, e->second.file};
    }
    return {};
}

std::string passedOverText(const NoteVerdict& verdict)
{
    switch (verdict.kind) {
    case NoteVerdict::Kind::Import:
        break;
    case NoteVerdict::Kind::TestEnvironment:
        return " foi emitida em ambiente de homologação (tpAmb 2), sem valor fiscal, e foi ignorada.";
    case NoteVerdict::Kind::NotAuthorised:
        return " não foi autorizada (cStat " + text::visible(verdict.status) + ") e foi ignorada.";
    case NoteVerdict::Kind::CancelledInFile:
        return " foi cancelada (evento 110111 no próprio arquivo, cStat " + text::visible(verdict.status)
               + ") e foi ignorada.";
    case NoteVerdict::Kind::CancelledByEvent:
        return " foi cancelada pelo evento do arquivo \"" + verdict.file + "\" (110111, cStat "
               + text::visible(verdict.status) + ") e foi ignorada.";
    }
    return {};
}
