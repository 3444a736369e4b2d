// The start shared by the two front ends: what each order makes, tells and
// deletes when the host's data folder, its tables or the program's folder
// are wrong.

#include "host/startup.h"
#include "platform/sql/session.h"
#include "tests/qstring_print.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

class RecordingListener final : public StartupListener {
public:
    void refused(const std::string& message) override { told << QString::fromStdString(message); }
    void tablesMissing(const std::string& message) override
    {
        told << QStringLiteral("tables: ") + QString::fromStdString(message);
    }
    QStringList told;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

enum class Fault { None, NoHost, NoTables, ProgramFolderIsAFile };

struct Case {
    const char* name;
    Fault fault;
    bool refuseBeforeMaking;
    bool ready;
    bool programFolderMade;
    QStringList told;  // "DATA" stands for the data folder
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const QString noHost = QStringLiteral("Não foi retornada a pasta de dados do software Pelko.");
const QString noTables = QStringLiteral("tables: Não foi localizado um banco de dados do software Pelko na pasta DATA");
const QString noProgramFolder =
    QStringLiteral("Não foi possível criar uma pasta do programa!\r\rA aplicação será finalizada");
const QString noTemporaryFolder =
    QStringLiteral("Não foi possível criar a pasta temporária do programa!\r\rA aplicação será finalizada");

class HostStartup : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        ::setenv("HOME", QFile::encodeName(root_.filePath("home")).constData(), 1);
        ::setenv("XDG_DATA_HOME", QFile::encodeName(root_.filePath("share")).constData(), 1);
        for (const char* table : {"TabCli.db", "TabEst1.db"})
            writeFile(data() + "/" + table, "");
    }

    QString data() const { return root_.filePath("dados"); }
    QString prefix() const { return root_.filePath("wine"); }  // empty: no host installed
    QString programFolder() const { return root_.filePath("share") + "/Harbek/Tessaly.exe"; }

    QTemporaryDir root_;
};

TEST_P(HostStartup, EachOrderTellsAndMakesWhatItShould)
{
    const Case& c = GetParam();
    StartupOptions options;
    if (c.fault != Fault::NoHost)
        options.pastaDados = data().toStdString();
    if (c.fault == Fault::NoTables)
        QFile::remove(data() + "/TabCli.db");
    if (c.fault == Fault::ProgramFolderIsAFile)
        writeFile(programFolder(), "a file where the folder goes");
    options.refuseBeforeMaking = c.refuseBeforeMaking;

    HostFolders folders;
    db::Session session;
    RecordingListener listener;
    EXPECT_EQ(Startup(folders, session, listener, options, WinePrefix(prefix().toStdString())).run(), c.ready);

    QStringList told = c.told;
    told.replaceInStrings(QStringLiteral("DATA"), data());
    EXPECT_EQ(listener.told, told);
    EXPECT_EQ(QFileInfo(programFolder()).isDir(), c.programFolderMade);
    EXPECT_EQ(QFileInfo(programFolder() + "/temp").isDir(), c.programFolderMade);
    if (c.ready) {
        EXPECT_EQ(session.netFileDir(), data().toStdString());
        EXPECT_EQ(session.privateDir(), (programFolder() + "/temp").toStdString());
    }
    // The documents folder is asked for in the window's order only.
    EXPECT_EQ(folders.pastaDocumentos.empty(), c.refuseBeforeMaking);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, HostStartup,
    ::testing::Values(
        Case{"window_all_well", Fault::None, false, true, true, {}},
        Case{"command_all_well", Fault::None, true, true, true, {}},
        // A refused host still gets the program's folders in the window's order.
        Case{"window_no_host", Fault::NoHost, false, false, true, {noHost}},
        Case{"command_no_host", Fault::NoHost, true, false, false, {noHost}},
        Case{"window_no_tables", Fault::NoTables, false, false, true, {noTables}},
        Case{"command_no_tables", Fault::NoTables, true, false, false, {noTables}},
        // The window tells both folders; the command line stops at the first.
        Case{"window_program_folder_a_file", Fault::ProgramFolderIsAFile, false, false, false,
             {noProgramFolder, noTemporaryFolder}},
        Case{"command_program_folder_a_file", Fault::ProgramFolderIsAFile, true, false, false, {noProgramFolder}}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// A simulation deletes nothing: the lock file of a copy that is gone stays.
TEST(HostStartupLocks, StaleLockFilesGoUnlessKept)
{
    for (const bool keep : {false, true}) {
        QTemporaryDir root;
        ::setenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("share")).constData(), 1);
        const QString data = root.filePath("dados");
        for (const char* name : {"TabCli.db", "TabEst1.db", "PARADOX.LCK"})
            writeFile(data + "/" + name, "");
        StartupOptions options;
        options.pastaDados = data.toStdString();
        options.refuseBeforeMaking = true;
        options.keepLockFiles = keep;
        HostFolders folders;
        db::Session session;
        RecordingListener listener;
        ASSERT_TRUE(Startup(folders, session, listener, options, WinePrefix(root.filePath("wine").toStdString())).run());
        EXPECT_EQ(QFile::exists(data + "/PARADOX.LCK"), keep) << (keep ? "kept" : "not kept");
    }
}

// Without a home the platform gives no shell folder: the start raises that
// error, in either order, and makes nothing.
TEST(HostStartupErrors, NoShellFolderIsRaised)
{
    for (const bool refuseBeforeMaking : {false, true}) {
        QTemporaryDir root;
        const QString data = root.filePath("dados");
        for (const char* name : {"TabCli.db", "TabEst1.db"})
            writeFile(data + "/" + name, "");
        ::unsetenv("HOME");
        ::unsetenv("XDG_DATA_HOME");
        StartupOptions options;
        options.pastaDados = data.toStdString();
        options.refuseBeforeMaking = refuseBeforeMaking;
        HostFolders folders;
        db::Session session;
        RecordingListener listener;
        try {
            (void)Startup(folders, session, listener, options, WinePrefix(root.filePath("wine").toStdString())).run();
            ADD_FAILURE() << "no error raised";
        } catch (const HostError& e) {
            EXPECT_STREQ(e.what(), "Erro ao solicitar a pasta.");
        }
        EXPECT_TRUE(listener.told.isEmpty());
        EXPECT_TRUE(folders.pastaPrograma.empty());
    }
}

} // namespace
