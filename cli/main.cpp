// tessaly-import: the import from the command line, for scheduled imports,
// scripts and support. It finds the host as the window does, runs the same
// import service and writes the same activity log.

#include "host/shell_folders.h"
#include "host/startup.h"
#include "import/import_service.h"
#include "import/undo_service.h"
#include "log/activity_log.h"
#include "platform/os/folder.h"
#include "platform/sql/session.h"
#include "rules/text_padding.h"
#include "platform/text/visible_text.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <langinfo.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

enum ExitStatus { finished = 0, failed = 1, wrongUsage = 2, hostRefused = 3 };

const char* const usageText =
    "Uso: tessaly-import [--dados PASTA] [--simular] [--detalhes] [--] clientes|produtos PASTA_XML\n"
    "     tessaly-import [--dados PASTA] [--simular] [--detalhes] desfazer clientes|produtos\n"
    "\n"
    "Importa os arquivos XML de clientes (*CLIENTE-*.xml e notas NF-e) ou de\n"
    "produtos (*PRODUTO-*.xml e notas NF-e) da PASTA_XML para as tabelas do Pelko.\n"
    "\n"
    "desfazer devolve a tabela de clientes ou de produtos ao estado de antes\n"
    "da última importação, se ninguém a alterou desde então.\n"
    "\n"
    "  --dados PASTA  usa esta pasta de dados do Pelko em vez da encontrada\n"
    "                 na instalação (prefixo do Wine, registro, ROTAS.INI)\n"
    "  --simular      lê e confere tudo e mostra o que seria incluído, sem\n"
    "                 gravar nada nas tabelas nem no registro de atividades;\n"
    "                 com desfazer, mostra os registros que seriam removidos\n"
    "  --detalhes     mostra também as etapas da importação (último código,\n"
    "                 pasta informada)\n"
    "  --             termina as opções: o que vem depois é modo ou pasta\n"
    "  --help         mostra este texto\n"
    "  --version      mostra a versão\n"
    "\n"
    "Saída: 0 importação concluída (ou desfeita, ou nada a desfazer), 1 erro\n"
    "durante a importação, pasta inexistente ou ilegível (ou tabela alterada\n"
    "desde a importação a desfazer), 2 uso incorreto, 3 instalação ou pasta de\n"
    "dados do Pelko recusada.\n";

// The lines of a run's steps, which the log always keeps and the terminal
// shows only with --detalhes.
const char* const stepLines[] = {"Verificando último código cadastrado", "Código retornado: ",
                                 "Diretório informado pelo usuário: "};

// The host's messages break lines with carriage returns, made for a message
// box; on a terminal each would send the cursor back over the line.
void printLine(FILE* stream, std::string_view text)
{
    const std::string bytes = text::validText(text);
    std::string lines;
    lines.reserve(bytes.size() + 1);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r')
            lines += bytes[i];
        else if (i + 1 >= bytes.size() || bytes[i + 1] != '\n')
            lines += '\n';
    }
    lines += '\n';
    std::fwrite(lines.data(), 1, lines.size(), stream);
    std::fflush(stream);
}

// A problem of the command line itself: one line for it, one for the help.
int wrongUse(const std::string& problem)
{
    printLine(stderr, "tessaly-import: " + problem);
    printLine(stderr, "Use \"tessaly-import --help\" para ver como usar.");
    return wrongUsage;
}

// A path from the command line as the terminal can show it, whatever its bytes.
std::string shownPath(std::string_view bytes) { return text::visible(bytes); }

// A value from outside as it goes into a line: valid text, then made visible.
std::string visibleText(std::string_view value) { return text::visible(text::validText(value)); }

// The C library's message for an error number, as text.
std::string errorText(int error) { return text::validText(std::strerror(error)); }

// A count or an amount without decimals, halves rounded up, in no locale's
// format.
std::string wholeNumber(double value)
{
    double whole = std::floor(value);
    if (value - whole >= 0.5)
        whole += 1;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", whole);
    return buffer;
}

struct Arguments {
    ImportMode mode = ImportMode::Clientes;
    bool desfazer = false;
    std::string pasta;  // the XML folder's own bytes
    std::string dados;
    bool simular = false;
    bool detalhes = false;
};

std::string modeNoun(ImportMode mode, int32_t count)
{
    if (mode == ImportMode::Clientes)
        return count == 1 ? "cliente" : "clientes";
    return count == 1 ? "produto" : "produtos";
}

// Lines go to the activity log and to standard output; a progress bar to
// standard error when that is a terminal. The lines the service tells the
// user are held for the front end's own summary.
class ConsoleReporter final : public ImportReporter {
public:
    ConsoleReporter(ActivityLog& log, const Arguments& args) : log_(log), args_(args) {}

    void report(const std::string& text, bool tell) override
    {
        const std::string line = text::validText(text);
        clearBar();
        if (!args_.simular)
            writeLog(line);
        if (tell && holdTold_) {
            told_ = line;
            return;
        }
        if (!args_.detalhes)
            for (const char* step : stepLines)
                if (std::string_view(line).starts_with(step))
                    return;
        printLine(stdout, line);
    }
    // Code and name apart, so that a script splits them at the tabs.
    void wouldInsert(const std::string& codigo, const std::string& nome) override
    {
        clearBar();
        printLine(stdout, "Seria incluído\t" + visibleText(codigo) + '\t' + visibleText(nome));
    }
    void wouldRemove(const std::string& codigo, const std::string& nome) override
    {
        printLine(stdout, "Seria removido\t" + visibleText(codigo) + '\t' + visibleText(nome));
    }
    void progress(size_t done, size_t found) override
    {
        if (!bar_ || found == 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (done == 0)
            start_ = now;
        // Redrawn ten times a second at most, and at the end.
        if (done != 0 && done != found && now - drawn_ < std::chrono::milliseconds(100))
            return;
        drawn_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? double(done) / seconds : 0;
        const int width = 30;
        const int filled = int(double(width) * double(done) / double(found));
        std::string text = "\r[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "] "
                           + std::to_string(done) + '/' + std::to_string(found) + " arquivos";
        if (rate > 0)
            text += ", " + wholeNumber(rate) + "/s, faltam " + wholeNumber(double(found - done) / rate) + " s";
        std::fputs(text.c_str(), stderr);
        std::fputs("\x1b[K", stderr);
        std::fflush(stderr);
        shown_ = true;
    }

    // Writes a line to the log only; its first failure is told once.
    void writeLog(const std::string& line)
    {
        std::string notice;
        if (!log_.write(text::validText(line), &notice) && !notice.empty())
            printLine(stderr, notice);
    }

    void holdTold() { holdTold_ = true; }
    const std::string& told() const { return told_; }

private:
    void clearBar()
    {
        if (shown_)
            std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }

    ActivityLog& log_;
    const Arguments& args_;
    bool holdTold_ = false;
    std::string told_;
    bool bar_ = ::isatty(STDERR_FILENO) == 1;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawn_;
};

// The start's refusals, each on a line of its own on standard error.
class ConsoleStartupListener final : public StartupListener {
public:
    void refused(const std::string& message) override { printLine(stderr, message); }
};

// The XML folder as the import service opens it, checked first: a folder
// that is missing, no folder, or unreadable ends the command with status 1.
// A name that is no UTF-8 text reaches the service through a descriptor
// opened on its own bytes.
std::optional<std::string> xmlFolder(const std::string& pasta)
{
    const auto unreadable = [&pasta](const os::Status& failure) {
        const std::string reason = errorText(failure.error());
        return "não foi possível ler a pasta " + shownPath(pasta) + ": " + reason;
    };
    bool isFolder = false;
    std::string problem;
    if (const os::Status looked = os::lookAtFolder(pasta, isFolder); !looked)
        problem = !isFolder && looked.error() == ENOENT ? "a pasta não existe: " + shownPath(pasta) : unreadable(looked);
    else if (!isFolder)
        problem = "não é uma pasta: " + shownPath(pasta);
    if (!problem.empty()) {
        printLine(stderr, "tessaly-import: " + problem);
        return std::nullopt;
    }
    if (text::validText(pasta) == pasta)
        return pasta;
    std::string held;
    if (const os::Status opened = os::heldFolderName(pasta, held); !opened) {
        printLine(stderr, "tessaly-import: " + unreadable(opened));
        return std::nullopt;
    }
    return held;
}

// What a run ended with, in the command line's words.
void printOutcome(const Arguments& args, const ImportOutcome& outcome, const ConsoleReporter& reporter)
{
    if (outcome.kind == ImportOutcome::Kind::NoXmlFiles) {
        printLine(stdout, "A pasta \"" + shownPath(args.pasta) + "\" não tem arquivos XML: nada a importar.");
    } else if (!args.simular) {
        if (!reporter.told().empty())
            printLine(stdout, reporter.told());
    } else if (outcome.inserted == 0) {
        printLine(stdout, "Nenhum " + modeNoun(args.mode, 1) + " seria cadastrado.");
    } else {
        printLine(stdout, std::to_string(outcome.inserted) + ' ' + modeNoun(args.mode, outcome.inserted) + ' '
                              + (outcome.inserted == 1 ? "seria cadastrado" : "seriam cadastrados") + '.');
    }
    if (args.simular)
        printLine(stdout, "Simulação: nenhuma tabela nem o registro de atividades foram alterados.");
}

int runUndo(const Arguments& args, const std::string& dados, const std::string& pastaPrograma,
            ImportReporter& reporter)
{
    UndoService service(reporter);
    service.setSimulation(args.simular);
    const UndoOutcome outcome = service.run(args.mode, dados, pastaPrograma);
    if (outcome.kind == UndoOutcome::Kind::Refused)
        return failed;
    if (args.simular && outcome.kind == UndoOutcome::Kind::Undone)
        printLine(stdout, "Simulação: " + std::to_string(outcome.removed)
                              + " registro(s) seriam removidos; nenhuma tabela foi alterada.");
    return finished;
}

int runImport(const Arguments& args)
{
    std::optional<std::string> pasta;
    if (!args.desfazer && !(pasta = xmlFolder(args.pasta)))
        return failed;
    HostFolders folders;
    db::Session session;
    ConsoleStartupListener listener;
    StartupOptions options;
    options.pastaDados = args.dados;
    options.refuseBeforeMaking = true;
    options.keepLockFiles = args.simular;
    try {
        if (!Startup(folders, session, listener, options).run()) {
            if (args.dados.empty() && folders.pastaInstalacao.empty() && folders.pastaDados.empty())
                printLine(stderr, "Indique a pasta de dados do Pelko com --dados PASTA, ou o prefixo do Wine "
                                  "em que ele está instalado com WINEPREFIX=PASTA.");
            return hostRefused;
        }
    } catch (const std::exception& e) {
        printLine(stderr, e.what());
        return hostRefused;
    }
    const std::string dados = text::validText(folders.pastaDados);
    const std::string pastaPrograma = text::validText(folders.pastaPrograma);

    ActivityLog log(ActivityLog::pathIn(folders.pastaPrograma));
    ConsoleReporter reporter(log, args);
    ImportService service(session, reporter);
    service.setSimulation(args.simular);
    if (!args.simular)
        service.setUndoFolder(pastaPrograma);
    EstadoImportacao estado;
    try {
        if (args.desfazer)
            return runUndo(args, dados, pastaPrograma, reporter);
        reporter.holdTold();
        const ImportOutcome outcome = service.run(args.mode, dados, *pasta, estado);
        if (outcome.kind == ImportOutcome::Kind::MissingColumn) {
            if (!args.simular)
                reporter.writeLog(outcome.message);
            printLine(stderr, outcome.message);
            return failed;
        }
        printOutcome(args, outcome, reporter);
        return finished;
    } catch (const std::exception& e) {
        if (!args.simular)
            reporter.writeLog(visibleText(e.what()));
        printLine(stderr, e.what());
        return failed;
    }
}

// Reads the command line, as bytes: a folder's name need not be text. Returns
// the status to end with, or nothing when the arguments call for a run.
std::optional<int> parseArguments(int argc, char** argv, Arguments& args)
{
    std::vector<std::string> positional;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string w(argv[i]);
        if (!options || w == "-" || !w.starts_with('-')) {
            positional.push_back(w);
        } else if (w == "--") {
            options = false;
        } else if (w == "--help" || w == "-h") {
            std::fputs(usageText, stdout);
            return finished;
        } else if (w == "--version") {
            printLine(stdout, "tessaly-import " + programVersion());
            return finished;
        } else if (w == "--simular") {
            args.simular = true;
        } else if (w == "--detalhes") {
            args.detalhes = true;
        } else if (w == "--dados" || w.starts_with("--dados=")) {
            const std::string value = w == "--dados" ? (i + 1 < argc ? std::string(argv[++i]) : std::string())
                                                     : w.substr(8);
            if (value.empty())
                return wrongUse("falta a pasta de dados depois de --dados");
            args.dados = text::validText(value);
        } else {
            return wrongUse("opção desconhecida: " + shownPath(w));
        }
    }
    if (positional.empty())
        return wrongUse("faltam o modo (clientes ou produtos) e a pasta dos arquivos XML");
    size_t next = 0;
    if (positional[0] == "desfazer") {
        args.desfazer = true;
        ++next;
        if (positional.size() == 1)
            return wrongUse("falta o modo depois de desfazer: clientes ou produtos");
    }
    const std::string& mode = positional[next++];
    if (mode == "clientes")
        args.mode = ImportMode::Clientes;
    else if (mode == "produtos")
        args.mode = ImportMode::Produtos;
    else
        return wrongUse("modo desconhecido: " + shownPath(mode)
                        + (args.desfazer ? " (clientes ou produtos)" : " (clientes, produtos ou desfazer)"));
    if (!args.desfazer) {
        if (next == positional.size())
            return wrongUse("falta a pasta dos arquivos XML depois de " + mode);
        args.pasta = positional[next++];
        if (args.pasta.empty())
            return wrongUse("a pasta dos arquivos XML está vazia");
    }
    if (next < positional.size())
        return wrongUse("argumento a mais: " + shownPath(positional[next]));
    return std::nullopt;
}

// The process's locale from the environment, its character type in UTF-8
// even when the environment names another codeset: the C library's messages
// (strerror) follow it, while fixed formats never do.
void takeLocaleFromEnvironment()
{
    std::setlocale(LC_ALL, "");
    const std::string_view codeset = nl_langinfo(CODESET);
    if (codeset == "UTF-8" || codeset == "utf8")
        return;
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    std::string name = current ? current : "";
    name = name.substr(0, name.find('.'));
    name = name.substr(0, name.find('@'));
    if (!std::setlocale(LC_CTYPE, (name + ".UTF-8").c_str()) && !std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "C.utf8");
}

} // namespace

int main(int argc, char** argv)
{
    takeLocaleFromEnvironment();
    Arguments args;
    if (const std::optional<int> status = parseArguments(argc, argv, args))
        return *status;
    return runImport(args);
}
