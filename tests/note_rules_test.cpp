// The rules that pass a note or an item over, on small documents written
// here: the shapes of a cancellation in the note's own file, and product
// codes longer than the key column.

#include "app/application.h"
#include "tests/import_fixture.h"

#include <QTest>

namespace {

// A production note with one recipient and the items given; after: what
// follows the note inside nfeProc (its protocol, an event's answer).
QByteArray note(const QString& items, const QString& inside = {}, const QString& after = {})
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<nfeProc versao=\"4.00\" xmlns=\"http://www.portalfiscal.inf.br/nfe\"><NFe>"
                          "<infNFe Id=\"NFe35200114200166000187550010000000046550000008\" versao=\"4.00\">"
                          "<ide><mod>55</mod><tpAmb>1</tpAmb></ide>"
                          "<dest><CNPJ>11444777000161</CNPJ><xNome>Cliente da nota</xNome></dest>%1</infNFe>%2</NFe>"
                          "<protNFe><infProt><tpAmb>1</tpAmb><chNFe>35200114200166000187550010000000046550000008</chNFe>"
                          "<cStat>100</cStat></infProt></protNFe>%3</nfeProc>\n")
        .arg(items, inside, after)
        .toUtf8();
}

QString item(int n, const QString& prod)
{
    return QStringLiteral("<det nItem=\"%1\"><prod>%2</prod></det>").arg(n).arg(prod);
}

} // namespace

class NoteRulesTest : public QObject {
    Q_OBJECT

private slots:
    // A cancellation counts wherever it sits in the note's file, when the
    // authority accepted it and it names this note or none.
    void cancellationInTheNotesOwnFile_data()
    {
        QTest::addColumn<QString>("inside");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("cancelledBy");  // the status in the log line; empty: imported
        const QString key = QStringLiteral("35200114200166000187550010000000046550000008");
        const auto answer = [&](const char* status, const char* type, const QString& k) {
            return QStringLiteral("<retEvento versao=\"1.00\"><infEvento><cStat>%1</cStat><chNFe>%2</chNFe>"
                                  "<tpEvento>%3</tpEvento></infEvento></retEvento>")
                .arg(QLatin1String(status), k, QLatin1String(type));
        };
        for (const char* status : {"101", "135", "136", "151", "155"})
            QTest::addRow("answer after the protocol, cStat %s", status) << QString() << answer(status, "110111", key) << status;
        QTest::newRow("refused cancellation (573)") << QString() << answer("573", "110111", key) << QString();
        QTest::newRow("correction letter (110110)") << QString() << answer("135", "110110", key) << QString();
        QTest::newRow("event of another note") << QString() << answer("135", "110111", QStringLiteral("35200114200166000187550010000000046550000009"))
                                               << QString();
        QTest::newRow("nested in NFe, type in the event, no key")
            << QStringLiteral("<procEventoNFe><evento><infEvento><tpEvento>110111</tpEvento></infEvento></evento>"
                              "<retEvento><infEvento><cStat>101</cStat></infEvento></retEvento></procEventoNFe>")
            << QString() << "101";
    }
    void cancellationInTheNotesOwnFile()
    {
        QFETCH(QString, inside);
        QFETCH(QString, after);
        QFETCH(QString, cancelledBy);
        for (int mode : {0, 1}) {
            ImportFixture f;
            f.writeXml(QStringLiteral("nota.xml"), note(item(1, QStringLiteral("<cProd>A1</cProd><xProd>Item</xProd>")), inside, after));
            f.run(mode);
            const QStringList cancelled = f.logMessages().filter(QStringLiteral("foi cancelada"));
            if (cancelledBy.isEmpty()) {
                QVERIFY(cancelled.isEmpty());
                QCOMPARE(f.rows(mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db")).size(), 1);
            } else {
                QCOMPARE(cancelled, QStringList{QStringLiteral("A nota do arquivo \"nota.xml\" foi cancelada (evento 110111 no "
                                                               "próprio arquivo, cStat %1) e foi ignorada.").arg(cancelledBy)});
                QVERIFY(f.rows(mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db")).isEmpty());
            }
            // The status is the protocol's: an event's answer never reads as one.
            QVERIFY(f.logMessages().filter(QStringLiteral("não foi autorizada")).isEmpty());
        }
    }

    // A note of the authority's test environment gives no client and no
    // product, even with a protocol that authorised it.
    void homologationNote_data() { ImportFixture::addModes(); }
    void homologationNote()
    {
        QFETCH(int, mode);
        ImportFixture f;
        f.writeXml(QStringLiteral("teste.xml"), note(item(1, QStringLiteral("<cProd>A1</cProd><xProd>Item</xProd>")))
                                                     .replace("<tpAmb>1</tpAmb></ide>", "<tpAmb>2</tpAmb></ide>"));
        f.writeXml(QStringLiteral("real.xml"), note(item(1, QStringLiteral("<cProd>B2</cProd><xProd>Outro</xProd>")))
                                                   .replace("11444777000161", "58716523000119"));
        f.run(mode);
        QCOMPARE(f.logMessages().filter(QStringLiteral("homologação")),
                 QStringList{QStringLiteral("A nota do arquivo \"teste.xml\" foi emitida em ambiente de homologação (tpAmb 2), "
                                            "sem valor fiscal, e foi ignorada.")});
        const QStringList rows = f.rows(mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db"));
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows.front().contains(mode == 0 ? QStringLiteral("58.716.523/0001-19") : QStringLiteral("Outro")));
    }

    // Two codes alike in their first 20 characters are two products: neither
    // is stored under a cut key, and neither is taken for the other.
    void codesLongerThanTheKeyArePassedOver()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("PRODUTO-1.xml"), productXml(QStringLiteral("<cProd>ABCDEFGHIJKLMNOPQRST-0001</cProd><xProd>Primeiro</xProd>")));
        f.writeXml(QStringLiteral("PRODUTO-2.xml"), productXml(QStringLiteral("<cProd>ABCDEFGHIJKLMNOPQRST-0002</cProd><xProd>Segundo</xProd>")));
        f.writeXml(QStringLiteral("PRODUTO-3.xml"), productXml(QStringLiteral("<cProd>ABCDEFGHIJKLMNOPQRST</cProd><xProd>Vinte</xProd>")));
        // The barcode is the code, however short cProd is.
        f.writeXml(QStringLiteral("PRODUTO-4.xml"),
                   productXml(QStringLiteral("<cProd>X1</cProd><cEAN>789123456789012345678</cEAN><xProd>Barras</xProd>")));
        f.writeXml(QStringLiteral("nota.xml"),
                   note(item(3, QStringLiteral("<cProd>%1</cProd><xProd>Longo</xProd>").arg(QString(60, QChar('9'))))
                        + item(4, QStringLiteral("<cProd>CURTO</cProd><xProd>Curto</xProd>"))));
        f.run(1);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("2 Produtos cadastrados com sucesso!")});
        QCOMPARE(f.logMessages().filter(QStringLiteral("do campo Codigo")),
                 (QStringList{
                     // In listing order: nota.xml comes first.
                     QStringLiteral("O produto \"Longo\" (item 3) do arquivo \"nota.xml\" tem o código \"%1\", de 60 caracteres, "
                                    "mais que os 20 do campo Codigo, e foi ignorado.").arg(QString(60, QChar('9'))),
                     QStringLiteral("O produto \"Primeiro\" (item 1) do arquivo \"PRODUTO-1.xml\" tem o código "
                                    "\"ABCDEFGHIJKLMNOPQRST-0001\", de 25 caracteres, mais que os 20 do campo Codigo, e foi ignorado."),
                     QStringLiteral("O produto \"Segundo\" (item 1) do arquivo \"PRODUTO-2.xml\" tem o código "
                                    "\"ABCDEFGHIJKLMNOPQRST-0002\", de 25 caracteres, mais que os 20 do campo Codigo, e foi ignorado."),
                     QStringLiteral("O produto \"Barras\" (item 1) do arquivo \"PRODUTO-4.xml\" tem o código "
                                    "\"789123456789012345678\", de 21 caracteres, mais que os 20 do campo Codigo, e foi ignorado.")}));
        QVERIFY(f.logMessages().filter(QStringLiteral("já está cadastrado")).isEmpty());
        QStringList codes;
        for (const QString& r : f.rows(QStringLiteral("TabEst1.db")))
            codes << r.section(QChar('\t'), 0, 0);
        codes.sort();
        QCOMPARE(codes, (QStringList{"ABCDEFGHIJKLMNOPQRST", "CURTO"}));
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    NoteRulesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "note_rules_test.moc"
