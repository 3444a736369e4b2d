// The search of the documents folder for the first folder with a file of
// the mode, and the folder dialog around it.

#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/labeled_edit.h"
#include "tests/scripted_dialogs.h"
#include "tests/unprivileged_child.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class FolderSearchTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        root_ = std::make_unique<QTemporaryDir>();
        docs_ = root_->path() + QStringLiteral("/Documentos");
        QDir().mkpath(docs_);
        env_ = std::make_unique<ScriptedEnv>();
        window_ = std::make_unique<TfrmClientes>(*env_);
        window_->pastas.pastaDocumentos = docs_;
        window_->pastas.pastaCommonAppData = QStringLiteral("/var/ProgramData");
    }
    void cleanup()
    {
        window_.reset();
        env_.reset();
        root_.reset();
    }

    void findsTheFolderOfTheFirstMatchingFile_data()
    {
        QTest::addColumn<QStringList>("files");  // relative paths; a trailing "/" makes a folder
        QTest::addColumn<QString>("arquivo");
        QTest::addColumn<QString>("found");      // relative to the documents folder; "-" for none
        QTest::newRow("mixed case in a sub-folder") << QStringList{"Exportados/nfe-cliente-0001.Xml"} << "CLIENTE-" << "/Exportados";
        QTest::newRow("directly in the documents folder") << QStringList{"CLIENTE-1.xml"} << "CLIENTE-" << "";
        QTest::newRow("other extensions and modes") << QStringList{"a/CLIENTE-7.xml.bak", "b/CLIENTE-7.txt", "c/PRODUTO-1.xml"}
                                                    << "CLIENTE-" << "-";
        QTest::newRow("products") << QStringList{"a/CLIENTE-7.xml", "b/x/PRODUTO-1.XML"} << "PRODUTO-" << "/b/x";
        QTest::newRow("a name inside the excluded path") << QStringList{"Data/CLIENTE-1.xml", "gram/CLIENTE-2.xml"}
                                                         << "CLIENTE-" << "-";
        QTest::newRow("recycle bin") << QStringList{"$Recycle.Bin/CLIENTE-1.xml", "x$RECYCLE.BINy/CLIENTE-1.xml"}
                                     << "CLIENTE-" << "-";
        QTest::newRow("deep nesting") << QStringList{"1/2/3/4/5/6/7/8/CLIENTE-9.xml"} << "CLIENTE-" << "/1/2/3/4/5/6/7/8";
        // Single letters occur in the excluded path: such folders are never entered.
        QTest::newRow("letters of the excluded path") << QStringList{"a/CLIENTE-9.xml"} << "CLIENTE-" << "-";
        QTest::newRow("NF-e documents named by their access key")
            << QStringList{"notas/35200114200166000187550010000000046550000008-procNFe.xml"} << "PRODUTO-" << "/notas";
        QTest::newRow("accented letters are not folded") << QStringList{"x/CLIENTÉ-1.xml", "y/clienté-1.xml"}
                                                         << "CLIENTÉ-" << "/x";
    }
    void findsTheFolderOfTheFirstMatchingFile()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, arquivo);
        QFETCH(QString, found);
        for (const QString& f : files) {
            const QString path = docs_ + QChar('/') + f;
            QDir().mkpath(QFileInfo(path).path());
            QFile(path).open(QIODevice::WriteOnly);
        }
        window_->pastas.pastaEncontrada.clear();
        window_->BuscaPasta(arquivo, QStringLiteral(".xml"), window_->pastas.pastaDocumentos, window_->pastas.pastaCommonAppData);
        QCOMPARE(window_->pastas.pastaEncontrada, found == QLatin1String("-") ? QString() : docs_ + found);
    }

    // A link back up the tree is entered once, not forever.
    void linksThatLoopAreFollowedOnce()
    {
        QDir().mkpath(docs_ + QStringLiteral("/a/b"));
        QVERIFY(::symlink("..", QFile::encodeName(docs_ + QStringLiteral("/a/b/up")).constData()) == 0);
        QVERIFY(::symlink(QFile::encodeName(docs_).constData(), QFile::encodeName(docs_ + QStringLiteral("/a/top")).constData()) == 0);
        window_->pastas.pastaEncontrada.clear();
        window_->BuscaPasta(QStringLiteral("CLIENTE-"), QStringLiteral(".xml"), window_->pastas.pastaDocumentos, window_->pastas.pastaCommonAppData);
        QVERIFY(window_->pastas.pastaEncontrada.isEmpty());
        QDir().mkpath(docs_ + QStringLiteral("/z"));
        QFile(docs_ + QStringLiteral("/z/CLIENTE-1.xml")).open(QIODevice::WriteOnly);
        window_->BuscaPasta(QStringLiteral("CLIENTE-"), QStringLiteral(".xml"), window_->pastas.pastaDocumentos, window_->pastas.pastaCommonAppData);
        QVERIFY(window_->pastas.pastaEncontrada.endsWith(QLatin1String("/z")));
    }

    // Only a regular file makes an export folder; the other entries named
    // like one are passed over with a log line, and nothing blocks.
    void onlyRegularFilesMakeAnExportFolder()
    {
        window_->pastas.pastaPrograma = root_->path();
        QDir().mkpath(docs_ + QStringLiteral("/Export1/NFe-CLIENTE-8.xml"));
        QVERIFY(::mkfifo(QFile::encodeName(docs_ + QStringLiteral("/Export1/NFe-CLIENTE-9.xml")).constData(), 0600) == 0);
        QVERIFY(::symlink("/dev/zero", QFile::encodeName(docs_ + QStringLiteral("/Export1/NFe-CLIENTE-7.xml")).constData()) == 0);
        QDir().mkpath(docs_ + QStringLiteral("/Export2"));
        QFile(docs_ + QStringLiteral("/Export2/NFe-CLIENTE-1.xml")).open(QIODevice::WriteOnly);
        window_->pastas.pastaEncontrada.clear();
        window_->BuscaPasta(QStringLiteral("CLIENTE-"), QStringLiteral(".xml"), window_->pastas.pastaDocumentos, window_->pastas.pastaCommonAppData);
        QCOMPARE(window_->pastas.pastaEncontrada, docs_ + QStringLiteral("/Export2"));
        QFile log(root_->path() + QStringLiteral("/Tessaly.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(text.contains(QStringLiteral(" - O item \"NFe-CLIENTE-7.xml\" não é um arquivo comum (dispositivo) e foi ignorado.\r\n")));
        QVERIFY(text.contains(QStringLiteral(" - O item \"NFe-CLIENTE-9.xml\" não é um arquivo comum (FIFO) e foi ignorado.\r\n")));
        QCOMPARE(text.count(QStringLiteral("\r\n")), 2);  // the folder is searched, not passed over
    }

    // A folder that can't be listed counts as empty: the search goes on with
    // the next entry. Root lists every folder, so the search runs as a user
    // that the folder's mode keeps out.
    void unreadableFoldersCountAsEmpty()
    {
        QFile::setPermissions(root_->path(), QFile::permissions(root_->path()) | QFileDevice::ExeOther);
        QDir().mkpath(docs_ + QStringLiteral("/closed"));
        QFile(docs_ + QStringLiteral("/closed/CLIENTE-1.xml")).open(QIODevice::WriteOnly);
        QDir().mkpath(docs_ + QStringLiteral("/open"));
        QFile(docs_ + QStringLiteral("/open/CLIENTE-2.xml")).open(QIODevice::WriteOnly);
        test_support::giveToChild(QFile::encodeName(docs_ + QStringLiteral("/closed")).toStdString());
        QFile::setPermissions(docs_ + QStringLiteral("/closed"), QFileDevice::WriteOwner);
        const int foundTheOpenOne = test_support::inUnprivilegedChild([&] {
            window_->BuscaPasta(QStringLiteral("CLIENTE-"), QStringLiteral(".xml"), window_->pastas.pastaDocumentos,
                                window_->pastas.pastaCommonAppData);
            return window_->pastas.pastaEncontrada == docs_ + QStringLiteral("/open");
        });
        QFile::setPermissions(docs_ + QStringLiteral("/closed"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(foundTheOpenOne, 1);
    }

    void browseButtonOpensTheDialogOnTheFoundFolder()
    {
        QDir().mkpath(docs_ + QStringLiteral("/Exportados"));
        QFile(docs_ + QStringLiteral("/Exportados/PRODUTO-1.xml")).open(QIODevice::WriteOnly);
        ScriptedDialogs& dialogs = env_->scripted;
        dialogs.folderAnswers.push_back(docs_ + QStringLiteral("/Escolhida/"));
        window_->setItemIndex(1);
        window_->btnPesquisarClick();
        QCOMPARE(dialogs.folderTitles, QStringList{QStringLiteral("Informe a pasta onde estão os arquivos XML")});
        QCOMPARE(dialogs.folderInitial, QStringList{docs_ + QStringLiteral("/Exportados")});
        QCOMPARE(window_->pastas.pastaXML, docs_ + QStringLiteral("/Escolhida"));
        QCOMPARE(window_->ledtCaminho->text(), window_->pastas.pastaXML);
        QVERIFY(window_->btnPesquisar->isEnabled());
        // Cancelling empties the field, and a second click searches again.
        window_->setItemIndex(0);
        window_->btnPesquisarClick();
        QCOMPARE(dialogs.folderInitial.last(), QString());
        QVERIFY(window_->pastas.pastaXML.isEmpty());
        QVERIFY(window_->ledtCaminho->text().isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> root_;
    QString docs_;
    std::unique_ptr<ScriptedEnv> env_;
    std::unique_ptr<TfrmClientes> window_;
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    FolderSearchTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "folder_search_test.moc"
