#pragma once

#include "app/frm_clientes.h"
#include "tests/scripted_dialogs.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A host data folder with the two host tables, a working folder for the log,
// and a folder of XML files, around a real window with scripted dialogs.
class ImportFixture {
public:
    ImportFixture();
    ~ImportFixture();

    // The data folder, the XML folder and the log.
    QString data() const { return root_.path() + QStringLiteral("/dados"); }
    QString xml() const { return root_.path() + QStringLiteral("/xml"); }
    QString logText() const;
    QStringList logMessages() const;  // the messages, without time stamps
    static QStringList messagesOf(const QString& logPath);

    // Writes a file into the XML folder.
    void writeXml(const QString& name, const QByteArray& content) const;
    // Copies the real exports of the shared data, or the repository's own
    // sample exports (those of the demo), that match pattern.
    void copyRealExports(const QString& pattern) const;
    void copySampleExports(const QString& pattern) const;
    // Creates a host table from a schema, replacing one of the same name.
    void createTable(const QString& name, const char* schema) const;
    void insertRow(const QString& table, const QByteArray& tsvLine) const;
    // The rows of a table as the independent reader prints them.
    QStringList rows(const QString& table) const;

    // Runs an import in the mode, the folder chosen as if through the dialog.
    void run(int mode);
    // The same through a click on the button, so that an error that ends the
    // run reaches the error box.
    void click(int mode);

    TfrmClientes& window() { return *window_; }
    ScriptedDialogs& dialogs() { return env_.scripted; }

    // A test's data rows for the two modes: "mode" 0 for clients, 1 for products.
    static void addModes();

    static const char* const clientSchema;
    static const char* const stockSchema;

private:
    QTemporaryDir root_;
    ScriptedEnv env_;
    std::unique_ptr<TfrmClientes> window_;
};

// A client file: the recipient block of an NF-e under a root element.
QByteArray clientXml(const QString& document, const QString& name, const QString& extra = {});
// A product file: one item of an NF-e under a root element.
QByteArray productXml(const QString& prod, const QString& icms = {});
