#pragma once

#include "import/import_service.h"

#include <string>

// How an undo ended.
struct UndoOutcome {
    enum class Kind {
        Undone,     // the table is as before the last run (or would be, simulated)
        Nothing,    // no run to undo
        Refused,    // the table changed since the run, or the record is damaged; nothing changed
    };
    Kind kind = Kind::Nothing;
    int removed = 0;
    std::string message;
};

// Undoing the last run of a mode: its table goes back, byte for byte, to what
// it was before that run, through the undo record the run kept. It shows
// nothing and never ends the process; errors are thrown.
class UndoService {
public:
    explicit UndoService(ImportReporter& reporter) : reporter_(reporter) {}
    // A simulated undo reports the rows it would take away and changes nothing.
    void setSimulation(bool on) { simular_ = on; }

    UndoOutcome run(ImportMode mode, const std::string& pastaDados, const std::string& pastaPrograma);

private:
    ImportReporter& reporter_;
    bool simular_ = false;
};
