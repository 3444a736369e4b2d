#include "import/note_verdict.h"

#include "platform/text/qt_text.h"
#include "rules/text_padding.h"

#include <algorithm>

NoteVerdict judgeNote(const nfe::Note& note, const FolderCancellations& folder)
{
    using Kind = NoteVerdict::Kind;
    if (note.environment() == QLatin1String("2"))
        return {Kind::TestEnvironment, {}, {}};
    // Its status is its own protocol's alone: what follows the protocol in
    // the file (an event's answer) is judged as an event.
    const QString status = note.status();
    if (note.processed() && !status.isEmpty() && status != QLatin1String("100") && status != QLatin1String("150"))
        return {Kind::NotAuthorised, status, {}};
    const std::vector<QString> keys = note.keys();
    for (const nfe::Cancellation& c : note.cancellations()) {
        // An event in the note's own file is the note's, unless it names another.
        if (c.key.isEmpty() || keys.empty() || std::find(keys.begin(), keys.end(), c.key) != keys.end())
            return {Kind::CancelledInFile, c.status, {}};
    }
    for (const QString& key : keys) {
        if (const auto e = folder.find(key); e != folder.end())
            return {Kind::CancelledByEvent, e->second.status, e->second.file};
    }
    return {};
}

QString passedOverText(const NoteVerdict& verdict)
{
    switch (verdict.kind) {
    case NoteVerdict::Kind::Import:
        break;
    case NoteVerdict::Kind::TestEnvironment:
        return QStringLiteral(" foi emitida em ambiente de homologação (tpAmb 2), sem valor fiscal, e foi ignorada.");
    case NoteVerdict::Kind::NotAuthorised:
        return QStringLiteral(" não foi autorizada (cStat ") + visibleText(verdict.status) + QStringLiteral(") e foi ignorada.");
    case NoteVerdict::Kind::CancelledInFile:
        return QStringLiteral(" foi cancelada (evento 110111 no próprio arquivo, cStat ") + visibleText(verdict.status)
               + QStringLiteral(") e foi ignorada.");
    case NoteVerdict::Kind::CancelledByEvent:
        return QStringLiteral(" foi cancelada pelo evento do arquivo \"") + verdict.file
               + QStringLiteral("\" (110111, cStat ") + visibleText(verdict.status) + QStringLiteral(") e foi ignorada.");
    }
    return {};
}
