#pragma once

#include "folders/directory_search.h"
#include "import/import_mode.h"
#include "import/note_verdict.h"
#include "nfe/records.h"
#include "platform/os/regional_settings.h"
#include "platform/xml/document.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace db {
class Query;
class Session;
class Table;
}

// The message that ends the program when the target table of the mode lacks
// a column the run relies on.
std::string missingColumnMessage(ImportMode mode, const std::string& column);
// The log line for a table whose writing played back a write cut short.
std::string recoveryMessage(const std::string& tablePath);
// Where the undo record of a table is kept in the program's folder.
std::string undoRecordPath(const std::string& pastaPrograma, const std::string& tablePath);

// What outlives a run: the working records, whose Codigo carries the last
// code given, and the code of the current product as its file gives it.
struct EstadoImportacao {
    TCliente clienteAtual;
    TProduto produtoAtual;
    std::string codigoProduto;
};

// The points where a run lets its caller breathe: a window processes its
// events there and shows the matching busy cursor.
enum class Pause {
    LastCodeRow,    // after each row the last-code lookup passes over
    FolderLookOver, // at each entry the run looks over before it reads any
    FolderEntry,    // at the start of every entry of the folder
};

// How a run talks to its caller; every text is UTF-8.
class ImportReporter {
public:
    virtual ~ImportReporter() = default;
    // A line for the activity log; tell: the user is to be told it too (a
    // window shows it in a box and waits).
    virtual void report(const std::string& line, bool tell) = 0;
    virtual void pause(Pause) {}
    // Entries of the folder looked at, of those found.
    virtual void progress(size_t done, size_t found) { (void)done, (void)found; }
    // A simulated run: the row that a real run would insert now.
    virtual void wouldInsert(const std::string& codigo, const std::string& nome) { (void)codigo, (void)nome; }
    // A simulated undo: a row that the undo would take away.
    virtual void wouldRemove(const std::string& codigo, const std::string& nome) { (void)codigo, (void)nome; }
};

// How a run ended, when no error ended it.
struct ImportOutcome {
    enum class Kind {
        Finished,       // the summary was told
        NoFolder,       // "Informe a pasta..." was told
        NoXmlFiles,     // "A pasta ... não possui arquivos XML..." was told
        MissingColumn,  // the target table lacks a column: message says which; nothing was told
    };
    Kind kind = Kind::Finished;
    int32_t inserted = 0;
    std::string message;
};

// The import: reads every file of the mode in a folder (the export files
// named for the mode, and NF-e documents whatever their names) and inserts
// the records that are new into the host's tables. It shows nothing and never
// ends the process; an error that ends a run is thrown to the caller, and the
// rows of the files complete before it stay.
//
// A run is one transaction: its rows reach the disk together at its end, and
// a run cut short by a crash or a power cut leaves the tables as they were
// before it. The journal of each run is kept as the table's undo record.
// Folder and file names are the file system's bytes, texts UTF-8.
class ImportService {
public:
    ImportService(db::Session& session, ImportReporter& reporter);
    ~ImportService();
    ImportService(const ImportService&) = delete;
    ImportService& operator=(const ImportService&) = delete;

    // A simulated run reads and checks everything and reports the rows it
    // would insert through wouldInsert; it writes no table file.
    void setSimulation(bool on) { simular_ = on; }
    // Where a run keeps the undo record of each table it changed (the
    // program's folder); none is kept when empty.
    void setUndoFolder(const std::string& folder) { pastaDesfazer_ = folder; }

    // One run over pasta into the tables of pastaDados.
    ImportOutcome run(ImportMode mode, const std::string& pastaDados, const std::string& pasta,
                      EstadoImportacao& estado);

    // The per-file steps, on a loaded document; true when a row was inserted.
    bool importaCliente(xml::Document& documento, db::Query& consulta, TCliente& cliente);
    bool importaProduto(xml::Document& documento, db::Query& consulta, TProduto& produto, std::string& codigoProduto);

    // The first column the run relies on that the target table of the mode
    // lacks; nothing when it has them all. Notes the width of the product
    // code column, which a product's code must fit whole.
    std::optional<std::string> firstMissingColumn(ImportMode mode, const std::string& pastaDados);
    bool campoExite(db::Table& tabela, const std::string& campo);

private:
    bool loadEntry(const std::string& path);
    bool importFile(const std::string& path, ImportMode mode, EstadoImportacao& estado);
    int32_t importDocument(const std::string& path, size_t entry, ImportMode mode, EstadoImportacao& estado);
    void lookOverFolder(const DirectorySearch& search, const std::string& pasta, ImportMode mode);
    int32_t importNote(ImportMode mode, const nfe::Note& note, const std::string& quoted, EstadoImportacao& estado);
    bool codeFits(const std::string& item, const std::string& codigoProduto, const std::string& descricao);
    bool importClient(const xml::Element& dest, db::Query& consulta, TCliente& cliente);
    bool importProduct(const xml::Element& det, db::Query& consulta, TProduto& produto, std::string& codigoProduto);
    void writeInsert(db::Query& consulta, ImportMode mode, bool withOptional) const;
    bool alreadyStored(db::Query& consulta, const char* lookup, const std::string& value,
                       const std::set<std::string>& simulated);
    int32_t nextFreeCode(db::Query& consulta, const char* lookup, int32_t last);
    void insertOrSimulate(db::Query& consulta, const std::string& codigo, const std::string& nome);
    void logFittedValues(const db::Query& consulta);
    void log(const std::string& line) { reporter_.report(line, false); }
    void logRecoveries();
    int32_t importEntry(const std::string& path, size_t entry, ImportMode mode, EstadoImportacao& estado);
    void commitRun();

    db::Session& session_;
    ImportReporter& reporter_;
    bool simular_ = false;
    std::string pastaDesfazer_;

    // What one run works with.
    std::unique_ptr<db::Query> query_;
    std::unique_ptr<xml::Document> xmlDocumento_;
    TSearchRec registroBusca;
    int32_t resultadoBusca = 0;
    int codigoWidth_ = 0;  // of TABEST1's Codigo; 0 while not known
    os::RegionalSettings regional_;  // the prices are read with them, as at the run's start
    // What the run learnt of its folder before reading it: the root element
    // of each entry that is not an export file of any mode (by listing
    // position), the accepted cancellations of its event files by the key of
    // the note they cancel, and why an event file could not be read.
    std::vector<xml::RootElement> roots_;
    FolderCancellations folderCancellations_;
    std::map<size_t, std::string> unreadableEvents_;
    // In a simulation: what earlier files of the run would have inserted.
    std::set<std::string> simulatedKeys_;
    std::set<std::string> simulatedCodes_;
};
