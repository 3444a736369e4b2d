// Real folders of invoices: the public NF-e documents and events of the
// shared material, imported as a user's folder would be. Test notes,
// cancelled notes and events beside their notes are passed over with a log
// line each; a simulation lists exactly what the real run then inserts.

#include "app/application.h"
#include "import/import_service.h"
#include "platform/sql/session.h"
#include "tests/import_fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString publicDocs = QStringLiteral(SHARED_DIR "/data/nfe/public/docs");

// Copies the public documents named (all when none) into the fixture's folder.
void copyPublic(const ImportFixture& f, const QStringList& names = {})
{
    const QDir source(publicDocs);
    for (const QString& name : names.isEmpty() ? source.entryList({QStringLiteral("*.xml")}, QDir::Files) : names)
        QVERIFY(QFile::copy(source.filePath(name), f.xml() + QChar('/') + name));
}

class Recorder final : public ImportReporter {
public:
    void report(const std::string& line, bool) override { lines << QString::fromStdString(line); }
    void wouldInsert(const std::string& codigo, const std::string&) override { codes << QString::fromStdString(codigo); }
    QStringList lines;
    QStringList codes;
};

// One run through the service, as the command line makes it.
Recorder serviceRun(const ImportFixture& f, ImportMode mode, bool simular)
{
    db::Session session;
    Recorder recorder;
    ImportService service(session, recorder);
    service.setSimulation(simular);
    EstadoImportacao estado;
    service.run(mode, f.data().toStdString(), f.xml().toStdString(), estado);
    return recorder;
}

// The lines that only a real run writes: the rows it stored and the values
// it fitted to their columns.
QStringList withoutRowLines(QStringList lines)
{
    lines.removeIf([](const QString& l) {
        return l.contains(QLatin1String(" inserido com sucesso em ")) || l.contains(QLatin1String("foi ajustado ao tamanho"));
    });
    return lines;
}

QStringList codesOf(const QStringList& rows)
{
    QStringList codes;
    for (const QString& r : rows)
        codes << r.section(QChar('\t'), 0, 0);
    codes.sort();
    return codes;
}

// A cancellation event beside a note: the answer names its type and key, or
// (older layout) only the event it answers does.
QByteArray cancellationEvent(const QString& key, const QString& status, bool keyInAnswer)
{
    const QString answer = keyInAnswer ? QStringLiteral("<tpEvento>110111</tpEvento><chNFe>%1</chNFe>").arg(key) : QString();
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<procEventoNFe versao=\"1.00\" xmlns=\"http://www.portalfiscal.inf.br/nfe\"><evento versao=\"1.00\">"
                          "<infEvento><tpAmb>1</tpAmb><chNFe>%1</chNFe><tpEvento>110111</tpEvento></infEvento></evento>"
                          "<retEvento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><cStat>%2</cStat>%3</infEvento></retEvento>"
                          "</procEventoNFe>\n")
        .arg(key, status, answer)
        .toUtf8();
}

const QString cpfNote = QStringLiteral("nfelib__35180834128745000152550010000474281920007498-nfe.xml");
const QString cpfNoteKey = QStringLiteral("35180834128745000152550010000474281920007498");

} // namespace

class NfeFolderTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!QDir(publicDocs).exists())
            QSKIP(qPrintable(QStringLiteral("Pasta ausente: %1 (documentos NF-e públicos)").arg(publicDocs)));
    }

    // Every note passed over names its file and why; nothing of it is stored.
    void publicFolderInBothModes_data() { ImportFixture::addModes(); }
    void publicFolderInBothModes()
    {
        QFETCH(int, mode);
        ImportFixture f;
        copyPublic(f);
        f.run(mode);
        const QStringList log = f.logMessages();
        const auto line = [](const QString& file, const QString& why) {
            return QStringLiteral("A nota do arquivo \"%1\" %2 e foi ignorada.").arg(file, why);
        };
        const QString test = QStringLiteral("foi emitida em ambiente de homologação (tpAmb 2), sem valor fiscal,");
        QStringList expected;
        for (const char* file :
             {"BrazilFiscalReport__nfe_big_font_size.xml", "BrazilFiscalReport__nfe_semicolon_line_break.xml",
              "br_danfe__nfce-authorized.xml", "br_danfe__product_list_with_many_products_and_long_names.xml",
              "NFEDanfe__special-chars-2-products-procNFe.xml",
              "nfelib__41170706117473000150550010000463202612756525-procNFe.xml", "nfelib__nfce_contingencia.xml",
              "nfelib__NFe35200159594315000157550010000000012062777161.xml",
              "nfephp__11101284613439000180550010000004881093997017-nfeCancNFe.xml",
              "nfephp__11101284613439000180550010000004881093997017-nfeProt.xml",
              "nfephp__11101284613439000180550010000004881093997017-nfeRetEvento.xml",
              "nfephp__35150158716523000119550010000000071000000076-protNFe.xml", "nfephp__exemploNFCe.xml",
              "PyNFe__NFe_assinada.xml", "PyNFe__texte.xml", "sped-da__mod55-nfe.xml", "sped-da__NFCeHom2.xml"})
            expected << line(QString::fromLatin1(file), test);
        // A status that is no authorisation, in the note's own protocol.
        expected << line(QStringLiteral("wmixvideo-nfe__notaprocessada.xml"), QStringLiteral("não foi autorizada (cStat OK)"))
                 // Authorised (100), then cancelled by the event answered after the protocol.
                 << line(QStringLiteral("sped-da__cancelada_55_new.xml"),
                         QStringLiteral("foi cancelada (evento 110111 no próprio arquivo, cStat 135)"))
                 // No protocol; the cancellation nested inside the note.
                 << line(QStringLiteral("NFEDanfe__nota-cancelada.xml"),
                         QStringLiteral("foi cancelada (evento 110111 no próprio arquivo, cStat 101)"));
        if (mode == 0)
            for (const char* file : {"nfelib__42210775277525000178550030000266631762885493-procNFe.xml",  // foreign
                                     "nfelib__42220575277525000178550030000292481295366801-procNFe.xml",  // foreign
                                     "nfephp__xml-problema-qrcode.xml"})
                expected << QStringLiteral("A nota do arquivo \"%1\" não tem destinatário com CPF ou CNPJ e foi ignorada.")
                                .arg(QLatin1String(file));
        QStringList passedOver = log.filter(QStringLiteral("A nota do arquivo "));
        passedOver.sort();
        expected.sort();
        QCOMPARE(passedOver, expected);
        // The cancellation event that names no note of the folder, and the
        // correction letters, are passed over as events.
        QCOMPARE(log.filter(QStringLiteral("é um evento da NF-e (procEventoNFe), não uma nota, e foi ignorado.")).size(), 4);

        const QStringList rows = f.rows(mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db"));
        if (mode == 0) {
            QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("20 clientes cadastrados com sucesso!")});
            // A note without a protocol is imported; the cancelled one's twin,
            // authorised and never cancelled, is too.
            QCOMPARE(rows.filter(QStringLiteral("\tNome do Destinatario Pj Ltda\t")).size(), 1);
            QCOMPARE(rows.filter(QStringLiteral("\tCLIENTE EXEMPLO LTDA\t")).size(), 1);
            QCOMPARE(rows.filter(QStringLiteral("\tM R SANTOS DE PAULA TECIDOS ME\t")).size(), 0);
            return;
        }
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("218 Produtos cadastrados com sucesso!")});
        // The foreign recipient's items are stored all the same.
        QCOMPARE(rows.filter(QRegularExpression(QStringLiteral("^0141400002\t.*RESISTENCIA PARA FOGAO 1800 W\t"))).size(), 1);
        // Repeated nItem: each of the 50 items gets its line, in item order.
        const qsizetype at = log.indexOf(QStringLiteral("Arquivo localizado: \"br_danfe__with_three_pages_authorized.xml\"."));
        QVERIFY(at >= 0);
        for (const QString& l : log.mid(at + 1, 50))
            QVERIFY2(l.startsWith(QLatin1String("Produto ")) || l.startsWith(QStringLiteral("O Produto com código: ")), qPrintable(l));
        QVERIFY(log.value(at + 51).startsWith(QLatin1String("Arquivo localizado: ")));
        // An item without any tax block: no CST, no origin.
        const QStringList noIcms = rows.filter(QRegularExpression(QStringLiteral("^10\t"))).value(0).split(QChar('\t'));
        QCOMPARE(noIcms.value(3), QStringLiteral("Produto Com Csosn 101"));
        QCOMPARE(noIcms.value(9), QStringLiteral("\\N"));
        QCOMPARE(noIcms.value(11), QStringLiteral("\\N"));
    }

    // A simulation logs what the real run logs and lists the codes of
    // exactly the rows the real run then stores.
    void simulationListsWhatTheRunInserts_data() { ImportFixture::addModes(); }
    void simulationListsWhatTheRunInserts()
    {
        QFETCH(int, mode);
        const ImportMode m = mode == 0 ? ImportMode::Clientes : ImportMode::Produtos;
        const QString table = mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db");
        ImportFixture f;
        copyPublic(f);
        const Recorder simulated = serviceRun(f, m, true);
        QVERIFY(f.rows(table).isEmpty());
        const Recorder real = serviceRun(f, m, false);
        QStringList codes = simulated.codes;
        codes.sort();
        QCOMPARE(codes, codesOf(f.rows(table)));
        QVERIFY(codes.size() > 10);
        QCOMPARE(withoutRowLines(simulated.lines), withoutRowLines(real.lines));
    }

    // The folder's events are known before any note is read: an event file
    // cancels its note whether its name comes before or after the note's.
    void cancellationBesideItsNote_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("eventFile");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("keyInAnswer");
        QTest::addColumn<bool>("cancelled");
        for (int mode : {0, 1}) {
            const char* m = mode == 0 ? "clientes" : "produtos";
            QTest::addRow("%s, event named before the note", m) << mode << "0-cancelamento.xml" << cpfNoteKey << "135" << true << true;
            QTest::addRow("%s, event named after the note", m) << mode << "zz-cancelamento.xml" << cpfNoteKey << "135" << true << true;
            QTest::addRow("%s, older layout: key and type in the event only", m)
                << mode << "zz-cancelamento.xml" << cpfNoteKey << "101" << false << true;
            QTest::addRow("%s, cancellation refused (573)", m) << mode << "0-cancelamento.xml" << cpfNoteKey << "573" << true << false;
            QTest::addRow("%s, event of another note", m)
                << mode << "0-cancelamento.xml" << "35180834128745000152550010000474281920007499" << "135" << true << false;
        }
    }
    void cancellationBesideItsNote()
    {
        QFETCH(int, mode);
        QFETCH(QString, eventFile);
        QFETCH(QString, key);
        QFETCH(QString, status);
        QFETCH(bool, keyInAnswer);
        QFETCH(bool, cancelled);
        ImportFixture f;
        copyPublic(f, {cpfNote});
        f.writeXml(eventFile, cancellationEvent(key, status, keyInAnswer));
        f.run(mode);
        const QStringList log = f.logMessages();
        const QString line = QStringLiteral("A nota do arquivo \"%1\" foi cancelada pelo evento do arquivo \"%2\" (110111, cStat %3) e foi ignorada.")
                                 .arg(cpfNote, eventFile, status);
        QCOMPARE(log.contains(line), cancelled);
        QVERIFY(log.contains(QStringLiteral("O arquivo \"%1\" é um evento da NF-e (procEventoNFe), não uma nota, e foi ignorado.").arg(eventFile)));
        const QStringList rows = f.rows(mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db"));
        QCOMPARE(rows.size(), cancelled ? 0 : (mode == 0 ? 1 : 6));
    }

    // An event file that cannot be read is named in the log with why; the
    // note it may cancel is read on its own.
    void unreadableEventFile()
    {
        ImportFixture f;
        copyPublic(f, {cpfNote});
        f.writeXml(QStringLiteral("0-cancelamento.xml"), cancellationEvent(cpfNoteKey, QStringLiteral("135"), true).replace("</procEventoNFe>", ""));
        f.run(0);
        const QStringList log = f.logMessages();
        QCOMPARE(log.filter(QStringLiteral("O arquivo XML \"")).size(), 1);
        QVERIFY(log.filter(QStringLiteral("O arquivo XML \"")).value(0).contains(QStringLiteral("0-cancelamento.xml\" não é válido")));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 1);
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    NfeFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "nfe_folder_test.moc"
