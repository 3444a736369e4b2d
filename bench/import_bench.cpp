// Whole import runs over N generated client files and N product files into
// host tables that already hold 100 000 rows, beside the time merely to read
// and parse the same files.

#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/labeled_edit.h"
#include "app/window_env.h"
#include "platform/os/file.h"
#include "platform/paradox/table_create.h"
#include "platform/paradox/table_file.h"
#include "platform/paradox/table_writer.h"
#include "platform/sql/session.h"
#include "platform/xml/document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstdio>

using Clock = std::chrono::steady_clock;

namespace {

class SilentDialogs : public Dialogs {
public:
    void message(const QString& text) override { last = text; }
    void error(const QString& text) override { last = QStringLiteral("ERROR: ") + text; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
    QString last;
};

// The bench's window reaches no user: its boxes are kept, and it never ends the program.
class BenchEnv final : public WindowEnv {
public:
    Dialogs& dialogs() override { return silent; }
    [[noreturn]] void endProgram() override { std::abort(); }
    const paradox::Env& tables() const override { return counting; }
    SilentDialogs silent;
    paradox::Env counting;
};

// A valid CNPJ for a number: twelve digits and their check digits.
QString cnpjOf(int n)
{
    QString base = QStringLiteral("%1").arg(n, 8, 10, QChar('0')) + QStringLiteral("0001");
    auto digit = [](const QString& s, const int* weights) {
        int sum = 0;
        for (int i = 0; i < s.size(); ++i)
            sum += (s[i].unicode() - '0') * weights[i];
        const int r = sum % 11;
        return r < 2 ? 0 : 11 - r;
    };
    static const int w1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    base += QString::number(digit(base, w1));
    base += QString::number(digit(base, w2));
    return base;
}

void writeFiles(const QString& folder, int n)
{
    QDir().mkpath(folder);
    for (int i = 0; i < n; ++i) {
        QFile c(folder + QStringLiteral("/NFe-CLIENTE-%1.xml").arg(i, 6, 10, QChar('0')));
        c.open(QIODevice::WriteOnly);
        c.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<cliente xmlns=\"http://www.portalfiscal.inf.br/nfe\">"
                               "<dest><CNPJ>%1</CNPJ><xNome>Comércio de Peças Número %2 Ltda</xNome><enderDest>"
                               "<xLgr>Avenida Brigadeiro Faria Lima</xLgr><nro>%3</nro><xCpl>Sala 12</xCpl><xBairro>Jardim Paulistano</xBairro>"
                               "<cMun>3550308</cMun><xMun>São Paulo</xMun><UF>SP</UF><CEP>01452000</CEP><cPais>1058</cPais>"
                               "<xPais>Brasil</xPais><fone>1130001000</fone></enderDest><indIEDest>1</indIEDest>"
                               "<IE>110042490114</IE><email>compras%2@example.com</email></dest></cliente>\n")
                    .arg(cnpjOf(50000000 + i))
                    .arg(i)
                    .arg(100 + i % 900)
                    .toUtf8());
        QFile p(folder + QStringLiteral("/PRODUTO-%1.xml").arg(i, 6, 10, QChar('0')));
        p.open(QIODevice::WriteOnly);
        p.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<produto xmlns=\"http://www.portalfiscal.inf.br/nfe\">"
                               "<det nItem=\"1\"><prod><cProd>P%1</cProd><cEAN>SEM GTIN</cEAN><xProd>Parafuso sextavado %1 mm</xProd>"
                               "<NCM>73181500</NCM><CFOP>5102</CFOP><uCom>UN</uCom><qCom>10.0000</qCom><vUnCom>%2.4500000000</vUnCom>"
                               "<vProd>10.00</vProd><cEANTrib>SEM GTIN</cEANTrib><uTrib>UN</uTrib><qTrib>10.0000</qTrib>"
                               "<vUnTrib>1.0000000000</vUnTrib><indTot>1</indTot></prod><imposto><ICMS><ICMS00><orig>0</orig>"
                               "<CST>00</CST><modBC>3</modBC><vBC>10.00</vBC><pICMS>18.00</pICMS><vICMS>1.80</vICMS></ICMS00>"
                               "</ICMS></imposto></det></produto>\n")
                    .arg(i)
                    .arg(1 + i % 90)
                    .toUtf8());
    }
}

double parseOnly(const QString& folder)
{
    const auto t0 = Clock::now();
    xml::Document doc;
    size_t bytes = 0;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        doc.load((folder + QChar('/') + name).toStdString());
        const xml::Element dest = doc.root().child("dest");
        for (const char* e : {"CNPJ", "CPF", "xNome", "IE", "email"})
            bytes += dest.child(e).text().size();
        const xml::Element prod = doc.root().path({"det", "prod"});
        for (const char* e : {"cProd", "cEAN", "xProd", "NCM", "uCom", "vUnCom", "cEANTrib", "CEST"})
            bytes += prod.child(e).text().size();
    }
    (void)bytes;
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void fillTables(const QString& data, int rows)
{
    const std::string cli = (data + QStringLiteral("/TabCli.db")).toStdString();
    const std::string est = (data + QStringLiteral("/TabEst1.db")).toStdString();
    paradox::createTable(cli, paradox::parseSchema(
        "Codigo:A6*,Data:D,Nome:A60,Endereco:A60,endNumero:A10,EndComplemento:A60,Bairro:A40,Cidade:A40,Estado:A2,"
        "CEP:A10,CGC:A18,Insc:A20,TagFisica:L,Telefone:A20,eMail:A60,lkUserInc:I"));
    paradox::createTable(est, paradox::parseSchema("Codigo:A20*,cEAN:A14,cEANTrib:A14,Produto:A120,CodIPI:A10,Unidade:A6,"
                                                   "PrecoCusto:$,CEST:A7,DataInc:D,CST:A3,LkUserInc:I,Origem:S"));
    paradox::TableFile clients(cli);
    paradox::TableFile stock(est);
    clients.beginTransaction();
    stock.beginTransaction();
    for (int i = 0; i < rows; ++i) {
        std::vector<paradox::Value> c(16, paradox::Blank{});
        c[0] = QStringLiteral("%1").arg(i + 1, 6, 10, QChar('0')).toStdString();
        c[2] = "Cliente antigo " + std::to_string(i);
        c[10] = "00.000.000/" + std::to_string(i);
        clients.writer().insert(c);
        std::vector<paradox::Value> p(12, paradox::Blank{});
        p[0] = "A" + std::to_string(i);
        p[3] = "Produto antigo " + std::to_string(i);
        stock.writer().insert(p);
    }
    clients.endTransaction();
    stock.endTransaction();
}

// The flushes a run asks of the disk (files and folders), counted through
// the engine's file seam.
int flushes = 0;
void countFlushes(const os::Event& e)
{
    if (e.kind == os::Event::Kind::Sync || e.kind == os::Event::Kind::SyncFolder)
        ++flushes;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "pt_BR.UTF-8");  // prices are read with a Brazilian decimal comma
    BenchEnv env;
    env.counting.files.observe = countFlushes;
    TApplication app(argc, argv, &env.dialogs());
    std::setlocale(LC_NUMERIC, "C");  // figures with a full stop
    std::printf("%7s %6s %12s %12s %12s %12s %10s %8s\n", "files", "mode", "run (s)", "files/s", "ms/file", "parse (s)",
                "run/parse", "flushes");
    const std::vector<int> sizes = argc > 1 ? std::vector<int>{std::atoi(argv[1])} : std::vector<int>{1000, 10000};
    for (int n : sizes) {
        QTemporaryDir root;
        const QString data = root.filePath(QStringLiteral("dados"));
        QDir().mkpath(data);
        QDir().mkpath(root.filePath(QStringLiteral("programa")));
        const auto f0 = Clock::now();
        fillTables(data, 100000);
        std::fprintf(stderr, "tables of 100000 rows made in %.1f s\n", std::chrono::duration<double>(Clock::now() - f0).count());
        writeFiles(root.filePath(QStringLiteral("xml")), n);
        const double parse = parseOnly(root.filePath(QStringLiteral("xml")));
        TfrmClientes window(env);
        window.pastas.pastaDados = data;
        window.pastas.pastaPrograma = root.filePath(QStringLiteral("programa"));
        for (int mode : {0, 1}) {
            window.pastas.pastaXML = root.filePath(QStringLiteral("xml"));
            window.setItemIndex(mode);
            window.ledtCaminho->setText(window.pastas.pastaXML);
            flushes = 0;
            const auto t0 = Clock::now();
            window.btnImportarClick();
            const double run = std::chrono::duration<double>(Clock::now() - t0).count();
            // Parsing covered both kinds of file: half of it belongs to each run.
            std::printf("%7d %6s %12.2f %12.0f %12.3f %12.2f %10.2f %8d   (%s)\n", n, mode == 0 ? "client" : "prod", run,
                        n / run, 1000 * run / n, parse / 2, run / (parse / 2), flushes,
                        env.silent.last.toUtf8().constData());
        }
    }
}
