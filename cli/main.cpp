// tessaly-import: the import from the command line, for scheduled imports,
// scripts and support. It finds the host as the window does, runs the same
// import service and writes the same activity log.

#include "host/shell_folders.h"
#include "host/startup.h"
#include "import/import_service.h"
#include "import/undo_service.h"
#include "log/activity_log.h"
#include "platform/sql/session.h"
#include "rules/text_padding.h"
#include "platform/text/qt_text.h"

#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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
void printLine(FILE* stream, const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    const QByteArray bytes = lines.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// A problem of the command line itself: one line for it, one for the help.
int wrongUse(const QString& problem)
{
    printLine(stderr, QStringLiteral("tessaly-import: ") + problem);
    printLine(stderr, QStringLiteral("Use \"tessaly-import --help\" para ver como usar."));
    return wrongUsage;
}

// A path from the command line as the terminal can show it, whatever its bytes.
QString shownPath(const QByteArray& bytes) { return QString::fromStdString(text::visible(bytes.toStdString())); }

struct Arguments {
    ImportMode mode = ImportMode::Clientes;
    bool desfazer = false;
    QByteArray pasta;  // the XML folder's own bytes
    QString dados;
    bool simular = false;
    bool detalhes = false;
};

QString modeNoun(ImportMode mode, int32_t count)
{
    if (mode == ImportMode::Clientes)
        return count == 1 ? QStringLiteral("cliente") : QStringLiteral("clientes");
    return count == 1 ? QStringLiteral("produto") : QStringLiteral("produtos");
}

// Lines go to the activity log and to standard output; a progress bar to
// standard error when that is a terminal. The lines the service tells the
// user are held for the front end's own summary.
class ConsoleReporter final : public ImportReporter {
public:
    ConsoleReporter(ActivityLog& log, const Arguments& args) : log_(log), args_(args) {}

    void report(const std::string& text, bool tell) override
    {
        const QString line = QString::fromStdString(text);
        clearBar();
        if (!args_.simular)
            writeLog(line);
        if (tell && holdTold_) {
            told_ = line;
            return;
        }
        if (!args_.detalhes)
            for (const char* step : stepLines)
                if (line.startsWith(QString::fromUtf8(step)))
                    return;
        printLine(stdout, line);
    }
    // Code and name apart, so that a script splits them at the tabs.
    void wouldInsert(const std::string& codigo, const std::string& nome) override
    {
        clearBar();
        printLine(stdout, QStringLiteral("Seria incluído\t") + visibleText(QString::fromStdString(codigo)) + QChar('\t')
                              + visibleText(QString::fromStdString(nome)));
    }
    void wouldRemove(const std::string& codigo, const std::string& nome) override
    {
        printLine(stdout, QStringLiteral("Seria removido\t") + visibleText(QString::fromStdString(codigo)) + QChar('\t')
                              + visibleText(QString::fromStdString(nome)));
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
        QString text = QStringLiteral("\r[") + QString(filled, QChar('#')) + QString(width - filled, QChar('.'))
                       + QStringLiteral("] %1/%2 arquivos").arg(done).arg(found);
        if (rate > 0)
            text += QStringLiteral(", %1/s, faltam %2 s").arg(rate, 0, 'f', 0).arg(double(found - done) / rate, 0, 'f', 0);
        std::fputs(text.toUtf8().constData(), stderr);
        std::fputs("\x1b[K", stderr);
        std::fflush(stderr);
        shown_ = true;
    }

    // Writes a line to the log only; its first failure is told once.
    void writeLog(const QString& line)
    {
        std::string notice;
        if (!log_.write(line.toStdString(), &notice) && !notice.empty())
            printLine(stderr, QString::fromStdString(notice));
    }

    void holdTold() { holdTold_ = true; }
    const QString& told() const { return told_; }

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
    QString told_;
    bool bar_ = ::isatty(STDERR_FILENO) == 1;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawn_;
};

// The start's refusals, each on a line of its own on standard error.
class ConsoleStartupListener final : public StartupListener {
public:
    void refused(const std::string& message) override { printLine(stderr, QString::fromStdString(message)); }
};

// The XML folder as the import service opens it, checked first: a folder
// that is missing, no folder, or unreadable ends the command with status 1.
// A name that is no UTF-8 text reaches the service through a descriptor
// opened on its own bytes.
std::optional<QString> xmlFolder(const QByteArray& pasta)
{
    struct stat info {};
    QString problem;
    if (::stat(pasta.constData(), &info) != 0)
        problem = errno == ENOENT ? QStringLiteral("a pasta não existe: ") + shownPath(pasta)
                                  : QStringLiteral("não foi possível ler a pasta %1: %2")
                                        .arg(shownPath(pasta), QString::fromLocal8Bit(std::strerror(errno)));
    else if (!S_ISDIR(info.st_mode))
        problem = QStringLiteral("não é uma pasta: ") + shownPath(pasta);
    else if (DIR* dir = ::opendir(pasta.constData()))
        ::closedir(dir);
    else
        problem = QStringLiteral("não foi possível ler a pasta %1: %2")
                      .arg(shownPath(pasta), QString::fromLocal8Bit(std::strerror(errno)));
    if (!problem.isEmpty()) {
        printLine(stderr, QStringLiteral("tessaly-import: ") + problem);
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(pasta);
    if (text.toUtf8() == pasta)
        return text;
    const int fd = ::open(pasta.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        printLine(stderr, QStringLiteral("tessaly-import: não foi possível ler a pasta %1: %2")
                              .arg(shownPath(pasta), QString::fromLocal8Bit(std::strerror(errno))));
        return std::nullopt;
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}

// What a run ended with, in the command line's words.
void printOutcome(const Arguments& args, const ImportOutcome& outcome, const ConsoleReporter& reporter)
{
    if (outcome.kind == ImportOutcome::Kind::NoXmlFiles) {
        printLine(stdout, QStringLiteral("A pasta \"%1\" não tem arquivos XML: nada a importar.").arg(shownPath(args.pasta)));
    } else if (!args.simular) {
        if (!reporter.told().isEmpty())
            printLine(stdout, reporter.told());
    } else if (outcome.inserted == 0) {
        printLine(stdout, QStringLiteral("Nenhum %1 seria cadastrado.").arg(modeNoun(args.mode, 1)));
    } else {
        printLine(stdout, QStringLiteral("%1 %2 %3.")
                              .arg(outcome.inserted)
                              .arg(modeNoun(args.mode, outcome.inserted),
                                   outcome.inserted == 1 ? QStringLiteral("seria cadastrado")
                                                         : QStringLiteral("seriam cadastrados")));
    }
    if (args.simular)
        printLine(stdout, QStringLiteral("Simulação: nenhuma tabela nem o registro de atividades foram alterados."));
}

int runUndo(const Arguments& args, const QString& dados, const QString& pastaPrograma, ImportReporter& reporter)
{
    UndoService service(reporter);
    service.setSimulation(args.simular);
    const UndoOutcome outcome = service.run(args.mode, dados.toStdString(), pastaPrograma.toStdString());
    if (outcome.kind == UndoOutcome::Kind::Refused)
        return failed;
    if (args.simular && outcome.kind == UndoOutcome::Kind::Undone)
        printLine(stdout, QStringLiteral("Simulação: %1 registro(s) seriam removidos; nenhuma tabela foi alterada.")
                              .arg(outcome.removed));
    return finished;
}

int runImport(const Arguments& args)
{
    std::optional<QString> pasta;
    if (!args.desfazer && !(pasta = xmlFolder(args.pasta)))
        return failed;
    HostFolders folders;
    db::Session session;
    ConsoleStartupListener listener;
    StartupOptions options;
    options.pastaDados = args.dados.toStdString();
    options.refuseBeforeMaking = true;
    options.keepLockFiles = args.simular;
    try {
        if (!Startup(folders, session, listener, options).run()) {
            if (args.dados.isEmpty() && folders.pastaInstalacao.empty() && folders.pastaDados.empty())
                printLine(stderr, QStringLiteral("Indique a pasta de dados do Pelko com --dados PASTA, ou o prefixo do Wine "
                                                 "em que ele está instalado com WINEPREFIX=PASTA."));
            return hostRefused;
        }
    } catch (const std::exception& e) {
        printLine(stderr, QString::fromUtf8(e.what()));
        return hostRefused;
    }
    const QString dados = QString::fromStdString(folders.pastaDados);
    const QString pastaPrograma = QString::fromStdString(folders.pastaPrograma);

    ActivityLog log(ActivityLog::pathIn(folders.pastaPrograma));
    ConsoleReporter reporter(log, args);
    ImportService service(session, reporter);
    service.setSimulation(args.simular);
    if (!args.simular)
        service.setUndoFolder(pastaPrograma.toStdString());
    EstadoImportacao estado;
    try {
        if (args.desfazer)
            return runUndo(args, dados, pastaPrograma, reporter);
        reporter.holdTold();
        const ImportOutcome outcome = service.run(args.mode, dados.toStdString(), pasta->toStdString(), estado);
        if (outcome.kind == ImportOutcome::Kind::MissingColumn) {
            if (!args.simular)
                reporter.writeLog(QString::fromStdString(outcome.message));
            printLine(stderr, QString::fromStdString(outcome.message));
            return failed;
        }
        printOutcome(args, outcome, reporter);
        return finished;
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        if (!args.simular)
            reporter.writeLog(visibleText(text));
        printLine(stderr, text);
        return failed;
    }
}

// Reads the command line, as bytes: a folder's name need not be text. Returns
// the status to end with, or nothing when the arguments call for a run.
std::optional<int> parseArguments(int argc, char** argv, Arguments& args)
{
    std::vector<QByteArray> positional;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray w(argv[i]);
        if (!options || w == "-" || !w.startsWith('-')) {
            positional.push_back(w);
        } else if (w == "--") {
            options = false;
        } else if (w == "--help" || w == "-h") {
            std::fputs(usageText, stdout);
            return finished;
        } else if (w == "--version") {
            printLine(stdout, QStringLiteral("tessaly-import ") + QString::fromStdString(programVersion()));
            return finished;
        } else if (w == "--simular") {
            args.simular = true;
        } else if (w == "--detalhes") {
            args.detalhes = true;
        } else if (w == "--dados" || w.startsWith("--dados=")) {
            const QByteArray value = w == "--dados" ? (i + 1 < argc ? QByteArray(argv[++i]) : QByteArray()) : w.mid(8);
            if (value.isEmpty())
                return wrongUse(QStringLiteral("falta a pasta de dados depois de --dados"));
            args.dados = QString::fromUtf8(value);
        } else {
            return wrongUse(QStringLiteral("opção desconhecida: ") + shownPath(w));
        }
    }
    if (positional.empty())
        return wrongUse(QStringLiteral("faltam o modo (clientes ou produtos) e a pasta dos arquivos XML"));
    size_t next = 0;
    if (positional[0] == "desfazer") {
        args.desfazer = true;
        ++next;
        if (positional.size() == 1)
            return wrongUse(QStringLiteral("falta o modo depois de desfazer: clientes ou produtos"));
    }
    const QByteArray& mode = positional[next++];
    if (mode == "clientes")
        args.mode = ImportMode::Clientes;
    else if (mode == "produtos")
        args.mode = ImportMode::Produtos;
    else
        return wrongUse(QStringLiteral("modo desconhecido: ") + shownPath(mode)
                        + (args.desfazer ? QStringLiteral(" (clientes ou produtos)")
                                         : QStringLiteral(" (clientes, produtos ou desfazer)")));
    if (!args.desfazer) {
        if (next == positional.size())
            return wrongUse(QStringLiteral("falta a pasta dos arquivos XML depois de ") + QString::fromUtf8(mode));
        args.pasta = positional[next++];
        if (args.pasta.isEmpty())
            return wrongUse(QStringLiteral("a pasta dos arquivos XML está vazia"));
    }
    if (next < positional.size())
        return wrongUse(QStringLiteral("argumento a mais: ") + shownPath(positional[next]));
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Arguments args;
    if (const std::optional<int> status = parseArguments(argc, argv, args))
        return *status;
    return runImport(args);
}
