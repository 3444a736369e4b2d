#include "import/import_service.h"

#include "import/note_verdict.h"
#include "import/record_values.h"
#include "nfe/client_reader.h"
#include "nfe/integer_text.h"
#include "nfe/note_status.h"
#include "platform/os/file.h"
#include "platform/paradox/error.h"
#include "platform/paradox/journal.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/undo_record.h"
#include "platform/sql/query.h"
#include "platform/sql/session.h"
#include "platform/sql/table.h"
#include "platform/xml/document.h"
#include "platform/text/visible_text.h"
#include "rules/text_padding.h"

#include <algorithm>
#include <filesystem>

std::string missingColumnMessage(ImportMode mode, const std::string& column)
{
    return "Não foi localizado o campo \"" + column + descriptorOf(mode).missingColumnEnd;
}

std::string recoveryMessage(const std::string& tablePath)
{
    return "A tabela \"" + text::visible(tablePath)
           + "\" tinha uma gravação interrompida (o programa foi encerrado ou o computador desligou "
             "durante uma importação); ela voltou ao estado de antes daquela importação.";
}

std::string undoRecordPath(const std::string& pastaPrograma, const std::string& tablePath)
{
    return pastaPrograma + '/' + tablePath.substr(tablePath.rfind('/') + 1) + ".desfazer";
}

ImportService::ImportService(db::Session& session, ImportReporter& reporter)
    : session_(session), reporter_(reporter), regional_(os::systemRegionalSettings())
{
}

ImportService::~ImportService() = default;

bool ImportService::campoExite(db::Table& tabela, const std::string& campo)
{
    return tabela.hasField(campo);
}

std::optional<std::string> ImportService::firstMissingColumn(ImportMode mode, const std::string& pastaDados)
{
    db::Table table(session_);
    table.setDatabaseName(pastaDados);
    table.setTableName(targetTable(mode, pastaDados));
    table.open();
    std::optional<std::string> missing;
    for (const char* column : descriptorOf(mode).requiredColumns) {
        if (!campoExite(table, column)) {
            missing = column;
            break;
        }
    }
    switch (mode) {
    case ImportMode::Clientes:
        codigoWidth_ = 0;
        break;
    case ImportMode::Produtos:
        codigoWidth_ = table.textWidth("Codigo");
        break;
    }
    table.close();
    return missing;
}

void ImportService::logFittedValues(const db::Query& consulta)
{
    for (const db::Query::Adjustment& a : consulta.adjustments())
        log("Arquivo \"" + registroBusca.Name + "\": o valor do campo " + text::visible(a.column)
            + " foi ajustado ao tamanho e aos caracteres da tabela. Valor original: \"" + text::visible(a.original)
            + "\".");
}

bool ImportService::alreadyStored(db::Query& consulta, const char* lookup, const std::string& value,
                                  const std::set<std::string>& simulated)
{
    consulta.close();
    consulta.clearSql();
    consulta.addSql(lookup);
    consulta.param(0).setAsString(value);
    consulta.open();
    const size_t found = consulta.recordCount();
    consulta.close();
    return found > 0 || simulated.count(value) > 0;
}

// The first code after last that no row holds: a row stored under a short
// code of its own ("8") sorts ahead of the generated ones ("000009") as text,
// so the code after the last one found may be taken already.
int32_t ImportService::nextFreeCode(db::Query& consulta, const char* lookup, int32_t last)
{
    int32_t code = std::max(last, 0);
    do {
        ++code;
    } while (code <= largestCode && alreadyStored(consulta, lookup, InteiroComZeros(code, 6), simulatedCodes_));
    return code;
}

// The mode's insert into the query; withOptional: with the mode's optional
// column.
void ImportService::writeInsert(db::Query& consulta, ImportMode mode, bool withOptional) const
{
    const ModeDescriptor& d = descriptorOf(mode);
    const bool optional = withOptional && d.optionalColumn;
    consulta.clearSql();
    consulta.addSql(std::string(d.insertColumns) + (optional ? std::string(", ") + d.optionalColumn : "") + " )");
    consulta.addSql(std::string(d.insertValues) + (optional ? std::string(", ") + d.optionalValue : "") + " )");
}

// Runs the insert the query holds, or in a simulation reports the row.
void ImportService::insertOrSimulate(db::Query& consulta, const std::string& codigo, const std::string& nome)
{
    if (simular_) {
        simulatedCodes_.insert(codigo);
        reporter_.wouldInsert(codigo, nome);
        return;
    }
    consulta.execSql();
    logFittedValues(consulta);
}

ImportOutcome ImportService::run(ImportMode mode, const std::string& pastaDados, const std::string& pasta,
                                 EstadoImportacao& estado)
{
    const ModeDescriptor& m = descriptorOf(mode);
    int32_t* lastCode = nullptr;
    switch (mode) {
    case ImportMode::Clientes:
        lastCode = &estado.clienteAtual.Codigo;
        break;
    case ImportMode::Produtos:
        lastCode = &estado.produtoAtual.Codigo;
        estado.codigoProduto.clear();
        break;
    }
    simulatedKeys_.clear();
    simulatedCodes_.clear();
    regional_ = os::systemRegionalSettings();

    if (const std::optional<std::string> missing = firstMissingColumn(mode, pastaDados))
        return {ImportOutcome::Kind::MissingColumn, 0, missingColumnMessage(mode, *missing)};
    // A commit cut short is played back by a run that writes, as a writer;
    // a simulation reads the table as before it.
    const std::string target = targetTable(mode, pastaDados);
    if (!simular_)
        session_.recover(target);
    else if (session_.open(target)->journal().overlaid())
        log("A tabela \"" + text::visible(target)
            + "\" tem uma gravação interrompida; a simulação a lê como antes dela, e a próxima importação a desfará.");
    logRecoveries();
    *lastCode = 0;
    if (pasta.empty()) {
        reporter_.report("Informe a pasta onde estão os arquivos XML.", true);
        return {ImportOutcome::Kind::NoFolder, 0, {}};
    }

    query_ = std::make_unique<db::Query>(session_);
    query_->setDatabaseName(pastaDados);
    query_->setFitTexts(true);
    log("Verificando último código cadastrado no banco de dados do software Pelko");
    query_->clearSql();
    query_->addSql(m.lastCodeQuery);
    query_->open();
    while (!query_->eof()) {
        int32_t code = 0;
        bool converted = false;
        try {
            converted = textToInt32(query_->fieldAsString("CODIGO"), code);
        } catch (const paradox::Error&) {
            converted = false;
        }
        if (converted) {
            *lastCode = code;
            break;
        }
        query_->next();
        reporter_.pause(Pause::LastCodeRow);
    }
    log("Código retornado: " + std::to_string(*lastCode));
    query_->close();
    query_->clearSql();

    log("Diretório informado pelo usuário: " + text::visible(pasta));
    DirectorySearch search;
    resultadoBusca = search.findFirst(pasta, "*.xml", registroBusca);
    if (resultadoBusca != 0) {
        reporter_.report("A pasta \"" + text::visible(pasta) + "\" não possui arquivos XML.\nPor favor, selecione outra pasta",
                         true);
        return {ImportOutcome::Kind::NoXmlFiles, 0, {}};
    }

    lookOverFolder(search, pasta, mode);
    switch (mode) {
    case ImportMode::Clientes:
        break;
    case ImportMode::Produtos:
        estado.produtoAtual.orig = -1;
        break;
    }
    int32_t inserted = 0;
    xmlDocumento_ = std::make_unique<xml::Document>();
    if (!simular_)
        session_.begin();
    try {
        for (size_t done = 0; resultadoBusca == 0; ++done) {
            reporter_.progress(done, search.size());
            reporter_.pause(Pause::FolderEntry);
            inserted += importEntry(pasta + '/' + registroBusca.nativeName, done, mode, estado);
            resultadoBusca = search.findNext(registroBusca);
        }
    } catch (...) {
        query_.reset();
        commitRun();  // the files complete before the error keep their rows
        throw;
    }
    reporter_.progress(search.size(), search.size());
    query_.reset();
    commitRun();

    std::string summary = m.nothingInserted;
    if (inserted >= 1) {
        const std::string plural = inserted > 1 ? "s" : "";
        summary = std::to_string(inserted) + m.noun + plural + " cadastrado" + plural + " com sucesso!";
    }
    reporter_.report(summary, true);
    session_.dropInactiveConnections();
    return {ImportOutcome::Kind::Finished, inserted, summary};
}

// One entry of the folder, all or nothing: rows it inserted before an error
// go again.
int32_t ImportService::importEntry(const std::string& path, size_t entry, ImportMode mode, EstadoImportacao& estado)
{
    const size_t mark = session_.savepoint();
    int32_t inserted = 0;
    try {
        if (registroBusca.Name.find(descriptorOf(mode).prefix) != std::string::npos)
            inserted = importFile(path, mode, estado) ? 1 : 0;
        else if (!namedForOtherMode(mode, registroBusca.Name))
            inserted = importDocument(path, entry, mode, estado);
    } catch (...) {
        session_.rollbackTo(mark);
        throw;
    }
    session_.release(mark);
    return inserted;
}

// The run's rows go to the disk together; the journal that would take them
// back becomes the table's undo record.
void ImportService::commitRun()
{
    if (!session_.inTransaction())
        return;
    // The undo record is written at each table's commit point, so that the
    // commit and its record form one step: a commit rolled back takes its
    // record away again.
    session_.commit([this](const std::string& tablePath, const std::vector<uint8_t>* journal) {
        if (pastaDesfazer_.empty())
            return;
        const std::string path = undoRecordPath(pastaDesfazer_, tablePath);
        if (!journal) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            return;
        }
        const auto status = os::replaceWhole(path, paradox::undoRecord(tablePath, *journal), &session_.env().files);
        if (!status)
            log("Não foi possível guardar em \"" + text::visible(path) + "\" o necessário para desfazer esta importação: "
                + status.text() + ".");
    });
}

// A run that was cut short (a crash, a power cut) is undone when its table
// is next opened; the log tells it.
void ImportService::logRecoveries()
{
    for (const std::string& path : session_.takeRecoveries())
        log(recoveryMessage(path));
}

// Logs the entry as found and loads it into the run's document; false when
// the open file turned out not to be one to read (logged too).
bool ImportService::loadEntry(const std::string& path)
{
    log("Arquivo localizado: \"" + registroBusca.Name + "\".");
    try {
        xmlDocumento_->load(path);
    } catch (const xml::SkippedFile& e) {
        log(e.what());
        return false;
    }
    return true;
}

// One entry of the folder: read when it is a regular file within the size
// limit, passed over with a log line otherwise (a folder, a FIFO, a device).
bool ImportService::importFile(const std::string& path, ImportMode mode, EstadoImportacao& estado)
{
    const std::string reason = xml::passedOver(registroBusca.Facts, registroBusca.Name);
    if (!reason.empty()) {
        log(reason);
        return false;
    }
    if (!loadEntry(path))
        return false;
    switch (mode) {
    case ImportMode::Clientes:
        return importaCliente(*xmlDocumento_, *query_, estado.clienteAtual);
    case ImportMode::Produtos:
        return importaProduto(*xmlDocumento_, *query_, estado.produtoAtual, estado.codigoProduto);
    }
    __builtin_unreachable();
}

// Before any note is read: the root element of every entry that is not an
// export file of any mode, told from its first bytes (once a run), and the
// cancellations that the folder's event files register, so that a note is
// judged by its events whatever the order of the names.
void ImportService::lookOverFolder(const DirectorySearch& search, const std::string& pasta, ImportMode mode)
{
    const std::string_view prefix = descriptorOf(mode).prefix;
    const std::string folder = pasta + '/';
    roots_.assign(search.size(), {});
    folderCancellations_.clear();
    unreadableEvents_.clear();
    std::unique_ptr<xml::Document> event;
    for (size_t i = 0; i < search.size(); ++i) {
        if (search.shownName(i).find(prefix) != std::string::npos || namedForOtherMode(mode, search.shownName(i)))
            continue;
        reporter_.pause(Pause::FolderLookOver);
        const std::string path = folder + search.nativeName(i);
        roots_[i] = xml::rootElementOf(path);
        if (nfe::kindOf(roots_[i]) != nfe::FileKind::Event)
            continue;
        try {
            if (!event)
                event = std::make_unique<xml::Document>();
            event->load(path);
            for (const nfe::Cancellation& c : nfe::cancellationsIn(event->root()))
                if (!c.key.empty())
                    folderCancellations_.try_emplace(c.key, FolderCancellation{search.shownName(i), c.status});
        } catch (const xml::Error& e) {
            unreadableEvents_[i] = e.what();
        }
    }
}

// An entry whose name is not an export file of any mode: an NF-e document,
// told by its root element, gives its recipient or its items; any other file
// is none of the run's business.
int32_t ImportService::importDocument(const std::string& path, size_t entry, ImportMode mode, EstadoImportacao& estado)
{
    if (!xml::passedOver(registroBusca.Facts, {}).empty())
        return 0;
    const xml::RootElement& root = roots_.at(entry);
    const std::string quoted = "\"" + registroBusca.Name + "\"";
    switch (nfe::kindOf(root)) {
    case nfe::FileKind::Other:
        return 0;
    case nfe::FileKind::Event:
        if (const auto u = unreadableEvents_.find(entry); u != unreadableEvents_.end())
            log(u->second);
        log("O arquivo " + quoted + " é um evento da NF-e (procEventoNFe), não uma nota, e foi ignorado.");
        return 0;
    case nfe::FileKind::Note:
        break;
    }
    if (!loadEntry(path))
        return 0;
    const nfe::Note note(xmlDocumento_->root(), nfe::isProcessedNote(root));
    if (const NoteVerdict verdict = judgeNote(note, folderCancellations_); verdict.kind != NoteVerdict::Kind::Import) {
        log("A nota do arquivo " + quoted + passedOverText(verdict));
        return 0;
    }
    return importNote(mode, note, quoted, estado);
}

// What a note to import gives the mode: its recipient, or each of its items.
int32_t ImportService::importNote(ImportMode mode, const nfe::Note& note, const std::string& quoted, EstadoImportacao& estado)
{
    switch (mode) {
    case ImportMode::Clientes: {
        const xml::Element dest = note.recipient();
        if (!nfe::hasTaxNumber(dest)) {
            log("A nota do arquivo " + quoted + " não tem destinatário com CPF ou CNPJ e foi ignorada.");
            return 0;
        }
        return importClient(dest, *query_, estado.clienteAtual) ? 1 : 0;
    }
    case ImportMode::Produtos: {
        int32_t inserted = 0;
        for (const xml::Element& det : note.items())
            inserted += importProduct(det, *query_, estado.produtoAtual, estado.codigoProduto) ? 1 : 0;
        return inserted;
    }
    }
    __builtin_unreachable();
}
