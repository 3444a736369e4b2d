// tessaly-import, run as a program: the same rows and log lines as the
// window's run, a simulation that changes nothing, and its exit statuses.

#include "app/application.h"
#include "import/import_service.h"
#include "platform/paradox/table_file.h"
#include "platform/sql/session.h"
#include "tests/import_fixture.h"
#include "tests/paradox_test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

// Runs the program with a home of its own and, unless told otherwise, the
// fixture's data folder; without it the program looks for the host in an
// empty Wine prefix.
Result runCli(const ImportFixture& f, QStringList args, const QString& home, bool withData = true,
              const QString& workingFolder = {}, const QString& locale = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
    env.insert(QStringLiteral("WINEPREFIX"), home + QStringLiteral("/wine"));
    if (!locale.isEmpty()) {
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.insert(QStringLiteral("LANG"), locale);
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingFolder);
    if (withData && !args.isEmpty())
        args = QStringList{QStringLiteral("--dados"), f.data()} + args;
    p.start(QStringLiteral(TESSALY_IMPORT), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList linesOf(const QString& text) { return text.split(QChar('\n'), Qt::SkipEmptyParts); }

// The rows of a listing ("Seria incluído", "Seria removido"): code and name.
QStringList listed(const QString& out, const QString& label)
{
    QStringList rows;
    for (const QString& line : linesOf(out)) {
        const QStringList fields = line.split(QChar('\t'));
        if (fields.value(0) == label) {
            if (fields.size() != 3)
                return {QStringLiteral("not three fields: ") + line};
            rows << fields[1] + QChar(' ') + fields[2];
        }
    }
    return rows;
}

// A Wine prefix whose host installation is the fixture's data folder, with a
// pelko.ini of that data version.
void installHost(const ImportFixture& f, const QString& home, const QByteArray& dataVersion)
{
    const QString prefix = home + QStringLiteral("/wine");
    QDir().mkpath(prefix + QStringLiteral("/dosdevices"));
    QDir().mkpath(prefix + QStringLiteral("/drive_c"));
    QFile::link(prefix + QStringLiteral("/drive_c"), prefix + QStringLiteral("/dosdevices/c:"));
    QFile::link(f.data(), prefix + QStringLiteral("/drive_c/Pelko"));
    QFile reg(prefix + QStringLiteral("/system.reg"));
    reg.open(QIODevice::WriteOnly | QIODevice::Truncate);
    reg.write("WINE REGISTRY Version 2\n\n#arch=win32\n\n"
              "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko] 1765360000\n"
              "\"UninstallString\"=\"C:\\\\Pelko\\\\unins000.exe\"\n");
    QFile ini(f.data() + QStringLiteral("/pelko.ini"));
    ini.open(QIODevice::WriteOnly | QIODevice::Truncate);
    ini.write("[Geral]\r\nDataVersao=" + dataVersion + "\r\n");
}


class QuietReporter final : public ImportReporter {
public:
    void report(const std::string&, bool) override {}
};

// A whole run in a child that dies before its k-th change to a file; true
// when the run finished first.
bool runKilledAt(int k, ImportMode mode, const QString& dados, const QString& xml)
{
    return test_support::finishedUnlessKilledAt(k, [&](const paradox::Env& env) {
        db::Session session(env);
        QuietReporter reporter;
        ImportService service(session, reporter);
        EstadoImportacao estado;
        service.run(mode, dados.toStdString(), xml.toStdString(), estado);
    });
}

void restore(const QString& folder, const QMap<QString, QByteArray>& contents)
{
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        QFile::remove(folder + QChar('/') + name);
    for (auto it = contents.begin(); it != contents.end(); ++it) {
        QFile f(folder + QChar('/') + it.key());
        f.open(QIODevice::WriteOnly);
        f.write(it.value());
    }
}

QMap<QString, QByteArray> contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> out;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile f(folder + QChar('/') + name);
        f.open(QIODevice::ReadOnly);
        out[name] = f.readAll();
    }
    return out;
}

// A fingerprint of every file of a folder.
QMap<QString, QByteArray> fingerprints(const QString& folder)
{
    QMap<QString, QByteArray> out = contentsOf(folder);
    for (QByteArray& content : out)
        content = QCryptographicHash::hash(content, QCryptographicHash::Sha256);
    return out;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void sameRowsAndLogLinesAsTheWindow_data()
    {
        ImportFixture::addModes();
    }
    void sameRowsAndLogLinesAsTheWindow()
    {
        QFETCH(int, mode);
        ImportFixture byWindow;
        byWindow.copySampleExports(QStringLiteral("*"));
        byWindow.run(mode);
        ImportFixture byCli;
        const Result r =
            runCli(byCli, {"--detalhes", mode == 0 ? "clientes" : "produtos", byWindow.xml()}, byCli.data() + "/../home");
        QCOMPARE(r.status, 0);
        QCOMPARE(byCli.rows(mode == 0 ? "TabCli.db" : "TabEst1.db"), byWindow.rows(mode == 0 ? "TabCli.db" : "TabEst1.db"));
        const QStringList cliLog = ImportFixture::messagesOf(byCli.data() + "/../home/share/Harbek/Tessaly.exe/Tessaly.log");
        QCOMPARE(cliLog, byWindow.logMessages());
        // With --detalhes every line went to standard output too, the summary last.
        QCOMPARE(linesOf(r.out), cliLog);
        QCOMPARE(cliLog.last(), byWindow.dialogs().messages.last());
    }

    // By default the terminal shows what became of each file and the
    // summary; the steps of the run only with --detalhes. The log keeps all.
    void stepLinesOnlyWithDetails()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), QStringLiteral("Um")));
        const QString home = f.data() + "/../home";
        const Result r = runCli(f, {"clientes", f.xml()}, home);
        QCOMPARE(r.status, 0);
        const QStringList log = ImportFixture::messagesOf(home + "/share/Harbek/Tessaly.exe/Tessaly.log");
        const QStringList steps = log.mid(0, 3);
        QVERIFY2(steps.value(0).startsWith(QStringLiteral("Verificando último código")), qPrintable(log.join('\n')));
        QVERIFY(steps.value(1).startsWith(QStringLiteral("Código retornado: ")));
        QVERIFY(steps.value(2).startsWith(QStringLiteral("Diretório informado pelo usuário: ")));
        QCOMPARE(linesOf(r.out), log.mid(3));
        QCOMPARE(linesOf(r.out).last(), QStringLiteral("1 cliente cadastrado com sucesso!"));
    }

    // A simulation reads everything, writes nothing, and shows the rows that
    // a real run then inserts.
    void simulationChangesNothing()
    {
        ImportFixture f;
        f.copySampleExports(QStringLiteral("*CLIENTE*"));
        f.writeXml(QStringLiteral("NFe-CLIENTE-9.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um"));
        f.writeXml(QStringLiteral("NFe-CLIENTE-99.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Dois"));
        const QString home = f.data() + "/../home";
        const auto before = fingerprints(f.data());
        const Result simulated = runCli(f, {"--simular", "clientes", f.xml()}, home);
        QCOMPARE(simulated.status, 0);
        QCOMPARE(fingerprints(f.data()), before);
        QVERIFY(!QFile::exists(home + "/share/Harbek/Tessaly.exe/Tessaly.log"));
        QStringList wouldInsert = listed(simulated.out, QStringLiteral("Seria incluído"));
        QVERIFY(!simulated.out.contains(QStringLiteral("com sucesso")));
        QCOMPARE(linesOf(simulated.out).mid(linesOf(simulated.out).size() - 2),
                 (QStringList{"5 clientes seriam cadastrados.",
                              "Simulação: nenhuma tabela nem o registro de atividades foram alterados."}));
        QVERIFY(simulated.out.contains(QStringLiteral("O CPF/CNPJ: 11.444.777/0001-61 já está cadastrado")));

        QCOMPARE(runCli(f, {"clientes", f.xml()}, home).status, 0);
        QStringList inserted;
        for (const QString& row : f.rows(QStringLiteral("TabCli.db")))
            inserted << row.section(QChar('\t'), 0, 0) + QChar(' ') + row.section(QChar('\t'), 2, 2);
        inserted.sort();
        wouldInsert.sort();
        QCOMPARE(wouldInsert, inserted);
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrHas");
        QTest::addColumn<bool>("withData");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "" << true;
        QTest::newRow("nothing inserted") << QStringList{"produtos", "XML"} << 0 << "" << true;
        QTest::newRow("malformed file") << QStringList{"clientes", "XML"} << 1 << "não é válido" << true;
    }
    void exitStatuses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stderrHas);
        QFETCH(bool, withData);
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), QByteArray("<cliente><dest>sem fim"));
        for (QString& a : args)
            a.replace(QLatin1String("XML"), f.xml());
        const QString home = f.data() + "/../home";
        const Result r = runCli(f, args, home, withData);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(stderrHas), qPrintable(r.err));
        if (status == 1)  // the error is in the log too
            QVERIFY(ImportFixture::messagesOf(home + "/share/Harbek/Tessaly.exe/Tessaly.log").last().contains(stderrHas));
    }

    void version()
    {
        ImportFixture f;
        const Result r = runCli(f, {"--version"}, f.data() + "/../home", false);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("tessaly-import " TESSALY_VERSION "\n"));
    }

    // Wrong use: one line that says what is wrong, one that points to the
    // help, status 2, and nothing run.
    void wrongUse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no arguments") << QStringList{} << "faltam o modo (clientes ou produtos) e a pasta dos arquivos XML";
        QTest::newRow("unknown option") << QStringList{"--depressa", "clientes", "XML"} << "opção desconhecida: --depressa";
        QTest::newRow("short option") << QStringList{"-x", "clientes", "XML"} << "opção desconhecida: -x";
        QTest::newRow("--dados at the end") << QStringList{"clientes", "XML", "--dados"} << "falta a pasta de dados depois de --dados";
        QTest::newRow("--dados= empty") << QStringList{"--dados=", "clientes", "XML"} << "falta a pasta de dados depois de --dados";
        QTest::newRow("unknown mode") << QStringList{"fornecedores", "XML"} << "modo desconhecido: fornecedores (clientes, produtos ou desfazer)";
        QTest::newRow("mode without folder") << QStringList{"produtos"} << "falta a pasta dos arquivos XML depois de produtos";
        QTest::newRow("empty folder argument") << QStringList{"produtos", ""} << "a pasta dos arquivos XML está vazia";
        QTest::newRow("one argument too many") << QStringList{"clientes", "XML", "XML"} << "argumento a mais: XML";
        QTest::newRow("undo without mode") << QStringList{"desfazer"} << "falta o modo depois de desfazer: clientes ou produtos";
        QTest::newRow("undo of an unknown mode") << QStringList{"desfazer", "tudo"} << "modo desconhecido: tudo (clientes ou produtos)";
        QTest::newRow("undo given a folder") << QStringList{"desfazer", "clientes", "XML"} << "argumento a mais: XML";
        QTest::newRow("an option after --") << QStringList{"--", "--simular", "clientes", "XML"}
                                            << "modo desconhecido: --simular (clientes, produtos ou desfazer)";
    }
    void wrongUse()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        ImportFixture f;
        const Result r = runCli(f, args, f.data() + "/../home", false, f.xml());
        QCOMPARE(r.status, 2);
        QCOMPARE(linesOf(r.err), (QStringList{"tessaly-import: " + problem,
                                              "Use \"tessaly-import --help\" para ver como usar."}));
        QVERIFY(r.out.isEmpty());
    }

    // A folder that can't be imported from: one line that says why, status 1.
    void folderProblems_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("problem");
        QTest::newRow("missing") << "XML/nada" << "a pasta não existe: XML/nada";
        QTest::newRow("a file") << "XML/CLIENTE-1.xml" << "não é uma pasta: XML/CLIENTE-1.xml";
    }
    void folderProblems()
    {
        QFETCH(QString, folder);
        QFETCH(QString, problem);
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um"));
        folder.replace(QLatin1String("XML"), f.xml());
        problem.replace(QLatin1String("XML"), f.xml());
        const Result r = runCli(f, {"clientes", folder}, f.data() + "/../home");
        QCOMPARE(r.status, 1);
        QCOMPARE(linesOf(r.err).size(), 1);
        QVERIFY2(r.err.startsWith("tessaly-import: " + problem), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QVERIFY(f.rows(QStringLiteral("TabCli.db")).isEmpty());
    }

    // A folder the user may not read; run as nobody where the tests run as
    // root, who reads everything.
    void unreadableFolder()
    {
        QTemporaryDir root;
        QFile::setPermissions(root.path(), QFile::permissions(root.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther);
        const QString folder = root.filePath(QStringLiteral("fechada"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::WriteOwner));
        QStringList command{QStringLiteral(TESSALY_IMPORT), "--dados", root.filePath("dados"), "clientes", folder};
        if (::geteuid() == 0)
            command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
        QProcess p;
        p.start(command.first(), command.mid(1));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QStringList err = linesOf(QString::fromUtf8(p.readAllStandardError()));
        QCOMPARE(err.size(), 1);
        QVERIFY2(err[0].startsWith("tessaly-import: não foi possível ler a pasta " + folder + ": "), qPrintable(err[0]));
    }

    // "--" ends the options: a folder named -h is a folder, not the help.
    void doubleDashEndsTheOptions()
    {
        ImportFixture f;
        const QString dashH = f.xml() + QStringLiteral("/-h");
        QDir().mkpath(dashH);
        QFile file(dashH + QStringLiteral("/CLIENTE-1.xml"));
        file.open(QIODevice::WriteOnly);
        file.write(clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um"));
        file.close();
        const QString home = f.data() + "/../home";
        const Result help = runCli(f, {"clientes", "-h"}, home, true, f.xml());
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("Uso: tessaly-import")));
        const Result run = runCli(f, {"--", "clientes", "-h"}, home, true, f.xml());
        QCOMPARE(run.status, 0);
        QCOMPARE(linesOf(run.out).last(), QStringLiteral("1 cliente cadastrado com sucesso!"));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 1);
    }

    // A folder's name is taken as its bytes, text or not.
    void folderNameThatIsNoText()
    {
        ImportFixture f;
        const QByteArray name = QFile::encodeName(f.xml()) + "/notas-\xE9";
        QCOMPARE(::mkdir(name.constData(), 0700), 0);
        const QByteArray xml = clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um");
        const int fd = ::open((name + "/CLIENTE-1.xml").constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, xml.constData(), size_t(xml.size())), ssize_t(xml.size()));
        ::close(fd);
        const QString home = f.data() + "/../home";
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(f.xml());
        // bash hands the program the byte 0xE9 itself, which no QString can carry.
        p.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --dados \"$1\" clientes $'notas-\\xe9'"),
                                         QStringLiteral(TESSALY_IMPORT), f.data()});
        QVERIFY(p.waitForFinished(120000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(out.endsWith(QStringLiteral("1 cliente cadastrado com sucesso!\n")), qPrintable(out));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 1);
    }

    // An empty folder in the command line's words; the log keeps the window's line.
    void emptyFolder()
    {
        ImportFixture f;
        const QString home = f.data() + "/../home";
        for (const QStringList& args : {QStringList{"clientes", f.xml()}, QStringList{"--simular", "clientes", f.xml()}}) {
            const Result r = runCli(f, args, home);
            QCOMPARE(r.status, 0);
            QVERIFY2(linesOf(r.out).contains(QStringLiteral("A pasta \"%1\" não tem arquivos XML: nada a importar.").arg(f.xml())),
                     qPrintable(r.out));
            QVERIFY(!r.out.contains(QStringLiteral("selecione outra pasta")));
        }
        const QStringList log = ImportFixture::messagesOf(home + "/share/Harbek/Tessaly.exe/Tessaly.log");
        QVERIFY2(log.last().startsWith(QStringLiteral("A pasta \"%1\" não possui arquivos XML.").arg(f.xml())),
                 qPrintable(log.join('\n')));
    }

    // No host found: the line the window shows, then how to point at the data.
    void noHostSaysWhereToPoint()
    {
        ImportFixture f;
        const Result r = runCli(f, {"clientes", f.xml()}, f.data() + "/../home", false);
        QCOMPARE(r.status, 3);
        QCOMPARE(linesOf(r.err), (QStringList{"Não foi retornada a pasta de dados do software Pelko.",
                                              "Indique a pasta de dados do Pelko com --dados PASTA, ou o prefixo do Wine "
                                              "em que ele está instalado com WINEPREFIX=PASTA."}));
    }

    // The data-version gate under a day-first, a month-first and the C
    // locale: the host's own date passes without a word, the day before is
    // refused with status 3.
    void dataVersionUnderEveryLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("dataVersion");
        QTest::addColumn<int>("status");
        for (const char* locale : {"pt_BR.UTF-8", "en_US.UTF-8", "C.UTF-8"}) {
            QTest::addRow("%s, the threshold", locale) << QString::fromLatin1(locale) << QByteArray("22/03/2016") << 0;
            QTest::addRow("%s, the day before", locale) << QString::fromLatin1(locale) << QByteArray("21/03/2016") << 3;
        }
    }
    void dataVersionUnderEveryLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, dataVersion);
        QFETCH(int, status);
        ImportFixture f;
        const QString home = f.data() + "/../home";
        installHost(f, home, dataVersion);
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um"));
        const Result r = runCli(f, {"--simular", "clientes", f.xml()}, home, false, {}, locale);
        QCOMPARE(r.status, status);
        if (status == 0) {
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
            QVERIFY(linesOf(r.out).contains(QStringLiteral("1 cliente seria cadastrado.")));
        } else {
            // The message box's carriage returns are line ends on a terminal.
            QVERIFY2(r.err.startsWith(QStringLiteral("Este módulo somente pode ser executado caso a versão de seu software "
                                                     "Pelko seja igual ou posterior 5.2.14.\n\nSerá necessário")),
                     qPrintable(r.err));
            QVERIFY(!r.err.contains(QChar('\r')));
        }
    }

    // A run killed before each of its changes to the host's tables in turn:
    // the next writer finds them as before the run, or as after it.
    void aKilledRunLeavesBeforeOrAfter_data() { ImportFixture::addModes(); }
    void aKilledRunLeavesBeforeOrAfter()
    {
        QFETCH(int, mode);
        const QString table = mode == 0 ? "TabCli.db" : "TabEst1.db";
        const ImportMode importMode = mode == 0 ? ImportMode::Clientes : ImportMode::Produtos;
        ImportFixture f;
        f.copySampleExports(QStringLiteral("*"));
        const auto before = contentsOf(f.data());
        QVERIFY(runKilledAt(-1, importMode, f.data(), f.xml()));
        const auto after = contentsOf(f.data());
        QVERIFY(after != before);
        const QStringList rowsAfter = f.rows(table);
        bool finished = false;
        for (int k = 1; !finished && k < 100; ++k) {
            restore(f.data(), before);
            finished = runKilledAt(k, importMode, f.data(), f.xml());
            paradox::TableFile opened(QFile::encodeName(f.data() + QChar('/') + table).toStdString());
            opened.recoverForWriting();
            QVERIFY(opened.primaryIndexAgrees());
            const auto now = contentsOf(f.data());
            QVERIFY2(now == before || now == after, qPrintable(QString::number(k)));
            if (now == after)  // the independent reader sees the whole run
                QCOMPARE(f.rows(table), rowsAfter);
        }
        QVERIFY(finished);
    }

    // A run killed in its commit: a simulation says so and writes nothing;
    // the next run plays it back and says so in its output.
    void aCommitCutShortIsNamed_data() { ImportFixture::addModes(); }
    void aCommitCutShortIsNamed()
    {
        QFETCH(int, mode);
        const QString modeName = mode == 0 ? "clientes" : "produtos";
        const QString table = mode == 0 ? "TabCli" : "TabEst1";
        const ImportMode importMode = mode == 0 ? ImportMode::Clientes : ImportMode::Produtos;
        ImportFixture f;
        f.copySampleExports(QStringLiteral("*"));
        const auto before = contentsOf(f.data());
        const QString journal = f.data() + QChar('/') + table + QStringLiteral(".tessaly-journal");
        for (int k = 5; !QFile::exists(journal); ++k) {
            QVERIFY(k < 40);
            restore(f.data(), before);
            QVERIFY(!runKilledAt(k, importMode, f.data(), f.xml()));
        }
        const auto left = contentsOf(f.data());
        const QString home = f.data() + "/../home";
        const Result simulated = runCli(f, {"--simular", modeName, f.xml()}, home);
        QCOMPARE(simulated.status, 0);
        QVERIFY2(simulated.out.contains(QStringLiteral("tem uma gravação interrompida; a simulação a lê como antes dela")),
                 qPrintable(simulated.out));
        QCOMPARE(contentsOf(f.data()), left);
        const Result real = runCli(f, {modeName, f.xml()}, home);
        QCOMPARE(real.status, 0);
        QVERIFY2(real.out.contains(QStringLiteral("tinha uma gravação interrompida")), qPrintable(real.out));
        QVERIFY(!QFile::exists(journal));
    }

    // A run, then its undo: the table's files come back byte for byte; the
    // simulation first lists exactly the rows the run inserted; a second undo
    // has nothing to do; a table written since the run is not touched.
    void undoPutsTheTableBack_data()
    {
        ImportFixture::addModes();
    }
    void undoPutsTheTableBack()
    {
        QFETCH(int, mode);
        const QString modeName = mode == 0 ? "clientes" : "produtos";
        const QString table = mode == 0 ? "TabCli.db" : "TabEst1.db";
        ImportFixture f;
        f.copySampleExports(QStringLiteral("*"));
        const QString home = f.data() + "/../home";
        const QString logPath = home + "/share/Harbek/Tessaly.exe/Tessaly.log";
        const auto before = fingerprints(f.data());
        const QStringList rowsBefore = f.rows(table);
        QCOMPARE(runCli(f, {modeName, f.xml()}, home).status, 0);
        const auto after = fingerprints(f.data());
        QVERIFY(after != before);

        const Result simulated = runCli(f, {"--simular", "desfazer", modeName}, home);
        QCOMPARE(simulated.status, 0);
        QCOMPARE(fingerprints(f.data()), after);
        const QStringList wouldRemove = listed(simulated.out, QStringLiteral("Seria removido"));
        QStringList inserted;
        for (const QString& row : f.rows(table))
            if (!rowsBefore.contains(row))
                inserted << row.section(QChar('\t'), 0, 0) + QChar(' ') + row.section(QChar('\t'), mode == 0 ? 2 : 3, mode == 0 ? 2 : 3);
        QVERIFY(!inserted.isEmpty());
        QCOMPARE(wouldRemove, inserted);

        const QString recordPath = home + "/share/Harbek/Tessaly.exe/" + table + ".desfazer";
        QFile recordFile(recordPath);
        QVERIFY(recordFile.open(QIODevice::ReadOnly));
        const QByteArray record = recordFile.readAll();
        recordFile.close();
        const Result undone = runCli(f, {"desfazer", modeName}, home);
        QCOMPARE(undone.status, 0);
        QCOMPARE(fingerprints(f.data()), before);
        QVERIFY(ImportFixture::messagesOf(logPath).last().startsWith(QStringLiteral("Importação desfeita: ")));

        // An undo stopped after its playback, before its record went: the
        // next one finds the table as before the run and takes the record away.
        QVERIFY(recordFile.open(QIODevice::WriteOnly));
        recordFile.write(record);
        recordFile.close();
        const Result finishing = runCli(f, {"desfazer", modeName}, home);
        QCOMPARE(finishing.status, 0);
        QVERIFY2(finishing.out.contains(QStringLiteral("já está como antes da última importação")), qPrintable(finishing.out));
        QVERIFY(!QFile::exists(recordPath));
        QCOMPARE(fingerprints(f.data()), before);

        const Result again = runCli(f, {"desfazer", modeName}, home);
        QCOMPARE(again.status, 0);
        QVERIFY2(again.out.contains(QStringLiteral("para desfazer")), qPrintable(again.out));
        QCOMPARE(fingerprints(f.data()), before);

        QCOMPARE(runCli(f, {modeName, f.xml()}, home).status, 0);
        f.insertRow(table, mode == 0 ? "999999\t\\N\tOutro programa" + QByteArray("\t\\N").repeated(13)
                                     : "OUTRO\t\\N\t\\N\tOutro programa" + QByteArray("\t\\N").repeated(8));
        const auto changed = fingerprints(f.data());
        QVERIFY(changed != after);
        const Result refused = runCli(f, {"desfazer", modeName}, home);
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.out.contains(QStringLiteral("foi alterada depois da última importação")), qPrintable(refused.out));
        QCOMPARE(fingerprints(f.data()), changed);
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    CliTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "cli_test.moc"
