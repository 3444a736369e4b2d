#pragma once

#include "nfe/note_status.h"

#include <map>
#include <string>

// Whether a loaded note is imported, and if not why: a run judges each note
// by its own file and by the event files of its folder.

// An accepted cancellation found in an event file of the folder.
struct FolderCancellation {
    std::string file;    // the event file, as its name is shown
    std::string status;  // the authority's answer
};
// By the access key of the note each cancels.
using FolderCancellations = std::map<std::string, FolderCancellation>;

struct NoteVerdict {
    enum class Kind {
        Import,
        TestEnvironment,   // issued in the authority's test environment: no fiscal value
        NotAuthorised,     // its protocol refused it; status says how
        CancelledInFile,   // by an event in its own file; status is the event's
        CancelledByEvent,  // by an event file of the folder; file and status say which
    };
    Kind kind = Kind::Import;
    std::string status;
    std::string file;
};

NoteVerdict judgeNote(const nfe::Note& note, const FolderCancellations& folder);

// The end of the log line of a note passed over, after its file's name.
// REQUIRES: verdict.kind is not Import.
std::string passedOverText(const NoteVerdict& verdict);
