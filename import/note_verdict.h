#pragma once

#include "nfe/note_status.h"

#include <QString>

#include <map>

// Whether a loaded note is imported, and if not why: a run judges each note
// by its own file and by the event files of its folder.

// An accepted cancellation found in an event file of the folder.
struct FolderCancellation {
    QString file;    // the event file, as its name is shown
    QString status;  // the authority's answer
};
// By the access key of the note each cancels.
using FolderCancellations = std::map<QString, FolderCancellation>;

struct NoteVerdict {
    enum class Kind {
        Import,
        TestEnvironment,   // issued in the authority's test environment: no fiscal value
        NotAuthorised,     // its protocol refused it; status says how
        CancelledInFile,   // by an event in its own file; status is the event's
        CancelledByEvent,  // by an event file of the folder; file and status say which
    };
    Kind kind = Kind::Import;
    QString status;
    QString file;
};

NoteVerdict judgeNote(const nfe::Note& note, const FolderCancellations& folder);

// The end of the log line of a note passed over, after its file's name.
// REQUIRES: verdict.kind is not Import.
QString passedOverText(const NoteVerdict& verdict);
