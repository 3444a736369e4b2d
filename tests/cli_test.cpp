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
#include <QTest>

#include <csignal>
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
Result runCli(const ImportFixture& f, QStringList args, const QString& home, bool withData = true)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
    env.insert(QStringLiteral("WINEPREFIX"), home + QStringLiteral("/wine"));
    p.setProcessEnvironment(env);
    if (withData && !args.isEmpty())
        args = QStringList{QStringLiteral("--dados"), f.data()} + args;
    p.start(QStringLiteral(TESSALY_IMPORT), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}


class QuietReporter final : public ImportReporter {
public:
    void report(const QString&, bool) override {}
};

// A whole run in a child that dies before its k-th change to a file; true
// when the run finished first.
bool runKilledAt(int k, ImportMode mode, const QString& dados, const QString& xml)
{
    return test_support::finishedUnlessKilledAt(k, [&] {
        db::Session session;
        QuietReporter reporter;
        ImportService service(session, reporter);
        EstadoImportacao estado;
        service.run(mode, dados, xml, estado);
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
        byWindow.copyRealExports(QStringLiteral("*"));
        byWindow.run(mode);
        ImportFixture byCli;
        const Result r = runCli(byCli, {mode == 0 ? "clientes" : "produtos", byWindow.xml()}, byCli.data() + "/../home");
        QCOMPARE(r.status, 0);
        QCOMPARE(byCli.rows(mode == 0 ? "TabCli.db" : "TabEst1.db"), byWindow.rows(mode == 0 ? "TabCli.db" : "TabEst1.db"));
        const QStringList cliLog = ImportFixture::messagesOf(byCli.data() + "/../home/share/Harbek/Tessaly.exe/Tessaly.log");
        QCOMPARE(cliLog, byWindow.logMessages());
        // Every line went to standard output too, the summary last.
        QCOMPARE(r.out.split(QChar('\n'), Qt::SkipEmptyParts), cliLog);
        QCOMPARE(cliLog.last(), byWindow.dialogs().messages.last());
    }

    // A simulation reads everything, writes nothing, and shows the rows that
    // a real run then inserts.
    void simulationChangesNothing()
    {
        ImportFixture f;
        f.copyRealExports(QStringLiteral("*CLIENTE*"));
        f.writeXml(QStringLiteral("NFe-CLIENTE-9.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Um"));
        f.writeXml(QStringLiteral("NFe-CLIENTE-99.xml"), clientXml(QStringLiteral("<CNPJ>11444777000161</CNPJ>"), "Dois"));
        const QString home = f.data() + "/../home";
        const auto before = fingerprints(f.data());
        const Result simulated = runCli(f, {"--simular", "clientes", f.xml()}, home);
        QCOMPARE(simulated.status, 0);
        QCOMPARE(fingerprints(f.data()), before);
        QVERIFY(!QFile::exists(home + "/share/Harbek/Tessaly.exe/Tessaly.log"));
        QStringList wouldInsert;
        for (const QString& line : simulated.out.split(QChar('\n')))
            if (line.startsWith(QStringLiteral("Seria incluído: ")))
                wouldInsert << line.mid(16);
        QVERIFY(simulated.out.contains(QStringLiteral("\n5 clientes cadastrados com sucesso!\n")));
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
        QTest::newRow("version") << QStringList{"--version"} << 0 << "" << true;
        QTest::newRow("no arguments") << QStringList{} << 2 << "Uso: tessaly-import" << true;
        QTest::newRow("unknown mode") << QStringList{"fornecedores", "XML"} << 2 << "modo desconhecido: fornecedores" << true;
        QTest::newRow("unknown option") << QStringList{"--depressa", "clientes", "XML"} << 2 << "opção desconhecida" << true;
        QTest::newRow("no such folder") << QStringList{"clientes", "XML/nada"} << 2 << "não existe" << true;
        QTest::newRow("nothing inserted") << QStringList{"produtos", "XML"} << 0 << "" << true;
        QTest::newRow("malformed file") << QStringList{"clientes", "XML"} << 1 << "não é válido" << true;
        QTest::newRow("refused host") << QStringList{"clientes", "XML"} << 3
                                      << "Não foi retornada a pasta de dados do software Pelko." << false;
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
        if (args.contains(QStringLiteral("--version")))
            QCOMPARE(r.out, QStringLiteral("tessaly-import 1.0.0\n"));
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
        f.copyRealExports(QStringLiteral("*"));
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
        f.copyRealExports(QStringLiteral("*"));
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
        f.copyRealExports(QStringLiteral("*"));
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
        QStringList wouldRemove;
        for (const QString& line : simulated.out.split(QChar('\n')))
            if (line.startsWith(QStringLiteral("Seria removido: ")))
                wouldRemove << line.mid(16).section(QChar(' '), 0, 0);
        QStringList inserted;
        for (const QString& row : f.rows(table))
            if (!rowsBefore.contains(row))
                inserted << row.section(QChar('\t'), 0, 0);
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
