#include "app/frm_clientes.h"

#include "app/dialogs.h"
#include "app/labeled_edit.h"
#include "app/screen_cursor.h"
#include "app/single_instance.h"
#include "app/status_bar.h"
#include "app/window_env.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <exception>

namespace {

constexpr int clientWidth = 730;
constexpr int clientHeight = 172;

QFont tahoma(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

const QString labelClientes = QStringLiteral("Pasta onde estão os arquivos XML de clientes");
const QString labelProdutos = QStringLiteral("Pasta onde estão os arquivos XML de produtos");

} // namespace

TfrmClientes::TfrmClientes(WindowEnv& env, QWidget* parent)
    : QWidget(parent), env_(env), session_(env.tables())
{
    setObjectName(QStringLiteral("frmClientes"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setFont(tahoma(11, false));
    resize(clientWidth, clientHeight);
    singleInstance_ = new SingleInstance;
    singleInstance_->setParent(this);
    createControls();
}

TfrmClientes::~TfrmClientes() = default;

void TfrmClientes::createControls()
{
    ledtCaminho = new TLabeledEdit(this);
    ledtCaminho->setObjectName(QStringLiteral("ledtCaminho"));
    ledtCaminho->EditLabel()->setObjectName(QStringLiteral("ledtCaminhoLabel"));
    ledtCaminho->EditLabel()->setFont(tahoma(11, true));
    ledtCaminho->EditLabel()->resize(256, 13);
    ledtCaminho->setLabelText(labelClientes);
    ledtCaminho->setGeometry(152, 51, 415, 21);
    ledtCaminho->setCursor(Qt::IBeamCursor);

    auto makeButton = [this](const char* name, const QString& text, QRect geometry) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(tahoma(13, true));
        button->setCursor(Qt::PointingHandCursor);
        button->setGeometry(geometry);
        button->setAutoDefault(false);
        return button;
    };
    btnImportar = makeButton("btnImportar", QStringLiteral("&Iniciar"), {17, 107, 130, 30});
    btnImportar->setDefault(true);
    btnVoltar = makeButton("btnVoltar", QStringLiteral("&Sair"), {152, 107, 130, 30});
    btnPesquisar = makeButton("btnPesquisar", QStringLiteral("&Pesquisar"), {583, 46, 130, 30});

    StatusBar1 = new TStatusBar(this, {630, 50});
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setCursor(Qt::ArrowCursor);
    StatusBar1->setFocusPolicy(Qt::NoFocus);
    StatusBar1->setGeometry(0, clientHeight - 19, clientWidth, 19);

    createModeChoice();

    components_ = {ledtCaminho, btnImportar, btnVoltar, btnPesquisar, StatusBar1, RadioGroup1};
    for (QWidget* w : components_)
        w->installEventFilter(this);
    for (QAbstractButton* b : modeButtons_->buttons())
        b->installEventFilter(this);

    QWidget::setTabOrder(ledtCaminho, btnPesquisar);
    QWidget::setTabOrder(btnPesquisar, btnImportar);
    QWidget::setTabOrder(btnImportar, btnVoltar);
    QWidget::setTabOrder(btnVoltar, modeButtons_->button(0));
    QWidget::setTabOrder(modeButtons_->button(0), modeButtons_->button(1));

    connect(btnImportar, &QPushButton::clicked, this, [this] { handleErrors([this] { btnImportarClick(); }); });
    connect(btnVoltar, &QPushButton::clicked, this, [this] { handleErrors([this] { btnVoltarClick(); }); });
    connect(btnPesquisar, &QPushButton::clicked, this, [this] { handleErrors([this] { btnPesquisarClick(); }); });
}

void TfrmClientes::createModeChoice()
{
    RadioGroup1 = new QGroupBox(QStringLiteral(" Deseja converter "), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(17, 15, 119, 80);
    RadioGroup1->setCursor(Qt::PointingHandCursor);
    modeButtons_ = new QButtonGroup(RadioGroup1);
    const QString items[] = {QStringLiteral("Clientes"), QStringLiteral("Produtos")};
    for (int i = 0; i < 2; ++i) {
        auto* item = new QRadioButton(items[i], RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));
        item->setGeometry(8, 18 + 28 * i, 103, 22);
        item->setCursor(Qt::PointingHandCursor);
        modeButtons_->addButton(item, i);
    }
    modeButtons_->button(0)->setChecked(true);
    keepModeOneTabStop();
    connect(modeButtons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        keepModeOneTabStop();
        if (checked)
            RadioGroup1Click();
    });
}

// Tab and Shift+Tab enter the mode choice on its selected item only; the
// others still take the focus from the mouse and the arrow keys.
void TfrmClientes::keepModeOneTabStop()
{
    for (QAbstractButton* b : modeButtons_->buttons())
        b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// The arrow keys move the selection around the mode choice, as a click does.
bool TfrmClientes::handleModeKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers)
{
    const int at = modeButtons_->id(qobject_cast<QAbstractButton*>(focused));
    if (at < 0 || (modifiers & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    int step = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right)
        step = 1;
    else if (key == Qt::Key_Up || key == Qt::Key_Left)
        step = -1;
    if (step == 0)
        return false;
    const int count = int(modeButtons_->buttons().size());
    const int next = (at + step + count) % count;
    setItemIndex(next);
    modeButtons_->button(next)->setFocus(Qt::OtherFocusReason);
    return true;
}

TfrmClientes* TfrmClientes::Create(WindowEnv& env)
{
    auto* window = new TfrmClientes(env);
    try {
        window->FormCreate();
    } catch (const std::exception& e) {
        showErrorBox(env.dialogs(), QString::fromUtf8(e.what()));
    }
    return window;
}

void TfrmClientes::handleErrors(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showErrorBox(env_.dialogs(), QString::fromUtf8(e.what()));
        recovery_.runPending();
    }
}

void TfrmClientes::encerraPrograma() { env_.endProgram(); }

int TfrmClientes::itemIndex() const { return modeButtons_->checkedId(); }

void TfrmClientes::setItemIndex(int index) { modeButtons_->button(index)->setChecked(true); }

QAbstractButton* TfrmClientes::modeButton(int index) const { return modeButtons_->button(index); }

void TfrmClientes::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    FormShow();
}

void TfrmClientes::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int grow = width() - clientWidth;
    ledtCaminho->resize(415 + grow, ledtCaminho->height());
    btnPesquisar->move(583 + grow, btnPesquisar->y());
    StatusBar1->setGeometry(0, height() - StatusBar1->height(), width(), StatusBar1->height());
}

void TfrmClientes::FormShow() { ledtCaminho->setFocus(); }

void TfrmClientes::RadioGroup1Click()
{
    ledtCaminho->setLabelText(itemIndex() == 0 ? labelClientes : labelProdutos);
    ledtCaminho->clear();
}

void TfrmClientes::btnVoltarClick() { close(); }

void TfrmClientes::alteraStatusComponentes(bool status)
{
    // Disabling the focused control takes the focus away; the keyboard user
    // finds it where it was once the controls are back.
    if (!status && focusWidget() && focusWidget()->isEnabled())
        focusBeforeRun_ = focusWidget();
    for (QWidget* w : components_) {
        if (qobject_cast<QPushButton*>(w))
            w->setEnabled(status);
        QCoreApplication::processEvents();
    }
    for (QWidget* w : components_) {
        if (dynamic_cast<TLabeledEdit*>(w))
            w->setEnabled(status);
        QCoreApplication::processEvents();
    }
    if (status) {
        setScreenCursor(Qt::ArrowCursor);
        if (focusBeforeRun_ && focusBeforeRun_->isEnabled())
            focusBeforeRun_->setFocus(Qt::OtherFocusReason);
        focusBeforeRun_ = nullptr;
    }
}

void TfrmClientes::FormKeyPress(QChar& Key)
{
    if (Key != QChar('\r'))
        return;
    Key = QChar(0);
    focusNextChild();
}

bool TfrmClientes::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* focused = qobject_cast<QWidget*>(watched);
        if (focused && (handleDialogKey(focused, key->key(), key->modifiers())
                        || handleModeKey(focused, key->key(), key->modifiers())))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The dialog keys come before the focused control: Enter clicks the focused
// push button or the default one, Esc the cancel button, a letter alone on a
// button the button whose access key it is. A carriage return left over (Enter
// with Shift) goes to FormKeyPress.
bool TfrmClientes::handleDialogKey(QWidget* focused, int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    auto clickIfEnabled = [](QPushButton* b) {
        if (b->isEnabled())
            b->click();
        return true;
    };
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && mods == Qt::NoModifier) {
        auto* button = qobject_cast<QPushButton*>(focused);
        return clickIfEnabled(button ? button : btnImportar);
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier)
        return clickIfEnabled(btnVoltar);
    // Access keys: Alt and the letter anywhere, the letter alone on a button.
    const bool letterAlone = mods == Qt::NoModifier && qobject_cast<QAbstractButton*>(focused);
    if ((letterAlone || mods == Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar letter(char16_t('A' + (key - Qt::Key_A)));
        for (QPushButton* b : {btnImportar, btnVoltar, btnPesquisar}) {
            const qsizetype amp = b->text().indexOf(QChar('&'));
            if (amp >= 0 && b->text().at(amp + 1).toUpper() == letter)
                return clickIfEnabled(b);
        }
    }
    if (enter && mods == Qt::ShiftModifier) {
        QChar k('\r');
        FormKeyPress(k);
        return k.isNull();
    }
    return false;
}
