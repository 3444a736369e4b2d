// Start-up: the host found through its Wine prefix, the data-version gate,
// the working folders and the session, every stop with its message, one copy
// at a time.

#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/single_instance.h"
#include "app/status_bar.h"
#include "platform/sql/session.h"
#include "tests/import_fixture.h"
#include "tests/scripted_dialogs.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocalServer>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString refusal = QStringLiteral(
    "Este módulo somente pode ser executado caso a versão de seu software Pelko seja igual ou posterior 5.2.14.\r\r"
    "Será necessário comprar uma atualização no site https://www.example.com/pelko/atualizacao (se sua empresa tem "
    "contrato de suporte técnico, esta atualização é grátis).");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

// A user's machine: a home, a Wine prefix with the host installed.
class Machine {
public:
    Machine()
    {
        qputenv("HOME", QFile::encodeName(home()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root_.filePath("share")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root_.filePath("config")));
        qputenv("WINEPREFIX", QFile::encodeName(prefix()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root_.path()));
        QDir().mkpath(home() + "/Documents");
        QDir().mkpath(prefix() + "/dosdevices");
        QDir().mkpath(prefix() + "/drive_c");
        QFile::link(prefix() + "/drive_c", prefix() + "/dosdevices/c:");
        uninstallEntry("\"C:\\\\Pelko\\\\unins000.exe\"");
        writeFile(prefix() + "/drive_c/Pelko/unins000.exe", "");
        route("Rota=C:\\Pelko\\Dados\\");
        dataVersion("DataVersao=22/03/2016");
        tables();
    }

    QString home() const { return root_.filePath("home"); }
    QString prefix() const { return root_.filePath("wine"); }
    QString data() const { return QFileInfo(prefix() + "/drive_c").canonicalFilePath() + "/Pelko/Dados"; }
    QString programFolder() const { return root_.filePath("share") + "/Harbek/Tessaly.exe"; }
    QString log() const
    {
        QFile f(programFolder() + "/Tessaly.log");
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

    void uninstallEntry(const QByteArray& value, bool win64 = false)
    {
        const QByteArray key = win64 ? "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko"
                                     : "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelko";
        writeFile(prefix() + "/system.reg", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch="
                                                + QByteArray(win64 ? "win64" : "win32") + "\n\n[" + key + "] 1765360000\n"
                                                + (value.isEmpty() ? QByteArray() : "\"UninstallString\"=" + value + "\n"));
    }
    void route(const QByteArray& line) { writeFile(prefix() + "/drive_c/Pelko/ROTAS.INI", "[Geral]\r\n" + line + "\r\n"); }
    void dataVersion(const QByteArray& line)
    {
        writeFile(prefix() + "/drive_c/Pelko/Dados/pelko.ini", "[Geral]\r\n" + line + "\r\n");
    }
    void tables()
    {
        for (const char* name : {"TabCli.db", "TabEst1.db"})
            writeFile(prefix() + "/drive_c/Pelko/Dados/" + name, "");
    }

private:
    QTemporaryDir root_;
};

struct Outcome {
    bool ended = false;
    QStringList messages;
    QStringList errors;
};

Outcome startUp(ScriptedEnv& env, TfrmClientes& window)
{
    Outcome o;
    try {
        window.FormCreate();
    } catch (const ProgramEnded&) {
        o.ended = true;
    }
    o.messages = env.scripted.messages;
    o.errors = env.scripted.errors;
    return o;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:

    void completesAndLabelsTheWindow()
    {
        Machine m;
        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        QVERIFY(!o.ended);
        QVERIFY(o.messages.isEmpty());
        QCOMPARE(window.pastas.pastaDados, m.data());
        QCOMPARE(window.windowTitle(), QStringLiteral("Quarrimo"));
        QCOMPARE(window.StatusBar1->panel(0)->text(), QStringLiteral("Pasta de dados do software Pelko: ") + m.data());
        QCOMPARE(window.StatusBar1->panel(1)->text(), QStringLiteral("Versão " TESSALY_VERSION));
        QVERIFY(m.log().endsWith(QStringLiteral(" - Versão deste software = " TESSALY_VERSION "\r\n")));
        QVERIFY(QFileInfo(m.programFolder() + "/temp").isDir());
        QCOMPARE(window.session().netFileDir(), m.data().toStdString());
        QCOMPARE(window.session().privateDir(), (m.programFolder() + "/temp").toStdString());
    }

    void stops_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("logged");
        QTest::newRow("no uninstall entry") << "no-entry" << QStringList{"Não foi retornada a pasta de dados do software Pelko."} << false;
        QTest::newRow("no uninstall string") << "no-value" << QStringList{"Não foi retornada a pasta de dados do software Pelko."} << false;
        QTest::newRow("a number as uninstall string")
            << "dword" << QStringList{"Ocorreu um erro na inicialização do sistema: Invalid data type for 'UninstallString'"} << false;
        QTest::newRow("an empty route") << "empty-route" << QStringList{} << false;
        QTest::newRow("no pelko.ini") << "no-ini" << QStringList{"Não foi localizado um banco de dados na pasta DATA"} << false;
        QTest::newRow("data version too old") << "old" << QStringList{refusal} << false;
        QTest::newRow("data version missing") << "no-version" << QStringList{refusal} << false;
        QTest::newRow("data version no date") << "bad-version" << QStringList{refusal} << false;
        QTest::newRow("program folder is a file")
            << "program-file"
            << QStringList{"Não foi possível criar uma pasta do programa!\r\rA aplicação será finalizada",
                           "Não foi possível criar a pasta temporária do programa!\r\rA aplicação será finalizada"}
            << false;
        QTest::newRow("no client table") << "no-clients"
                                         << QStringList{"Não foi localizado um banco de dados do software Pelko na pasta DATA"} << true;
        QTest::newRow("no stock table") << "no-stock"
                                        << QStringList{"Não foi localizado um banco de dados do software Pelko na pasta DATA"} << true;
        QTest::newRow("neither table: the client table is looked for first")
            << "no-tables" << QStringList{"Não foi localizado um banco de dados do software Pelko na pasta DATA"} << true;
    }
    void stops()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, messages);
        QFETCH(bool, logged);
        Machine m;
        const QString dados = m.prefix() + "/drive_c/Pelko/Dados/";
        if (change == "no-entry")
            QFile::remove(m.prefix() + "/system.reg");
        if (change == "no-value")
            m.uninstallEntry({});
        if (change == "dword")
            m.uninstallEntry("dword:00000001");
        if (change == "empty-route")
            m.route("Rota=");
        if (change == "no-ini")
            QFile::remove(dados + "pelko.ini");
        if (change == "old")
            m.dataVersion("DataVersao=21/03/2016");
        if (change == "no-version")
            m.dataVersion("Outra=1");
        if (change == "bad-version")
            m.dataVersion("DataVersao=ontem");
        if (change == "program-file")
            writeFile(m.programFolder(), "a file where the folder goes");
        if (change == "no-clients" || change == "no-tables")
            QFile::remove(dados + "TabCli.db");
        if (change == "no-stock" || change == "no-tables")
            QFile::remove(dados + "TabEst1.db");
        for (QString& text : messages)
            text.replace(QLatin1String("DATA"), m.data());

        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        QVERIFY(o.ended);
        QCOMPARE(o.messages, messages);
        QVERIFY(o.errors.isEmpty());
        if (logged)
            QVERIFY(m.log().endsWith(QStringLiteral(" - ") + messages.front() + QStringLiteral("\r\n")));
        else
            QVERIFY(!m.log().contains(QStringLiteral("Versão deste software")));
        if (change == "no-entry")
            QVERIFY(QFileInfo(m.programFolder() + "/temp").isDir());  // steps 6 to 9 still ran
        QVERIFY(window.windowTitle().isEmpty());
    }

    void dataVersionGate_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("passes");
        QTest::newRow("the threshold itself") << QByteArray("DataVersao=22/03/2016") << true;
        QTest::newRow("one day before") << QByteArray("DataVersao=21/03/2016") << false;
        QTest::newRow("later") << QByteArray("DataVersao=1/1/2024") << true;
        QTest::newRow("quoted, blanks around") << QByteArray("DataVersao =  \"15/06/2020\" ") << true;
        QTest::newRow("empty") << QByteArray("DataVersao=") << false;
    }
    void dataVersionGate()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, passes);
        Machine m;
        m.dataVersion(line);
        ScriptedEnv env;
        TfrmClientes window(env);
        ScriptedDialogs& dialogs = env.scripted;
        QCOMPARE(window.getPastaDeDados(), passes ? m.data() : QString());
        QCOMPARE(dialogs.messages, passes ? QStringList{} : QStringList{refusal});
    }

    void routesAndViews()
    {
        Machine m;
        ScriptedEnv env;
        TfrmClientes window(env);
        ScriptedDialogs& dialogs = env.scripted;
        // No ROTAS.INI: the installation folder holds the data.
        QFile::remove(m.prefix() + "/drive_c/Pelko/ROTAS.INI");
        writeFile(m.prefix() + "/drive_c/Pelko/PELKO.INI", "[Geral]\r\nDataVersao=01/01/2020\r\n");
        const QString install = QFileInfo(m.prefix() + "/drive_c").canonicalFilePath() + "/Pelko";
        QCOMPARE(window.getPastaDeDados(), install);
        QCOMPARE(window.pastas.pastaInstalacao, install);
        // ROTAS.INI without the key: the installation folder too.
        m.route("Outra=1");
        QCOMPARE(window.getPastaDeDados(), install);
        // A route on another drive, written in another letter case.
        QDir().mkpath(m.prefix() + "/../outro/DADOS");
        QFile::link(QFileInfo(m.prefix() + "/../outro").canonicalFilePath(), m.prefix() + "/dosdevices/d:");
        writeFile(m.prefix() + "/../outro/DADOS/pelko.ini", "[Geral]\r\nDataVersao=01/01/2020\r\n");
        m.route("ROTA=d:\\dados\\");
        QCOMPARE(window.getPastaDeDados(), QFileInfo(m.prefix() + "/../outro").canonicalFilePath() + "/DADOS");
        // The 64-bit registry view of a 32-bit program.
        m.route("Rota=C:\\Pelko\\Dados");
        m.uninstallEntry("str(2):\"C:\\\\Pelko\\\\unins000.exe\"", true);
        QCOMPARE(window.getPastaDeDados(), m.data());
        // A command in quotes, with arguments after it, as installers write it.
        m.uninstallEntry("\"\\\"C:\\\\Pelko\\\\unins000.exe\\\" /SILENT\"");
        QCOMPARE(window.getPastaDeDados(), m.data());
        QCOMPARE(window.pastas.pastaInstalacao, install);
        QVERIFY(dialogs.messages.isEmpty());
    }

    // Runs under pt_BR, en_US and C.UTF-8 (see CMakeLists.txt): the host's
    // own date passes the gate without a message under every setting.
    void startsUnderEveryRegionalSetting()
    {
        Machine m;
        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        QVERIFY(o.messages.isEmpty());
        QVERIFY(o.errors.isEmpty());
        QVERIFY(!o.ended);
        QCOMPARE(window.pastas.pastaDados, m.data());
        QCOMPARE(window.windowTitle(), QStringLiteral("Quarrimo"));
    }

    // A pelko.ini that the system fails to read is told with the system's
    // reason, and refused: the gate is never passed by an error.
    void unreadableHostIniIsToldAndRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("pelko.ini") << "Dados/pelko.ini";
        QTest::newRow("ROTAS.INI") << "ROTAS.INI";
    }
    void unreadableHostIniIsToldAndRefused()
    {
        QFETCH(QString, file);
        Machine m;
        const QString ini = m.data() + "/../" + file;
        QFile::remove(ini);
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), ini));  // reading at 0 fails with EIO
        ScriptedEnv env;
        TfrmClientes window(env);
        ScriptedDialogs& dialogs = env.scripted;
        QCOMPARE(window.getPastaDeDados(), QString());
        QCOMPARE(dialogs.messages.size(), 1);
        const QString message = dialogs.messages.value(0);
        QVERIFY2(message.startsWith("Ocorreu um erro na inicialização do sistema: não foi possível ler "), qPrintable(message));
        QVERIFY2(message.contains(QFileInfo(file).fileName() + ": "), qPrintable(message));
    }

    void noHomeFolderReachesTheErrorBoxAndTheWindowOpens()
    {
        Machine m;
        qunsetenv("HOME");
        qunsetenv("XDG_DATA_HOME");
        ScriptedEnv env;
        std::unique_ptr<TfrmClientes> window(TfrmClientes::Create(env));
        const ScriptedDialogs& dialogs = env.scripted;
        QCOMPARE(dialogs.errors, QStringList{"Erro ao solicitar a pasta."});
        QVERIFY(window->windowTitle().isEmpty());
        QVERIFY(window->StatusBar1->panel(0)->text().isEmpty());
    }

    void secondCopyRaisesTheFirstAndEnds()
    {
        Machine m;
        QLocalServer first;
        QLocalServer::removeServer(instanceSocketName(QStringLiteral("Quarrimo")));
        QVERIFY(first.listen(instanceSocketName(QStringLiteral("Quarrimo"))));
        writeFile(m.data() + "/PARADOX.LCK", "stale");
        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        QVERIFY(o.ended);
        QVERIFY(o.messages.isEmpty());
        QVERIFY(m.log().endsWith(QStringLiteral(" - Versão deste software = " TESSALY_VERSION "\r\n")));
        QVERIFY(!QFile::exists(m.data() + "/PARADOX.LCK"));  // nobody held it
        QVERIFY(first.waitForNewConnection(2000));
    }

    // A working folder that is a link is reported and not used: nothing is
    // created or deleted through it.
    void workingFolderLinksAreNotFollowed_data()
    {
        QTest::addColumn<QString>("linked");
        QTest::addColumn<QString>("message");
        QTest::newRow("temp") << "/temp" << "A pasta temporária do programa é um link para outro lugar e não será usada: ";
        QTest::newRow("program folder") << "" << "A pasta do programa é um link para outro lugar e não será usada: ";
    }
    void workingFolderLinksAreNotFollowed()
    {
        QFETCH(QString, linked);
        QFETCH(QString, message);
        Machine m;
        const QString elsewhere = m.home() + "/elsewhere";
        writeFile(elsewhere + "/PARADOX.LCK", "stale");
        writeFile(elsewhere + "/PDOXUSRS.LCK", "stale");
        QDir().mkpath(QFileInfo(m.programFolder()).path());
        QDir().mkpath(m.programFolder());
        const QString link = m.programFolder() + linked;
        QDir(link).removeRecursively();
        QVERIFY(QFile::link(elsewhere, link));
        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        QVERIFY(o.ended);
        QCOMPARE(o.messages, QStringList{message + link + "\r\rA aplicação será finalizada"});
        QVERIFY(QFile::exists(elsewhere + "/PARADOX.LCK"));
        QVERIFY(QFile::exists(elsewhere + "/PDOXUSRS.LCK"));
        QVERIFY(!QFile::exists(elsewhere + "/temp"));
        QVERIFY(!QFile::exists(elsewhere + "/Tessaly.log"));
    }

    // A lock file that another process holds open, or holds a lock on, stays.
    void lockFilesInUseStay()
    {
        Machine m;
        writeFile(m.data() + "/PDOXUSRS.NET", "net");
        writeFile(m.data() + "/pdoxusrs.lck", "held");
        writeFile(m.data() + "/PARADOX.LCK", "locked");
        writeFile(m.prefix() + "/drive_c/PDOXUSRS.NET", "stale");
        QProcess holder;
        holder.start(QStringLiteral("bash"), {QStringLiteral("-c"),
                                              QStringLiteral("exec 3<'%1'; flock -s 4 4<'%2' sleep 30")
                                                  .arg(m.data() + "/pdoxusrs.lck", m.data() + "/PARADOX.LCK")});
        QVERIFY(holder.waitForStarted());
        QTest::qWait(500);
        ScriptedEnv env;
        TfrmClientes window(env);
        const Outcome o = startUp(env, window);
        holder.kill();
        holder.waitForFinished();
        QVERIFY(!o.ended);
        QVERIFY(QFile::exists(m.data() + "/pdoxusrs.lck"));
        QVERIFY(QFile::exists(m.data() + "/PARADOX.LCK"));
        QVERIFY(!QFile::exists(m.data() + "/PDOXUSRS.NET"));
        QVERIFY(!QFile::exists(m.prefix() + "/drive_c/PDOXUSRS.NET"));
    }

    // A prefix that Wine itself made, with the entry its own registry tool wrote.
    void realWinePrefix()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("wineboot")).isEmpty())
            QSKIP("Wine is not installed");
        Machine m;
        const QString prefix = m.prefix() + "-real";
        qputenv("WINEPREFIX", QFile::encodeName(prefix));
        qputenv("WINEDEBUG", "-all");
        auto wine = [](const QString& program, const QStringList& args) {
            QProcess p;
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(program, args);
            const bool done = p.waitForFinished(120000) && p.exitCode() == 0;
            if (!done)
                p.kill();
            return done;
        };
        if (!wine(QStringLiteral("wineboot"), {QStringLiteral("-i")}))
            QSKIP("Wine could not make a prefix on this machine");
        QVERIFY(wine(QStringLiteral("wine"), {QStringLiteral("reg"), QStringLiteral("add"),
                                              QStringLiteral("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelko"),
                                              QStringLiteral("/v"), QStringLiteral("UninstallString"), QStringLiteral("/t"),
                                              QStringLiteral("REG_SZ"), QStringLiteral("/d"), QStringLiteral("C:\\Pelko\\unins000.exe"),
                                              QStringLiteral("/reg:32"), QStringLiteral("/f")}));
        QVERIFY(wine(QStringLiteral("wineserver"), {QStringLiteral("-w")}));
        const QString data = prefix + "/drive_c/Pelko/Dados";
        writeFile(prefix + "/drive_c/Pelko/ROTAS.INI", "[Geral]\r\nRota=C:\\Pelko\\Dados\r\n");
        writeFile(data + "/pelko.ini", "[Geral]\r\nDataVersao=22/03/2016\r\n");
        ScriptedEnv env;
        TfrmClientes window(env);
        ScriptedDialogs& dialogs = env.scripted;
        QCOMPARE(window.getPastaDeDados(), QFileInfo(data).canonicalFilePath());
        QVERIFY(dialogs.messages.isEmpty());
    }

    // The real program ends with status 0 at a silent stop.
    void realProgramEndsWithStatusZero()
    {
        Machine m;
        m.route("Rota=");
        QProcess program;
        program.start(QStringLiteral(TESSALY_PROGRAM), QStringList{});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    // --help and --version answer on the terminal, with no display at all.
    void helpAndVersionNeedNoDisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("out");
        QTest::newRow("--version") << "--version" << "tessaly " TESSALY_VERSION "\n";
        QTest::newRow("--help") << "--help" << "Uso: tessaly [--help] [--version]\n";
        QTest::newRow("-h") << "-h" << "Uso: tessaly [--help] [--version]\n";
    }
    void helpAndVersionNeedNoDisplay()
    {
        QFETCH(QString, option);
        QFETCH(QString, out);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TESSALY_PROGRAM), {option});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(program.readAllStandardError().isEmpty());
        QVERIFY(QString::fromUtf8(program.readAllStandardOutput()).startsWith(out));
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
