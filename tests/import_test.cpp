// Import runs through the real window, headless, into host tables made by
// the engine and read back by the independent reader.

#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/labeled_edit.h"
#include "app/screen_cursor.h"
#include "folders/directory_search.h"
#include "tests/import_fixture.h"
#include "tests/shared_data.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names of the XML folder in the order the file system lists them.
QStringList listingOrder(const QString& folder)
{
    QStringList names;
    DirectorySearch search;
    TSearchRec entry;
    for (int32_t r = search.findFirst(QFile::encodeName(folder).toStdString(), "*.xml", entry); r == 0;
         r = search.findNext(entry))
        names << QString::fromStdString(entry.Name);
    return names;
}

QString cnpj(const char* digits) { return QStringLiteral("<CNPJ>%1</CNPJ>").arg(QLatin1String(digits)); }

// An NF-e document: the bare note (root "NFe") or the note with the
// protocol of its status (root "nfeProc").
QByteArray nfeDocument(const QString& root, const QString& dest, const QString& items, const QString& status)
{
    const QString nfe = QStringLiteral("<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\"><infNFe versao=\"4.00\">"
                                       "<ide><mod>55</mod></ide>%1%2</infNFe></NFe>").arg(dest, items);
    if (root == QLatin1String("NFe"))
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + nfe).toUtf8();
    return QStringLiteral("<?xml version=\"1.0\"?><nfeProc versao=\"4.00\" xmlns=\"http://www.portalfiscal.inf.br/nfe\">%1"
                          "<protNFe><infProt><cStat>%2</cStat></infProt></protNFe></nfeProc>")
        .arg(nfe, status)
        .toUtf8();
}

} // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void clientRunImportsTheRealExports()
    {
        QSKIP_WITHOUT_SHARED_DATA();
        ImportFixture f;
        f.insertRow(QStringLiteral("TabCli.db"),
                    "000120\t2025-11-03\tJá cadastrado\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t10.422.724/0001-87\t\\N\t0\t\\N\t\\N\t-1");
        f.copyRealExports(QStringLiteral("*CLIENTE*"));
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("3 clientes cadastrados com sucesso!")});
        const QStringList rows = f.rows(QStringLiteral("TabCli.db"));
        QCOMPARE(rows.size(), 4);
        // The new clients take the codes after 120 in the order of their file names.
        QStringList codes;
        for (const QString& r : rows)
            codes << r.section(QChar('\t'), 0, 0) + QChar('=') + r.section(QChar('\t'), 10, 10);
        codes.sort();
        QCOMPARE(codes, (QStringList{"000120=10.422.724/0001-87", "000121=02.536.490/0001-70", "000122=07.134.266/0001-76",
                                     "000123=58.716.523/0001-19"}));
        const QString fake = rows.filter(QStringLiteral("07.134.266/0001-76")).value(0);
        const QStringList v = fake.split(QChar('\t'));
        QCOMPARE(v[2], QStringLiteral("Destinatario Fake"));
        QCOMPARE(v[7], QStringLiteral("Venâncio Aires"));  // stored in code page 1252
        QCOMPARE(v[9], QStringLiteral("95800-000"));
        QCOMPARE(v[11], QStringLiteral("1234567890"));
        QCOMPARE(v[12], QStringLiteral("0"));
        QCOMPARE(v[15], QStringLiteral("-1"));

        const QStringList log = f.logMessages();
        QCOMPARE(log.value(0), QStringLiteral("Verificando último código cadastrado no banco de dados do software Pelko"));
        QCOMPARE(log.value(1), QStringLiteral("Código retornado: 120"));
        QCOMPARE(log.value(2), QStringLiteral("Diretório informado pelo usuário: ") + f.xml());
        QVERIFY(log.contains(QStringLiteral("O CPF: 024.564.222-87 está inválido. Cliente não incluso no arquivo \".db\"!")));
        QVERIFY(log.contains(QStringLiteral("O CPF/CNPJ: 10.422.724/0001-87 já está cadastrado no banco de dados!")));
        QVERIFY(log.contains(QStringLiteral("CNPJ: 07.134.266/0001-76 está correto!")));
        QVERIFY(log.contains(QStringLiteral("Cliente Destinatario Fake inserido com sucesso em TABCLI.db!")));
        QCOMPARE(log.last(), QStringLiteral("3 clientes cadastrados com sucesso!"));
        // Every file found is logged right before what became of it, in listing order.
        qsizetype previous = 2;
        for (const QString& name : listingOrder(f.xml())) {
            const qsizetype at = log.indexOf(QStringLiteral("Arquivo localizado: \"%1\".").arg(name));
            QVERIFY(at > previous);
            previous = at;
        }
        QVERIFY(f.window().btnImportar->isEnabled());
        QCOMPARE(screenCursor(), Qt::ArrowCursor);

        // A second run finds them all registered.
        f.dialogs().messages.clear();
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("Nenhum cliente foi cadastrado!")});
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 4);
    }

    void clientFieldsAndCodes()
    {
        ImportFixture f;
        f.insertRow(QStringLiteral("TabCli.db"), "ABC\t\\N\tx\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t1\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.insertRow(QStringLiteral("TabCli.db"), "000120\t\\N\tx\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t2\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.writeXml(QStringLiteral("NFe-CLIENTE-01.xml"),
                   clientXml(QStringLiteral("<CPF>111.444.777-35</CPF><IE>99</IE>"), QStringLiteral("  Zé  "),
                             QStringLiteral("<enderDest><CEP>12345-678</CEP><fone>11</fone></enderDest><email>a@b</email>")));
        f.writeXml(QStringLiteral("CLIENTE-02.XML"),
                   clientXml(cnpj("11444777000161") + QStringLiteral("<IE>ISENTO</IE>"), QString(),
                             QStringLiteral("<enderDest><CEP>123</CEP></enderDest>")));
        f.writeXml(QStringLiteral("cliente-03.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("minúsculo")));
        f.writeXml(QStringLiteral("CLIENTE-04.txt"), clientXml(cnpj("11444777000161"), QStringLiteral("texto")));
        QDir(f.xml()).mkdir(QStringLiteral("CLIENTE-05.xml"));
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("2 clientes cadastrados com sucesso!")});
        QVERIFY(f.logMessages().contains(QStringLiteral("Código retornado: 120")));  // ABC is passed over
        QVERIFY(f.logMessages().contains(QStringLiteral("Cliente  inserido com sucesso em TABCLI.db!")));
        const QStringList rows = f.rows(QStringLiteral("TabCli.db"));
        QCOMPARE(rows.size(), 4);
        const QStringList person = rows.filter(QStringLiteral("111.444.777-35")).value(0).split(QChar('\t'));
        QCOMPARE(person.value(2), QStringLiteral("Zé"));
        QCOMPARE(person.value(9), QStringLiteral("12345-678"));  // its hyphen already there
        QCOMPARE(person.value(11), QStringLiteral("99"));  // a rural producer's registration
        QCOMPARE(person.value(12), QStringLiteral("1"));
        QCOMPARE(person.value(13), QStringLiteral("11"));
        QCOMPARE(person.value(14), QStringLiteral("a@b"));
        const QStringList company = rows.filter(QStringLiteral("11.444.777/0001-61")).value(0).split(QChar('\t'));
        QCOMPARE(company.value(2), QStringLiteral("\\N"));
        QCOMPARE(company.value(9), QStringLiteral("123-"));
        QCOMPARE(company.value(11), QStringLiteral("ISENTO"));
        QCOMPARE(company.value(13), QStringLiteral("\\N"));  // nothing of the other client is left over
        QStringList codes{person.value(0), company.value(0)};
        codes.sort();
        QCOMPARE(codes, (QStringList{"000121", "000122"}));
    }

    void refusedNumbersAndDuplicatesInOneRun()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(QStringLiteral("<CPF>111.444.777-36</CPF>"), QStringLiteral("A")));
        f.writeXml(QStringLiteral("CLIENTE-2.xml"), clientXml(QString(), QStringLiteral("B")));
        f.writeXml(QStringLiteral("CLIENTE-3.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("C")));
        f.writeXml(QStringLiteral("CLIENTE-4.xml"), clientXml(cnpj("11.444.777/0001-61"), QStringLiteral("D")));
        f.writeXml(QStringLiteral("CLIENTE-5.xml"), clientXml(cnpj("12ABC34501DE35"), QStringLiteral("E")));
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("2 clientes cadastrados com sucesso!")});
        const QStringList log = f.logMessages();
        QVERIFY(log.contains(QStringLiteral("O CPF: 111.444.777-36 está inválido. Cliente não incluso no arquivo \".db\"!")));
        QVERIFY(log.contains(QStringLiteral("O CNPJ:  está inválido. Cliente não incluso no arquivo \".db\"!")));
        QVERIFY(log.contains(QStringLiteral("O CPF/CNPJ: 11.444.777/0001-61 já está cadastrado no banco de dados!")));
        QVERIFY(log.contains(QStringLiteral("CNPJ: 12.ABC.345/01DE-35 está correto!")));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 2);
    }

    // Runs under pt_BR, en_US and C.UTF-8 (see CMakeLists.txt): the prices
    // are the same under every regional setting.
    void productRunImportsTheRealExports()
    {
        QSKIP_WITHOUT_SHARED_DATA();
        ImportFixture f;
        f.copyRealExports(QStringLiteral("PRODUTO-*"));
        f.run(1);
        QCOMPARE(f.dialogs().messages.size(), 1);
        QVERIFY(f.dialogs().messages.front().endsWith(QLatin1String(" Produtos cadastrados com sucesso!")));
        const QStringList rows = f.rows(QStringLiteral("TabEst1.db"));
        // The first export has no barcode ("SEM GTIN"): stored under its own code, 15.0000, no origin.
        const QStringList dalia = rows.filter(QStringLiteral("\tDALIA\t")).value(0).split(QChar('\t'));
        QCOMPARE(dalia.value(0), QStringLiteral("1234"));
        QCOMPARE(dalia.value(1), QStringLiteral("\\N"));
        QCOMPARE(dalia.value(2), QStringLiteral("\\N"));
        QCOMPARE(dalia.value(4), QStringLiteral("60063210"));
        QCOMPARE(dalia.value(5), QStringLiteral("KG"));
        QCOMPARE(dalia.value(6), QStringLiteral("15.0000"));
        QCOMPARE(dalia.value(9), QStringLiteral("20"));  // from the ICMS20 group
        QCOMPARE(dalia.value(10), QStringLiteral("-1"));
        QCOMPARE(dalia.value(11), QStringLiteral("0"));
        for (const QString& r : rows)
            QVERIFY2(!r.contains(QLatin1String("SEM GTIN"), Qt::CaseInsensitive), qPrintable(r));
    }

    void productCodesPricesAndOrigin()
    {
        ImportFixture f;
        f.insertRow(QStringLiteral("TabEst1.db"), "000041\t\\N\t\\N\tvelho\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.writeXml(QStringLiteral("PRODUTO-a.xml"),
                   productXml(QStringLiteral("<cProd>AB-12</cProd><cEAN>7891234567895</cEAN><xProd>Caneta</xProd>"
                                             "<vUnCom>12.34567</vUnCom><cEANTrib>7891234567895</cEANTrib>")));
        f.writeXml(QStringLiteral("PRODUTO-b.xml"),
                   productXml(QStringLiteral("<cProd>123</cProd><cEAN>sem gtin</cEAN><xProd>Lápis</xProd><vUnCom>12.50</vUnCom>"),
                              QStringLiteral("<orig>2</orig><CST>00</CST>")));
        f.writeXml(QStringLiteral("PRODUTO-c.xml"), productXml(QStringLiteral("<xProd>Sem código</xProd>")));
        f.writeXml(QStringLiteral("PRODUTO-d.xml"), productXml(QStringLiteral("<xProd>   </xProd><cProd>999</cProd>")));
        f.writeXml(QStringLiteral("PRODUTO-e.xml"),
                   productXml(QStringLiteral("<cProd>11789000000000</cProd><xProd>Catorze</xProd>"), QStringLiteral("<CST>41</CST>")));
        f.writeXml(QStringLiteral("PRODUTO-f.xml"), productXml(QStringLiteral("<cProd>000041</cProd><xProd>Repetido</xProd>")));
        f.run(1);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("4 Produtos cadastrados com sucesso!")});
        const QStringList rows = f.rows(QStringLiteral("TabEst1.db"));
        QCOMPARE(rows.size(), 5);
        QVERIFY(rows.contains(QStringLiteral("7891234567895\t7891234567895\t7891234567895\tCaneta\t\\N\t\\N\t12.3457\t\\N\t%1\t\\N\t-1\t0")
                                  .arg(QDate::currentDate().toString(Qt::ISODate))));
        QVERIFY(rows.filter(QRegularExpression(QStringLiteral("^123\t\\\\N\t\\\\N\tLápis\t.*\t12.5000\t.*\t00\t-1\t2$"))).size() == 1);
        QVERIFY(rows.filter(QRegularExpression(QStringLiteral("^000042\t.*\tSem código\t"))).size() == 1);
        QVERIFY(rows.filter(QRegularExpression(QStringLiteral("^11789000000000\t.*\t41\t-1\t\\\\N$"))).size() == 1);
        QVERIFY(f.logMessages().contains(QStringLiteral("O Produto com código: 000041 já está cadastrado no banco de dados!")));
    }

    // Items shaped like NF-e 4.00 ones: orig and CST (or CSOSN) in a group
    // element below ICMS, or directly under it.
    void taxFieldsOfTheIcmsGroup_data()
    {
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("icms");
        QTest::addColumn<QString>("cst");
        QTest::addColumn<QString>("origem");
        QTest::newRow("ICMS00") << "<cProd>A1</cProd>" << "<ICMS00><orig>0</orig><CST>00</CST><modBC>3</modBC></ICMS00>" << "00" << "0";
        QTest::newRow("ICMS20") << "<cProd>A1</cProd>" << "<ICMS20><orig>1</orig><CST>20</CST></ICMS20>" << "20" << "1";
        QTest::newRow("ICMS60, origin 2") << "<cProd>A1</cProd>" << "<ICMS60><orig>2</orig><CST>60</CST></ICMS60>" << "60" << "2";
        QTest::newRow("ICMSPart") << "<cProd>A1</cProd>" << "<ICMSPart><orig>3</orig><CST>10</CST></ICMSPart>" << "10" << "3";
        QTest::newRow("ICMSST, origin 8") << "<cProd>A1</cProd>" << "<ICMSST><orig>8</orig><CST>41</CST></ICMSST>" << "41" << "8";
        QTest::newRow("ICMSSN102: CSOSN without CST") << "<cProd>A1</cProd>" << "<ICMSSN102><orig>0</orig><CSOSN>102</CSOSN></ICMSSN102>" << "102" << "0";
        QTest::newRow("ICMSSN900") << "<cProd>A1</cProd>" << "<ICMSSN900><orig>5</orig><CSOSN>900</CSOSN></ICMSSN900>" << "900" << "5";
        QTest::newRow("orig and CST directly under ICMS") << "<cProd>A1</cProd>" << "<orig>4</orig><CST>90</CST>" << "90" << "4";
        QTest::newRow("direct orig ahead of the group's") << "<cProd>A1</cProd>" << "<orig>1</orig><ICMS00><orig>2</orig><CST>00</CST></ICMS00>" << "00" << "1";
        QTest::newRow("no orig, 789 barcode") << "<cEAN>7891234567895</cEAN>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "0";
        QTest::newRow("no orig, no 789 rule") << "<cProd>ABC</cProd>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "\\N";
        // 789 anywhere in a code of exactly 13 characters, the barcode's or else cProd's.
        QTest::newRow("no orig, 789 inside the code") << "<cProd>1237891234567</cProd>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "0";
        QTest::newRow("no orig, 789 at the code's end") << "<cEAN>1234567890789</cEAN>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "0";
        QTest::newRow("no orig, 789 in 12 characters") << "<cProd>789123456789</cProd>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "\\N";
        QTest::newRow("no orig, 13 characters without 789") << "<cProd>1234560000123</cProd>" << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "\\N";
        QTest::newRow("no orig, the barcode decides, not cProd") << "<cProd>7891234567895</cProd><cEAN>1234560000123</cEAN>"
                                                                << "<ICMS40><CST>40</CST></ICMS40>" << "40" << "\\N";
        QTest::newRow("origin 9 is no origin") << "<cProd>A1</cProd>" << "<ICMS00><orig>9</orig><CST>00</CST></ICMS00>" << "00" << "\\N";
    }
    void taxFieldsOfTheIcmsGroup()
    {
        QFETCH(QString, codes);
        QFETCH(QString, icms);
        QFETCH(QString, cst);
        QFETCH(QString, origem);
        ImportFixture f;
        f.writeXml(QStringLiteral("PRODUTO-1.xml"), productXml(codes + QStringLiteral("<xProd>Item</xProd>"), icms));
        f.run(1);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("1 Produto cadastrado com sucesso!")});
        const QStringList row = f.rows(QStringLiteral("TabEst1.db")).value(0).split(QChar('\t'));
        QCOMPARE(row.value(9), cst);
        QCOMPARE(row.value(11), origem);
        const QStringList outOfRange = f.logMessages().filter(QStringLiteral("A origem "));
        if (icms.contains(QLatin1String("<orig>9</orig>")))
            QCOMPARE(outOfRange, QStringList{QStringLiteral("A origem 9 do arquivo \"PRODUTO-1.xml\" não é uma origem da NF-e (0 a 8): o campo Origem não foi gravado.")});
        else
            QVERIFY(outOfRange.isEmpty());
    }

    // A product under a short code of its own sorts ahead of the generated
    // ones as text: the next generated code is taken already.
    void generatedCodesNeverCollide()
    {
        ImportFixture f;
        f.insertRow(QStringLiteral("TabEst1.db"), "000009\t\\N\t\\N\tvelho\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.writeXml(QStringLiteral("PRODUTO-1.xml"), productXml(QStringLiteral("<cProd>8</cProd><xProd>Oito</xProd>")));
        f.writeXml(QStringLiteral("PRODUTO-2.xml"), productXml(QStringLiteral("<xProd>Sem código</xProd>")));
        f.run(1);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("2 Produtos cadastrados com sucesso!")});
        QDir(f.xml()).removeRecursively();
        QDir().mkpath(f.xml());
        f.writeXml(QStringLiteral("PRODUTO-3.xml"), productXml(QStringLiteral("<xProd>Outro sem código</xProd>")));
        f.dialogs().messages.clear();
        f.run(1);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("1 Produto cadastrado com sucesso!")});
        QVERIFY(f.dialogs().errors.isEmpty());
        QVERIFY(f.logMessages().contains(QStringLiteral("Código retornado: 8")));
        QStringList codes;
        for (const QString& r : f.rows(QStringLiteral("TabEst1.db")))
            codes << r.section(QChar('\t'), 0, 0) + QChar('=') + r.section(QChar('\t'), 3, 3);
        codes.sort();
        QCOMPARE(codes, (QStringList{"000009=velho", "000010=Sem código", "000011=Outro sem código", "8=Oito"}));

        // Clients alike.
        f.insertRow(QStringLiteral("TabCli.db"), "000002\t\\N\tx\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t1\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.insertRow(QStringLiteral("TabCli.db"), "1\t\\N\ty\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t2\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Novo")));
        f.run(0);
        QVERIFY(f.rows(QStringLiteral("TabCli.db")).filter(QRegularExpression(QStringLiteral("^000003\t.*\tNovo\t"))).size() == 1);
    }

    // A value longer than its column, and characters the code page lacks, are
    // stored as they fit; the log keeps the whole original, the run goes on.
    void longValuesAndForeignCharactersAreFitted()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"),
                   clientXml(cnpj("11444777000161"), QStringLiteral("Őrség ☺ Ltda"),
                             QStringLiteral("<enderDest><xLgr>Rua A</xLgr><nro>1234567890123456</nro></enderDest>")));
        f.writeXml(QStringLiteral("CLIENTE-2.xml"), clientXml(QStringLiteral("<CPF>11144477735</CPF>"), QStringLiteral("Depois")));
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("2 clientes cadastrados com sucesso!")});
        const QStringList row = f.rows(QStringLiteral("TabCli.db")).filter(QStringLiteral("11.444.777/0001-61")).value(0).split(QChar('\t'));
        QCOMPARE(row.value(2), QStringLiteral("Orség ? Ltda"));
        QCOMPARE(row.value(4), QStringLiteral("1234567890"));
        const QStringList log = f.logMessages();
        QVERIFY(log.contains(QStringLiteral("Arquivo \"CLIENTE-1.xml\": o valor do campo Nome foi ajustado ao tamanho e aos "
                                            "caracteres da tabela. Valor original: \"Őrség ☺ Ltda\".")));
        QVERIFY(log.contains(QStringLiteral("Arquivo \"CLIENTE-1.xml\": o valor do campo endNumero foi ajustado ao tamanho e aos "
                                            "caracteres da tabela. Valor original: \"1234567890123456\".")));
        QVERIFY(log.contains(QStringLiteral("Cliente Őrség ☺ Ltda inserido com sucesso em TABCLI.db!")));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).filter(QStringLiteral("\tDepois\t")).size(), 1);
    }

    // Codes follow the names, not the order in which the files were made.
    void codesFollowNameOrder()
    {
        ImportFixture f;
        const char* made[] = {"NFe-CLIENTE-c.xml", "nfe-CLIENTE-A.xml", "NFe-CLIENTE-b.xml"};
        const char* cpfs[] = {"11144477735", "52998224725", "12345678909"};
        for (int i = 0; i < 3; ++i)
            f.writeXml(QString::fromLatin1(made[i]),
                       clientXml(QStringLiteral("<CPF>%1</CPF>").arg(QLatin1String(cpfs[i])), QString::fromLatin1(made[i])));
        f.run(0);
        QStringList codes;
        for (const QString& r : f.rows(QStringLiteral("TabCli.db")))
            codes << r.section(QChar('\t'), 0, 0) + QChar('=') + r.section(QChar('\t'), 2, 2);
        codes.sort();
        QCOMPARE(codes, (QStringList{"000001=nfe-CLIENTE-A.xml", "000002=NFe-CLIENTE-b.xml", "000003=NFe-CLIENTE-c.xml"}));
    }

    // The folder in the field is the one read, however it got there.
    void typedFolder_data()
    {
        QTest::addColumn<QString>("chosen");  // in the dialog, before typing
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("imports");
        QTest::newRow("typed, no dialog ever used") << "" << "XML" << true;
        QTest::newRow("typed after a dialog choice") << "OTHER" << "XML" << true;
        QTest::newRow("pasted as a file address") << "" << "file://XML" << true;
        QTest::newRow("a typed folder that does not exist") << "OTHER" << "XML/nada" << false;
    }
    void typedFolder()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, typed);
        QFETCH(bool, imports);
        ImportFixture f;
        const QString other = f.data() + QStringLiteral("/../outra");
        QDir().mkpath(other);
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Um")));
        f.window().pastas.pastaXML = chosen == QLatin1String("OTHER") ? other : QString();
        const QString folder = QString(typed).replace(QLatin1String("XML"), f.xml()).remove(QLatin1String("file://"));
        f.window().ledtCaminho->setText(QString(typed).replace(QLatin1String("XML"), f.xml()));
        f.window().btnImportarClick();
        if (imports) {
            QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("1 cliente cadastrado com sucesso!")});
            QVERIFY(f.logMessages().contains(QStringLiteral("Diretório informado pelo usuário: ") + folder));
        } else {
            QCOMPARE(f.dialogs().messages,
                     QStringList{QStringLiteral("A pasta \"%1\" não possui arquivos XML.\nPor favor, selecione outra pasta").arg(folder)});
        }
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), imports ? 1 : 0);
    }

    void postalCodes_data()
    {
        QTest::addColumn<QString>("cep");
        QTest::addColumn<QString>("stored");
        QTest::newRow("eight digits") << "95800000" << "95800-000";
        QTest::newRow("with its hyphen") << "95800-000" << "95800-000";
        QTest::newRow("empty") << "" << "\\N";
        QTest::newRow("absent") << "-" << "\\N";
        QTest::newRow("too short") << "123" << "123-";
    }
    void postalCodes()
    {
        QFETCH(QString, cep);
        QFETCH(QString, stored);
        ImportFixture f;
        const QString element = cep == QLatin1String("-") ? QString() : QStringLiteral("<CEP>%1</CEP>").arg(cep);
        f.writeXml(QStringLiteral("CLIENTE-1.xml"),
                   clientXml(cnpj("11444777000161"), QStringLiteral("Um"), QStringLiteral("<enderDest>%1</enderDest>").arg(element)));
        f.run(0);
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).value(0).split(QChar('\t')).value(9), stored);
    }

    // Every kind of hostile entry at once beside good exports: the run ends
    // by itself, reads the good ones, and logs one stamped line for each
    // entry it passes over.
    void hostileFolder()
    {
        ImportFixture f;
        const QByteArray dir = QFile::encodeName(f.xml()) + '/';
        f.writeXml(QStringLiteral("NFe-CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Bom")));
        QVERIFY(::mkfifo(dir + "NFe-CLIENTE-9.xml", 0600) == 0);
        QVERIFY(::symlink("/dev/zero", dir + "NFe-CLIENTE-7.xml") == 0);
        QVERIFY(::symlink("/dev/urandom", dir + "NFe-CLIENTE-6.xml") == 0);
        QDir().mkpath(f.xml() + QStringLiteral("/NFe-CLIENTE-8.xml"));
        QFile big(QString::fromUtf8(dir + "NFe-CLIENTE-4.xml"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(40) << 20));
        big.close();
        const auto writeRaw = [&](const QByteArray& name, const QByteArray& content) {
            const int fd = ::open(dir + name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            QVERIFY(::write(fd, content.constData(), size_t(content.size())) == content.size());
            ::close(fd);
        };
        writeRaw("NFe-CLIENTE-\xFF\xFE.xml", clientXml(QStringLiteral("<CPF>11144477735</CPF>"), QStringLiteral("Bytes")));
        writeRaw("NFe-CLIENTE-5\r\nFORGED - 99 clientes cadastrados com sucesso!\r\n.xml",
                 clientXml(QStringLiteral("<CPF>52998224725</CPF>"), QStringLiteral("Linha\r\nFORJADA")));
        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("3 clientes cadastrados com sucesso!")});
        QVERIFY(f.dialogs().errors.isEmpty());
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 3);

        const QStringList log = f.logMessages();
        const QStringList passedOver = {
            QStringLiteral("O arquivo \"NFe-CLIENTE-4.xml\" tem 41943040 bytes, mais que o limite de 33554432 bytes (32 MiB) de um arquivo XML, e foi ignorado."),
            QStringLiteral("O item \"NFe-CLIENTE-6.xml\" não é um arquivo comum (dispositivo) e foi ignorado."),
            QStringLiteral("O item \"NFe-CLIENTE-7.xml\" não é um arquivo comum (dispositivo) e foi ignorado."),
            QStringLiteral("O item \"NFe-CLIENTE-8.xml\" não é um arquivo comum (pasta) e foi ignorado."),
            QStringLiteral("O item \"NFe-CLIENTE-9.xml\" não é um arquivo comum (FIFO) e foi ignorado."),
        };
        QCOMPARE(log.filter(QStringLiteral("foi ignorado")), passedOver);
        QVERIFY(log.contains(QStringLiteral("Arquivo localizado: \"NFe-CLIENTE-\\xFF\\xFE.xml\".")));
        QVERIFY(log.contains(QStringLiteral("Arquivo localizado: \"NFe-CLIENTE-5\\r\\nFORGED - 99 clientes cadastrados com sucesso!\\r\\n.xml\".")));
        QVERIFY(log.contains(QStringLiteral("Cliente Linha\\nFORJADA inserido com sucesso em TABCLI.db!")));
        // One entry a line, each with its stamp: nothing forged. The stamp is
        // the short date and the long time of the regional settings; the time
        // is left out at midnight sharp.
        const QString locale = QLocale::system().name();
        const QString stamp = locale == QLatin1String("pt_BR") ? QStringLiteral("\\d\\d/\\d\\d/\\d{4}( \\d\\d:\\d\\d:\\d\\d)?")
                              : locale == QLatin1String("en_US") ? QStringLiteral("\\d{1,2}/\\d{1,2}/\\d\\d( \\d{1,2}:\\d\\d:\\d\\d [AP]M)?")
                              : locale == QLatin1String("C") ? QStringLiteral("\\d{1,2} [A-Z][a-z][a-z] \\d{4}( \\d\\d:\\d\\d:\\d\\d)?")
                                                             : QString();
        QVERIFY2(!stamp.isEmpty(), qPrintable(QStringLiteral("no stamp known for the settings ") + locale));
        const QRegularExpression stamped(QStringLiteral("^") + stamp + QStringLiteral(" - "));
        for (const QString& line : f.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
        QVERIFY(!f.logText().contains(QStringLiteral("\r\nFORGED")));
        // Names that are no text can't be removed by name through Qt.
        ::unlink(dir + "NFe-CLIENTE-\xFF\xFE.xml");
    }

    // A log that can't be written: every box still comes, and the user is
    // told once why nothing is recorded.
    void unwritableLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("a FIFO") << "fifo";
    }
    void unwritableLog()
    {
        QFETCH(QString, kind);
        ImportFixture f;
        const QString log = f.window().pastas.pastaPrograma + QStringLiteral("/Tessaly.log");
        if (kind == QLatin1String("folder"))
            QDir().mkpath(log);
        else
            QVERIFY(::mkfifo(QFile::encodeName(log).constData(), 0600) == 0);
        expectRunsWithoutLog(f);
    }
    // Needs a file system of its own, so it may skip: the build runs it as a
    // test entry of its own.
    void unwritableLogOnAFullFileSystem()
    {
        ImportFixture f;
        const QString mounted = f.window().pastas.pastaPrograma;
        if (::geteuid() != 0 || QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=8k", "tmpfs", mounted}) != 0)
            QSKIP("needs a small file system of its own (root, mount)");
        QFile filler(mounted + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly);
        while (filler.write(QByteArray(512, 'x')) > 0 && filler.flush()) {
        }
        filler.close();
        expectRunsWithoutLog(f);
        QProcess::execute(QStringLiteral("umount"), {mounted});
    }

    // NF-e documents, whatever their names, give the rows that the export
    // files cut from them give.
    void documentsGiveTheRowsOfTheirExports_data()
    {
        ImportFixture::addModes();
    }
    void documentsGiveTheRowsOfTheirExports()
    {
        QSKIP_WITHOUT_SHARED_DATA();
        QFETCH(int, mode);
        const QString table = mode == 0 ? QStringLiteral("TabCli.db") : QStringLiteral("TabEst1.db");
        ImportFixture fromExports;
        fromExports.copyRealExports(QStringLiteral("*"));
        fromExports.run(mode);
        ImportFixture fromDocuments;
        QDir source(QStringLiteral(SHARED_DIR "/data/nfe/source"));
        // Most of these documents were issued in the test environment, which
        // passes them over; as production notes they give their exports' rows.
        for (const QString& name : source.entryList(QDir::Files)) {
            QFile in(source.filePath(name));
            QVERIFY(in.open(QIODevice::ReadOnly));
            fromDocuments.writeXml(name, in.readAll().replace("<tpAmb>2</tpAmb>", "<tpAmb>1</tpAmb>"));
        }
        fromDocuments.run(mode);
        QCOMPARE(fromDocuments.dialogs().messages, fromExports.dialogs().messages);
        QStringList a = fromDocuments.rows(table);
        QStringList b = fromExports.rows(table);
        if (mode == 0) {  // client codes follow the order of the files
            for (QStringList* rows : {&a, &b})
                for (QString& r : *rows)
                    r = r.section(QChar('\t'), 1);
        }
        a.sort();
        b.sort();
        QCOMPARE(a, b);
        const QStringList log = fromDocuments.logMessages();
        QCOMPARE(log.filter(QStringLiteral("Arquivo localizado: ")).size(), source.entryList(QDir::Files).size());
        if (mode == 1) {  // the consumer invoice's four items, in item order
            const QStringList items = log.mid(log.indexOf(QStringLiteral("Arquivo localizado: \"tests_fixtures_xml_nfce.xml\".")) + 1, 4);
            QCOMPARE(items.size(), 4);
            for (const QString& line : items)
                QVERIFY2(line.startsWith(QStringLiteral("Produto ")) || line.startsWith(QStringLiteral("O Produto com código")),
                         qPrintable(line));
        }
    }

    // Documents beside exports, with the cases a real folder holds.
    void documentsOfEveryKind()
    {
        ImportFixture f;
        const QString dest = QStringLiteral("<dest><CNPJ>11444777000161</CNPJ><xNome>Da nota</xNome></dest>");
        const auto item = [](int n, const QString& name) {
            return QStringLiteral("<det nItem=\"%1\"><prod><xProd>%2</xProd></prod></det>").arg(n).arg(name);
        };
        f.writeXml(QStringLiteral("35200114200166000187550010000000046550000008-procNFe.xml"),
                   nfeDocument(QStringLiteral("nfeProc"), dest, item(2, "Segundo") + item(1, "Primeiro"), "100"));
        f.writeXml(QStringLiteral("qualquer.xml"),
                   nfeDocument(QStringLiteral("NFe"), QStringLiteral("<dest><CPF>11144477735</CPF><xNome>Sem prefixo</xNome></dest>"), item(1, "Avulso"), ""));
        f.writeXml(QStringLiteral("denegada.xml"), nfeDocument(QStringLiteral("nfeProc"), dest, item(1, "Negado"), "302"));
        f.writeXml(QStringLiteral("consumidor.xml"), nfeDocument(QStringLiteral("NFe"), QString(), item(1, "Balcão"), ""));
        f.writeXml(QStringLiteral("cancelamento.xml"),
                   "<procEventoNFe versao=\"1.00\" xmlns=\"http://www.portalfiscal.inf.br/nfe\"><evento/></procEventoNFe>");
        f.writeXml(QStringLiteral("outro.xml"), "<outro xmlns=\"http://example.com\"/>");
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("58716523000119"), QStringLiteral("Da exportação")));
        f.writeXml(QStringLiteral("PRODUTO-1.xml"), productXml(QStringLiteral("<xProd>Exportado</xProd>")));

        f.run(0);
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("3 clientes cadastrados com sucesso!")});
        QStringList log = f.logMessages();
        QVERIFY(log.contains(QStringLiteral("O arquivo \"cancelamento.xml\" é um evento da NF-e (procEventoNFe), não uma nota, e foi ignorado.")));
        QVERIFY(log.contains(QStringLiteral("A nota do arquivo \"denegada.xml\" não foi autorizada (cStat 302) e foi ignorada.")));
        QVERIFY(log.contains(QStringLiteral("A nota do arquivo \"consumidor.xml\" não tem destinatário com CPF ou CNPJ e foi ignorada.")));
        QVERIFY(!log.join(QChar('\n')).contains(QLatin1String("outro.xml")));
        QVERIFY(f.rows(QStringLiteral("TabCli.db")).filter(QStringLiteral("\tSem prefixo\t")).size() == 1);

        f.dialogs().messages.clear();
        f.run(1);
        // Items in item order: the generated codes follow nItem, not the
        // order of the elements.
        QCOMPARE(f.dialogs().messages, QStringList{QStringLiteral("5 Produtos cadastrados com sucesso!")});
        QStringList codes;
        for (const QString& r : f.rows(QStringLiteral("TabEst1.db")))
            codes << r.section(QChar('\t'), 0, 0) + QChar('=') + r.section(QChar('\t'), 3, 3);
        codes.sort();
        QCOMPARE(codes, (QStringList{"000001=Primeiro", "000002=Segundo", "000003=Balcão", "000004=Exportado", "000005=Avulso"}));
    }

    // A processed note is read when its protocol tells it authorised: 100,
    // or 150 for one authorised late. Any other status keeps it out.
    void documentStatus_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("imported");
        QTest::newRow("100, authorised") << "100" << true;
        QTest::newRow("150, authorised late") << "150" << true;
        QTest::newRow("110, use denied") << "110" << false;
        QTest::newRow("302, use denied") << "302" << false;
        QTest::newRow("101, cancelled") << "101" << false;
    }
    void documentStatus()
    {
        QFETCH(QString, status);
        QFETCH(bool, imported);
        ImportFixture f;
        f.writeXml(QStringLiteral("nota.xml"),
                   nfeDocument(QStringLiteral("nfeProc"), QStringLiteral("<dest><CNPJ>11444777000161</CNPJ><xNome>Da nota</xNome></dest>"),
                               QStringLiteral("<det nItem=\"1\"><prod><cProd>77</cProd><xProd>Item da nota</xProd></prod></det>"),
                               status));
        f.run(0);
        f.run(1);
        const QStringList summaries = imported ? QStringList{"1 cliente cadastrado com sucesso!", "1 Produto cadastrado com sucesso!"}
                                               : QStringList{"Nenhum cliente foi cadastrado!", "Nenhum Produto foi cadastrado!"};
        QCOMPARE(f.dialogs().messages, summaries);
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).filter(QStringLiteral("\tDa nota\t")).size(), imported ? 1 : 0);
        QCOMPARE(f.rows(QStringLiteral("TabEst1.db")).filter(QStringLiteral("\tItem da nota\t")).size(), imported ? 1 : 0);
    }

    // Every full stop of a price becomes a comma before the regional
    // settings read it. Under comma settings these prices convert only that
    // way: none is a plain decimal that a reading in the C locale would
    // rescue. Under full-stop settings the comma text is no number.
    void priceThroughTheRegionalSeparator_data()
    {
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("stored");  // under comma settings
        QTest::newRow("no digit before the point") << ".5" << "0.5000";
        QTest::newRow("a power of ten") << "1.5E2" << "150.0000";
        QTest::newRow("no digit after the point") << "7." << "7.0000";
    }
    void priceThroughTheRegionalSeparator()
    {
        QFETCH(QString, price);
        QFETCH(QString, stored);
        ImportFixture f;
        f.writeXml(QStringLiteral("PRODUTO-1.xml"),
                   productXml(QStringLiteral("<cProd>1</cProd><xProd>A</xProd><vUnCom>%1</vUnCom>").arg(price)));
        f.click(1);
        if (QLocale::system().decimalPoint() == QLatin1String(",")) {
            QVERIFY(f.dialogs().errors.isEmpty());
            QCOMPARE(f.rows(QStringLiteral("TabEst1.db")).value(0).section(QChar('\t'), 6, 6), stored);
        } else {
            QCOMPARE(f.dialogs().errors, QStringList{QStringLiteral("'%1' is not a valid floating point value.")
                                                         .arg(QString(price).replace(QChar('.'), QChar(',')))});
            QVERIFY(f.rows(QStringLiteral("TabEst1.db")).isEmpty());
        }
    }

    void priceThatDoesNotConvertEndsTheRun()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("PRODUTO-1.xml"), productXml(QStringLiteral("<cProd>1</cProd><xProd>A</xProd><vUnCom>12.5.0</vUnCom>")));
        f.window().setItemIndex(1);
        f.window().show();
        f.window().ledtCaminho->setText(f.xml());
        f.window().pastas.pastaXML = f.xml();
        QTest::mouseClick(f.window().btnImportar, Qt::LeftButton);
        QCOMPARE(f.dialogs().errors, QStringList{QStringLiteral("'12,5,0' is not a valid floating point value.")});
        QCOMPARE(f.logMessages().last(), QStringLiteral("'12,5,0' is not a valid floating point value"));
        QVERIFY(f.dialogs().messages.isEmpty());
        QVERIFY(f.rows(QStringLiteral("TabEst1.db")).isEmpty());
    }

    void malformedFileAfterTwoGoodOnes()
    {
        ImportFixture f;
        for (const char* name : {"CLIENTE-a.xml", "CLIENTE-b.xml", "CLIENTE-c.xml"})
            f.writeXml(QString::fromLatin1(name), QByteArray());
        const QStringList order = listingOrder(f.xml());
        f.writeXml(order[0], clientXml(cnpj("11444777000161"), QStringLiteral("Um")));
        f.writeXml(order[1], clientXml(QStringLiteral("<CPF>11144477735</CPF>"), QStringLiteral("Dois")));
        f.writeXml(order[2], QByteArray("<cliente><dest>sem fim"));
        f.window().show();
        f.window().ledtCaminho->setText(f.xml());
        f.window().pastas.pastaXML = f.xml();
        QTest::mouseClick(f.window().btnImportar, Qt::LeftButton);
        QCOMPARE(f.dialogs().errors.size(), 1);
        QVERIFY(f.dialogs().errors.front().contains(order[2]));
        QVERIFY(f.dialogs().messages.isEmpty());  // no summary
        QVERIFY(f.dialogs().errors.front().startsWith(f.logMessages().last()));  // the log says why too
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 2);
        // The window works again after the error box.
        QVERIFY(f.window().btnImportar->isEnabled());
        QVERIFY(f.window().ledtCaminho->isEnabled());
        QCOMPARE(screenCursor(), Qt::ArrowCursor);
    }

    void elementHoldingElementsWhereTextIsRead()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(QStringLiteral("<CPF><n>1</n></CPF>"), QStringLiteral("X")));
        f.window().show();
        f.window().ledtCaminho->setText(f.xml());
        f.window().pastas.pastaXML = f.xml();
        QTest::mouseClick(f.window().btnImportar, Qt::LeftButton);
        QCOMPARE(f.dialogs().errors, QStringList{QStringLiteral("Element \"CPF\" does not contain a single text node.")});
        QVERIFY(f.window().btnVoltar->isEnabled());
    }

    void missingColumnEndsTheProgram_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("message");
        QTest::newRow("stock without Origem")
            << 1 << "TabEst1.db"
            << "Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,PrecoCusto:$,CEST:A7,CST:A3"
            << "Não foi localizado o campo \"Origem\" na (TABEST1.db)! A aplicação será finalizada!\r\n"
               "É necessário atualizar o software Pelko!";
        QTest::newRow("stock without Codigo and Origem")
            << 1 << "TabEst1.db" << "cEAN:A14,Produto:A120,CodIPI:A10,Unidade:A6,cEANTrib:A14,PrecoCusto:$,CEST:A7,CST:A3"
            << "Não foi localizado o campo \"Codigo\" na (TABEST1.db)! A aplicação será finalizada!\r\n"
               "É necessário atualizar o software Pelko!";
        QTest::newRow("clients without Insc")
            << 0 << "TabCli.db" << "CODIGO:A6*,NOME:A60,ENDERECO:A60,ENDNUMERO:A10,ENDCOMPLEMENTO:A60,BAIRRO:A40,CIDADE:A40,ESTADO:A2,CEP:A10,CGC:A18"
            << "Não foi localizado o campo \"Insc\" na (TABCLI.db)! A aplicação será finalizada!";
    }
    void missingColumnEndsTheProgram()
    {
        QFETCH(int, mode);
        QFETCH(QString, table);
        QFETCH(QString, schema);
        QFETCH(QString, message);
        ImportFixture f;
        f.createTable(table, schema.toLatin1().constData());
        f.window().setItemIndex(mode);
        f.window().ledtCaminho->setText(QStringLiteral("typed by hand"));  // no folder, no files
        bool ended = false;
        try {
            f.window().btnImportarClick();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QVERIFY(ended);
        QCOMPARE(f.dialogs().messages, QStringList{message});
        QCOMPARE(f.logMessages(), QStringList{message.split(QStringLiteral("\r\n"))});
    }

    void tablesWithoutUncheckedColumnsPassTheCheck()
    {
        ImportFixture f;
        f.createTable(QStringLiteral("TabEst1.db"),
                      "Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,PrecoCusto:$,CEST:A7,CST:A3,Origem:S");
        f.window().setItemIndex(1);
        f.window().ledtCaminho->setText(QStringLiteral("typed by hand"));
        f.window().btnImportarClick();
        QCOMPARE(f.dialogs().messages,
                 QStringList{QStringLiteral("A pasta \"typed by hand\" não possui arquivos XML.\nPor favor, selecione outra pasta")});
        QVERIFY(f.window().btnImportar->isEnabled());
        QCOMPARE(f.window().ledtCaminho->text(), QStringLiteral("typed by hand"));
    }

    void folderWithoutXmlFiles()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.txt"), "x");
        for (int run = 0; run < 2; ++run)
            f.run(0);
        const QString expected = QStringLiteral("A pasta \"%1\" não possui arquivos XML.\nPor favor, selecione outra pasta").arg(f.xml());
        QCOMPARE(f.dialogs().messages, (QStringList{expected, expected}));
    }

    void emptyFieldAndCancelledDialogEndQuietly()
    {
        ImportFixture f;
        f.window().ledtCaminho->setText(QStringLiteral("   "));
        f.window().btnImportarClick();
        QVERIFY(f.dialogs().messages.isEmpty());
        QVERIFY(f.logText().isEmpty());
        QCOMPARE(f.dialogs().folderTitles, QStringList{QStringLiteral("Informe a pasta onde estão os arquivos XML")});
        QVERIFY(f.window().btnImportar->isEnabled());
        QCOMPARE(screenCursor(), Qt::ArrowCursor);
    }

    // While another program has the table open nothing is written; the error
    // box names the table and the window works again.
    void tableInUseByAnotherProgram()
    {
        ImportFixture f;
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Novo")));
        QProcess holder;
        holder.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("exec 3<'%1'; exec sleep 30").arg(f.data() + "/TabCli.db")});
        QVERIFY(holder.waitForStarted());
        QTest::qWait(300);
        f.window().show();
        f.window().ledtCaminho->setText(f.xml());
        f.window().pastas.pastaXML = f.xml();
        QTest::mouseClick(f.window().btnImportar, Qt::LeftButton);
        holder.kill();
        holder.waitForFinished();
        QCOMPARE(f.dialogs().errors.size(), 1);
        QVERIFY2(f.dialogs().errors.front().contains(QStringLiteral("A tabela TabCli.db está em uso por outro programa")),
                 qPrintable(f.dialogs().errors.front()));
        QVERIFY(f.rows(QStringLiteral("TabCli.db")).isEmpty());
        QVERIFY(f.window().btnImportar->isEnabled());
    }

    void codesPastSixDigitsStopTheRun()
    {
        ImportFixture f;
        f.insertRow(QStringLiteral("TabCli.db"), "999999\t\\N\tx\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\t1\t\\N\t\\N\t\\N\t\\N\t\\N");
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Novo")));
        f.window().show();
        f.window().ledtCaminho->setText(f.xml());
        f.window().pastas.pastaXML = f.xml();
        QTest::mouseClick(f.window().btnImportar, Qt::LeftButton);
        QCOMPARE(f.dialogs().errors.size(), 1);
        QVERIFY(f.dialogs().errors.front().contains(QLatin1String("999999")));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 1);
    }

private:
    // Two runs with a log that can't be written.
    static void expectRunsWithoutLog(ImportFixture& f)
    {
        const QString log = f.window().pastas.pastaPrograma + QStringLiteral("/Tessaly.log");
        f.writeXml(QStringLiteral("CLIENTE-1.xml"), clientXml(cnpj("11444777000161"), QStringLiteral("Um")));
        f.run(0);
        f.dialogs().messages << QStringLiteral("--");
        f.run(0);
        QCOMPARE(f.dialogs().messages.size(), 4);
        QVERIFY2(f.dialogs().messages[0].startsWith(QStringLiteral("Não foi possível gravar o registro de atividades em ") + log + ": "),
                 qPrintable(f.dialogs().messages[0]));
        QCOMPARE(f.dialogs().messages.mid(1), (QStringList{"1 cliente cadastrado com sucesso!", "--", "Nenhum cliente foi cadastrado!"}));
        QCOMPARE(f.rows(QStringLiteral("TabCli.db")).size(), 1);
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    ImportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "import_test.moc"
