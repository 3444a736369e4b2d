#pragma once

#include <QPointer>
#include <QWidget>
#include <QString>
#include <QChar>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QPushButton;
class SingleInstance;
class TLabeledEdit;
class TStatusBar;
struct TCliente;
struct TProduto;
namespace db { class Query; class Table; }
namespace xml { class Document; }

// The one window of the program. Declared here once; each method is defined in
// the folder of the subsystem it belongs to (app/, import/, rules/, folders/).
class TfrmClientes : public QWidget {
    Q_OBJECT

public:
    // Builds the window from its layout. Start-up is not run: see Create().
    explicit TfrmClientes(QWidget* parent = nullptr);
    ~TfrmClientes() override;

    // Builds the window and runs FormCreate, as the program entry does. An error
    // raised by start-up is shown in the error box and the window opens anyway;
    // a stop of start-up ends the program before this returns.
    static TfrmClientes* Create();

    // Controls, by their layout names.
    TLabeledEdit* ledtCaminho = nullptr;
    QPushButton* btnImportar = nullptr;
    QPushButton* btnVoltar = nullptr;
    QPushButton* btnPesquisar = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;

    // The mode: 0 clients, anything else products.
    int itemIndex() const;
    void setItemIndex(int index);
    QAbstractButton* modeButton(int index) const;

    // Event handlers.
    void btnPesquisarClick();
    void FormKeyPress(QChar& Key);
    void FormShow();
    void btnImportarClick();
    void btnVoltarClick();
    void FormCreate();
    void RadioGroup1Click();

    // Own methods.
    void alteraStatusComponentes(bool status);
    void BuscaPasta(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                    const QString& NaoIncluir);
    void criaSessao();
    void campoExite(db::Table& tabela, const QString& campo);
    void criarPastaTemporaria();
    void criarPastaProjeto();
    void LogEMensagem(const QString& mensagem, bool alerta);
    bool programaEstaAberto(QString appName);
    QString getVersaoDaAplicacao();
    QString getPastaDeDados();
    QString returnCSIDL(uint32_t ID, bool Create);
    bool importaCliente(xml::Document& documento, db::Query& consulta, TCliente& cliente);
    bool importaProduto(xml::Document& documento, db::Query& consulta, TProduto& produto);

    // Rules that use no window state.
    static bool ValidaCPF(QString CPF);
    static bool ValidaCNPJ(QString CNPJ);
    static QString FormataCPF(QString CPFLimpo);
    static QString FormataCNPJ(QString CNPJSomenteNumeros);
    static QString justNumbers(QString palavra);
    static QString TrocaVirgPPto(QString Valor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void createModeChoice();
    bool handleDialogKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers);
    bool handleModeKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers);
    void keepModeOneTabStop();
    void checkTargetTable(bool clientMode);
    void logFittedValues(const db::Query& consulta);
    QString runFolder() const;
    void runImport(bool clientMode);
    bool importFile(const QByteArray& path, bool clientMode);
    void searchFolder(const QString& Arquivo, const QString& Extensao, const QString& Pasta,
                      const QString& NaoIncluir, std::set<std::pair<uint64_t, uint64_t>>& visited);

    QButtonGroup* modeButtons_ = nullptr;
    std::vector<QWidget*> components_;  // in creation order
    bool centred_ = false;

    SingleInstance* singleInstance_ = nullptr;
    QPointer<QWidget> focusBeforeRun_;
    bool logFailureTold_ = false;

    // What a run creates, owned by the window.
    std::unique_ptr<db::Query> query_;
    std::unique_ptr<db::Table> table_;
    std::unique_ptr<xml::Document> xmlDocument_;
};
