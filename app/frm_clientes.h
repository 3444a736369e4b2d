#pragma once

#include "app/error_recovery.h"
#include "host/startup.h"
#include "import/import_service.h"
#include "log/activity_log.h"
#include "platform/sql/session.h"

#include <QPointer>
#include <QWidget>
#include <QString>
#include <QChar>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QPushButton;
class SingleInstance;
class TLabeledEdit;
class TStatusBar;
class WindowEnv;

// The folders the program works with, as native paths: those the start
// finds and makes, and those of the folder search.
struct TPastas {
    QString pastaCommonAppData;
    QString pastaDocumentos;
    QString pastaInstalacao;
    QString pastaDados;
    QString pastaPrograma;
    QString pastaTemporaria;
    QString pastaXML;         // chosen in the folder dialog
    QString pastaEncontrada;  // found by the folder search

    // The start's folders, in the start's UTF-8 and back.
    HostFolders hostFolders() const;
    void take(const HostFolders& folders);
};

// The one window of the program: it translates the user's actions into calls
// of the import, host discovery, folder search and activity log services, and
// shows what they report.
class TfrmClientes : public QWidget {
    Q_OBJECT

public:
    // Builds the window from its layout; it reaches the user's boxes and the
    // end of the program through env, which must outlive it. Start-up is not
    // run: see Create().
    explicit TfrmClientes(WindowEnv& env, QWidget* parent = nullptr);
    ~TfrmClientes() override;

    // Builds the window and runs FormCreate, as the program entry does. An error
    // raised by start-up is shown in the error box and the window opens anyway;
    // a stop of start-up ends the program before this returns.
    static TfrmClientes* Create(WindowEnv& env);

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
    void LogEMensagem(const QString& mensagem, bool alerta);
    // Ends the program at once; never returns (see WindowEnv::endProgram).
    void encerraPrograma();
    bool programaEstaAberto(QString appName);
    QString getVersaoDaAplicacao();
    QString getPastaDeDados();

    // The state that outlives a handler.
    TPastas pastas;
    EstadoImportacao estado;  // clienteAtual, produtoAtual, codigoProduto
    QString versaoAplicacao;
    bool falhaInicializacao = false;
    db::Session& session() { return session_; }

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
    QString runFolder() const;
    // Runs an event handler; an error that escapes it is shown in the error
    // box, and then the window is put right (see RecoveryAfterError).
    void handleErrors(const std::function<void()>& handler);

    QButtonGroup* modeButtons_ = nullptr;
    std::vector<QWidget*> components_;  // in creation order
    bool centred_ = false;

    WindowEnv& env_;
    ErrorRecovery recovery_;
    SingleInstance* singleInstance_ = nullptr;
    QPointer<QWidget> focusBeforeRun_;
    ActivityLog log_;
    db::Session session_;
};
