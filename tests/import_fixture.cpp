#include "tests/import_fixture.h"

#include "app/labeled_edit.h"
#include "platform/sql/session.h"
#include "tests/host_schemas.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

const char* const ImportFixture::clientSchema = hostSchema::clients;
const char* const ImportFixture::stockSchema = hostSchema::stock;

namespace {

QString runTool(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

} // namespace

ImportFixture::ImportFixture()
{
    QDir().mkpath(data());
    QDir().mkpath(xml());
    QDir().mkpath(root_.path() + QStringLiteral("/programa"));
    createTable(QStringLiteral("TabCli.db"), clientSchema);
    createTable(QStringLiteral("TabEst1.db"), stockSchema);
    window_ = std::make_unique<TfrmClientes>(env_);
    window_->pastas.pastaDados = data();
    window_->pastas.pastaPrograma = root_.path() + QStringLiteral("/programa");
    window_->pastas.pastaDocumentos = root_.path();
    window_->pastas.pastaCommonAppData = root_.path() + QStringLiteral("/appdata");
}

ImportFixture::~ImportFixture() { window_.reset(); }

QString ImportFixture::logText() const
{
    QFile f(window_->pastas.pastaPrograma + QStringLiteral("/Tessaly.log"));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

QStringList ImportFixture::logMessages() const { return messagesOf(window_->pastas.pastaPrograma + "/Tessaly.log"); }

QStringList ImportFixture::messagesOf(const QString& logPath)
{
    QFile f(logPath);
    f.open(QIODevice::ReadOnly);
    QStringList out;
    // The stamp is in the regional format, which never holds " - ".
    static const QRegularExpression stamp(QStringLiteral("^.*? - "));
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << QString(line).remove(stamp);
    return out;
}

void ImportFixture::writeXml(const QString& name, const QByteArray& content) const
{
    QFile f(xml() + QChar('/') + name);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
}

namespace {

void copyMatching(const QDir& source, const QString& pattern, const QString& to)
{
    for (const QString& name : source.entryList({pattern}, QDir::Files))
        QFile::copy(source.filePath(name), to + QChar('/') + name);
}

} // namespace

void ImportFixture::copyRealExports(const QString& pattern) const
{
    copyMatching(QDir(QStringLiteral(SHARED_DIR "/data/nfe/exports")), pattern, xml());
}

void ImportFixture::copySampleExports(const QString& pattern) const
{
    copyMatching(QDir(QStringLiteral(SOURCE_DIR "/demo/exports")), pattern, xml());
}

void ImportFixture::createTable(const QString& name, const char* schema) const
{
    const QString stem = name.left(name.lastIndexOf(QChar('.')));
    for (const QString& f : QDir(data()).entryList({stem + QStringLiteral(".*")}))
        QFile::remove(data() + QChar('/') + f);
    runTool(QStringLiteral(PDX), {QStringLiteral("create"), data() + QChar('/') + name, QString::fromLatin1(schema)});
}

void ImportFixture::insertRow(const QString& table, const QByteArray& tsvLine) const
{
    runTool(QStringLiteral(PDX), {QStringLiteral("insert"), data() + QChar('/') + table}, tsvLine + '\n');
}

void ImportFixture::addModes()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("clientes") << 0;
    QTest::newRow("produtos") << 1;
}

QStringList ImportFixture::rows(const QString& table) const
{
    QStringList out;
    for (const QString& line : runTool(QStringLiteral(PXDUMP), {data() + QChar('/') + table}).split(QChar('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1String("# ")))
            out << line;
    return out;
}

void ImportFixture::run(int mode)
{
    window_->setItemIndex(mode);
    window_->pastas.pastaXML = xml();
    window_->ledtCaminho->setText(xml());
    window_->btnImportarClick();
}

void ImportFixture::click(int mode)
{
    window_->setItemIndex(mode);
    window_->pastas.pastaXML = xml();
    window_->ledtCaminho->setText(xml());
    window_->show();
    QTest::mouseClick(window_->btnImportar, Qt::LeftButton);
}

QByteArray clientXml(const QString& document, const QString& name, const QString& extra)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<cliente xmlns=\"http://www.portalfiscal.inf.br/nfe\"><dest>%1<xNome>%2</xNome>%3</dest></cliente>\n")
        .arg(document, name, extra)
        .toUtf8();
}

QByteArray productXml(const QString& prod, const QString& icms)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<produto xmlns=\"http://www.portalfiscal.inf.br/nfe\"><det nItem=\"1\"><prod>%1</prod>"
                          "<imposto><ICMS>%2</ICMS></imposto></det></produto>\n")
        .arg(prod, icms)
        .toUtf8();
}
