// tessaly-import: the import from the command line, for scheduled imports,
// scripts and support. It finds the host as the window does, runs the same
// import service and writes the same activity log.

#include "host/host_discovery.h"
#include "host/shell_folders.h"
#include "host/working_folders.h"
#include "import/import_service.h"
#include "import/undo_service.h"
#include "log/activity_log.h"
#include "platform/sql/session.h"
#include "host/qt_text.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <unistd.h>

namespace {

enum ExitStatus { finished = 0, failed = 1, wrongUsage = 2, hostRefused = 3 };

const char* const usageText =
    "Uso: tessaly-import [--dados PASTA] [--simular] clientes|produtos PASTA_XML\n"
    "     tessaly-import [--dados PASTA] [--simular] desfazer clientes|produtos\n"
    "\n"
    "Importa os arquivos XML de clientes (*CLIENTE-*.xml) ou de produtos\n"
    "(*PRODUTO-*.xml) da PASTA_XML para as tabelas do Pelko.\n"
    "\n"
    "desfazer devolve a tabela de clientes ou de produtos ao estado de antes\n"
    "da última importação, se ninguém a alterou desde então.\n"
    "\n"
    "  --dados PASTA  usa esta pasta de dados do Pelko em vez da encontrada\n"
    "                 na instalação (prefixo do Wine, registro, ROTAS.INI)\n"
    "  --simular      lê e confere tudo e mostra o que seria incluído, sem\n"
    "                 gravar nada nas tabelas nem no registro de atividades;\n"
    "                 com desfazer, mostra os registros que seriam removidos\n"
    "  --help         mostra este texto\n"
    "  --version      mostra a versão\n"
    "\n"
    "Saída: 0 importação concluída (ou desfeita, ou nada a desfazer), 1 erro\n"
    "durante a importação (ou tabela alterada desde a importação a desfazer),\n"
    "2 uso incorreto, 3 instalação ou pasta de dados do Pelko recusada.\n";

void printLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int usage(const QString& problem)
{
    if (!problem.isEmpty())
        printLine(stderr, QStringLiteral("tessaly-import: ") + problem);
    std::fputs(usageText, stderr);
    return wrongUsage;
}

struct Arguments {
    ImportMode mode = ImportMode::Clientes;
    bool desfazer = false;
    QString pasta;
    QString dados;
    bool simular = false;
};

// Lines go to the activity log and to standard output; a progress bar to
// standard error when that is a terminal.
class ConsoleReporter final : public ImportReporter {
public:
    ConsoleReporter(ActivityLog& log, bool simular) : log_(log), simular_(simular) {}

    void report(const QString& line, bool) override
    {
        clearBar();
        if (!simular_)
            writeLog(line);
        printLine(stdout, line);
    }
    void wouldInsert(const QString& codigo, const QString& nome) override
    {
        clearBar();
        printLine(stdout, QStringLiteral("Seria incluído: ") + codigo + QStringLiteral(" ") + visibleText(nome));
    }
    void wouldRemove(const QString& codigo, const QString& nome) override
    {
        printLine(stdout, QStringLiteral("Seria removido: ") + codigo + QStringLiteral(" ") + visibleText(nome));
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
        QString notice;
        if (!log_.write(line, &notice) && !notice.isEmpty())
            printLine(stderr, notice);
    }

private:
    void clearBar()
    {
        if (shown_)
            std::fputs("\r\x1b[K", stderr);
        shown_ = false;
    }

    ActivityLog& log_;
    bool simular_;
    bool bar_ = ::isatty(STDERR_FILENO) == 1;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point drawn_;
};

// The host's data folder, found as the window finds it, or given.
std::optional<QString> dataFolder(const Arguments& args)
{
    QString dados = args.dados;
    if (dados.isEmpty()) {
        const HostLocation found = findHostData();
        if (!found.message.isEmpty())
            printLine(stderr, found.message);
        if (found.pastaDados.isEmpty())
            return std::nullopt;
        dados = found.pastaDados;
    }
    if (const QString missing = missingTablesMessage(dados); !missing.isEmpty()) {
        printLine(stderr, missing);
        return std::nullopt;
    }
    return dados;
}

int runUndo(const Arguments& args, const QString& dados, const QString& pastaPrograma, ImportReporter& reporter)
{
    UndoService service(reporter);
    service.setSimulation(args.simular);
    const UndoOutcome outcome = service.run(args.mode, dados, pastaPrograma);
    if (outcome.kind == UndoOutcome::Kind::Refused)
        return failed;
    if (args.simular && outcome.kind == UndoOutcome::Kind::Undone)
        printLine(stdout, QStringLiteral("Simulação: %1 registro(s) seriam removidos; nenhuma tabela foi alterada.")
                              .arg(outcome.removed));
    return finished;
}

int runImport(const Arguments& args)
{
    const std::optional<QString> dados = dataFolder(args);
    if (!dados)
        return hostRefused;
    QString pastaPrograma;
    QString pastaTemporaria;
    try {
        pastaPrograma = programFolderIn(shellFolder(CSIDL_COMMON_APPDATA, false));
    } catch (const std::exception& e) {
        printLine(stderr, QString::fromUtf8(e.what()));
        return hostRefused;
    }
    QString refusal = createProgramFolder(pastaPrograma);
    if (refusal.isEmpty())
        refusal = createTemporaryFolder(pastaPrograma, pastaTemporaria);
    db::Session session;
    if (refusal.isEmpty() && !args.simular)
        removeStaleLockFiles(pastaTemporaria, *dados, WinePrefix());
    if (refusal.isEmpty())
        refusal = openSession(session, *dados, pastaTemporaria);
    if (!refusal.isEmpty()) {
        printLine(stderr, refusal);
        return hostRefused;
    }

    ActivityLog log(ActivityLog::pathIn(pastaPrograma));
    ConsoleReporter reporter(log, args.simular);
    ImportService service(session, reporter);
    service.setSimulation(args.simular);
    if (!args.simular)
        service.setUndoFolder(pastaPrograma);
    EstadoImportacao estado;
    try {
        if (args.desfazer)
            return runUndo(args, *dados, pastaPrograma, reporter);
        const ImportOutcome outcome = service.run(args.mode, *dados, args.pasta, estado);
        if (outcome.kind == ImportOutcome::Kind::MissingColumn) {
            if (!args.simular)
                reporter.writeLog(outcome.message);
            printLine(stderr, outcome.message);
            return failed;
        }
        if (args.simular)
            printLine(stdout, QStringLiteral("Simulação: nenhuma tabela nem o registro de atividades foram alterados."));
        return finished;
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        if (!args.simular)
            reporter.writeLog(visibleText(text));
        printLine(stderr, text);
        return failed;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList words = QCoreApplication::arguments().mid(1);
    Arguments args;
    QStringList positional;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        if (w == QLatin1String("--help") || w == QLatin1String("-h")) {
            std::fputs(usageText, stdout);
            return finished;
        }
        if (w == QLatin1String("--version")) {
            printLine(stdout, QStringLiteral("tessaly-import ") + programVersion());
            return finished;
        }
        if (w == QLatin1String("--simular")) {
            args.simular = true;
        } else if (w == QLatin1String("--dados")) {
            if (++i >= words.size())
                return usage(QStringLiteral("falta a pasta depois de --dados"));
            args.dados = words[i];
        } else if (w.startsWith(QLatin1String("--dados="))) {
            args.dados = w.mid(8);
        } else if (w.startsWith(QLatin1String("-")) && w.size() > 1) {
            return usage(QStringLiteral("opção desconhecida: ") + w);
        } else {
            positional << w;
        }
    }
    if (positional.size() == 2 && positional[0] == QLatin1String("desfazer")) {
        args.desfazer = true;
        positional.removeFirst();
        positional << QString();
    }
    if (positional.size() != 2)
        return usage(positional.isEmpty() ? QString() : QStringLiteral("esperava o modo e a pasta dos arquivos XML"));
    if (positional[0] == QLatin1String("clientes"))
        args.mode = ImportMode::Clientes;
    else if (positional[0] == QLatin1String("produtos"))
        args.mode = ImportMode::Produtos;
    else
        return usage(QStringLiteral("modo desconhecido: ") + positional[0] + QStringLiteral(" (clientes ou produtos)"));
    args.pasta = positional[1];
    if (!args.desfazer && !QFileInfo(args.pasta).isDir())
        return usage(QStringLiteral("a pasta dos arquivos XML não existe: ") + args.pasta);
    return runImport(args);
}
