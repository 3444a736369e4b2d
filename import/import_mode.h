#pragma once

#include <span>
#include <string>
#include <string_view>

// The two kinds of run: client files into TABCLI, product files into TABEST1.
enum class ImportMode { Clientes, Produtos };

// Everything by which the runs of one mode differ from those of another. A
// new mode is a new descriptor plus a case in each switch over ImportMode
// (the compiler names every switch that lacks it).
struct ModeDescriptor {
    const char* tableFile;      // the target table in the data folder
    const char* prefix;         // the export files of the mode hold it in their names
    const char* lastCodeQuery;  // the codes of the table, greatest first
    const char* codeLookup;     // a row by its code (:pCodigo)
    const char* keyLookup;      // a row by what makes a record a duplicate
    // The insert, without the closing parenthesis of its column and value
    // lists; optionalColumn and optionalValue join them when the record has
    // a value for that column (null: the mode has no such column).
    const char* insertColumns;
    const char* insertValues;
    const char* optionalColumn;
    const char* optionalValue;
    std::span<const char* const> requiredColumns;  // the run relies on them
    const char* missingColumnEnd;  // of the message, after the column's name
    const char* nameColumn;        // the column an undone row is listed by
    const char* noun;              // of the run's summary, after the count
    const char* nothingInserted;
    const char* undoNoun;          // of the undo's summary, after the count
    const char* nothingToUndo;
};

const ModeDescriptor& descriptorOf(ImportMode mode);

// A name that holds another mode's prefix: an export file of that mode,
// never a document, whatever its content.
bool namedForOtherMode(ImportMode mode, std::string_view name);

// The target table of a mode in the data folder.
std::string targetTable(ImportMode mode, const std::string& pastaDados);
