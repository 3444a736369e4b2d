// The real window, driven headless: layout, keyboard, mode switch, control
// locking and the error box.

#include "app/application.h"
#include "app/frm_clientes.h"
#include "app/labeled_edit.h"
#include "app/screen_cursor.h"
#include "app/status_bar.h"
#include "tests/scripted_dialogs.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

class WindowTest : public QObject {
    Q_OBJECT

public:
    // appBoxes: the error boxes of the application object.
    explicit WindowTest(ScriptedDialogs& appBoxes) : appBoxes_(appBoxes) {}

private slots:
    void init()
    {
        appBoxes_ = ScriptedDialogs();
        env_ = new ScriptedEnv;
        window_ = new TfrmClientes(*env_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }
    void cleanup()
    {
        delete window_;
        delete env_;
        setScreenCursor(Qt::ArrowCursor);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("ledtCaminho") << "ledtCaminho" << QRect(152, 51, 415, 21);
        QTest::newRow("btnImportar") << "btnImportar" << QRect(17, 107, 130, 30);
        QTest::newRow("btnVoltar") << "btnVoltar" << QRect(152, 107, 130, 30);
        QTest::newRow("btnPesquisar") << "btnPesquisar" << QRect(583, 46, 130, 30);
        QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 153, 730, 19);
        QTest::newRow("RadioGroup1") << "RadioGroup1" << QRect(17, 15, 119, 80);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        auto* w = window_->findChild<QWidget*>(name);
        QVERIFY(w);
        QCOMPARE(w->geometry(), geometry);
    }

    void layoutTextsAndWindow()
    {
        QCOMPARE(window_->size(), QSize(730, 172));
        QCOMPARE(window_->btnImportar->text(), QStringLiteral("&Iniciar"));
        QCOMPARE(window_->btnVoltar->text(), QStringLiteral("&Sair"));
        QCOMPARE(window_->btnPesquisar->text(), QStringLiteral("&Pesquisar"));
        QCOMPARE(window_->RadioGroup1->title(), QStringLiteral(" Deseja converter "));
        QCOMPARE(window_->ledtCaminho->EditLabel()->text(), QStringLiteral("Pasta onde estão os arquivos XML de clientes"));
        QCOMPARE(window_->ledtCaminho->EditLabel()->pos(), QPoint(152, 35));
        QCOMPARE(window_->ledtCaminho->EditLabel()->height(), 13);
        QCOMPARE(window_->itemIndex(), 0);
        QVERIFY(window_->btnImportar->isDefault());
        QCOMPARE(window_->btnImportar->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(window_->RadioGroup1->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(window_->ledtCaminho->cursor().shape(), Qt::IBeamCursor);
        QVERIFY(window_->btnImportar->font().bold());
        QCOMPARE(window_->btnImportar->font().pixelSize(), 13);
        QVERIFY(window_->ledtCaminho->EditLabel()->font().bold());
        QCOMPARE(window_->StatusBar1->panelCount(), 2);
        QCOMPARE(window_->StatusBar1->panel(0)->width(), 630);
        QCOMPARE(window_->focusWidget(), window_->ledtCaminho);
    }

    void widerWindowStretchesTheFieldAndKeepsTheBrowseButtonRight()
    {
        window_->resize(930, 172);
        QCOMPARE(window_->ledtCaminho->geometry(), QRect(152, 51, 615, 21));
        QCOMPARE(window_->btnPesquisar->geometry(), QRect(783, 46, 130, 30));
        QCOMPARE(window_->btnImportar->geometry(), QRect(17, 107, 130, 30));
        QCOMPARE(window_->StatusBar1->geometry(), QRect(0, 153, 930, 19));
    }

    void tabOrderRunsRoundTheWindow()
    {
        const QStringList expected = {"btnPesquisar", "btnImportar", "btnVoltar", "RadioGroup1_0", "ledtCaminho"};
        for (const QString& name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RadioGroup1_0"));
    }

    void arrowKeysChangeTheModeAndClearTheField()
    {
        window_->ledtCaminho->setText(QStringLiteral("/tmp/x"));
        window_->findChild<QRadioButton*>(QStringLiteral("RadioGroup1_0"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(window_->itemIndex(), 1);
        QCOMPARE(window_->ledtCaminho->EditLabel()->text(), QStringLiteral("Pasta onde estão os arquivos XML de produtos"));
        QVERIFY(window_->ledtCaminho->text().isEmpty());
        window_->ledtCaminho->setText(QStringLiteral("/tmp/y"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(window_->itemIndex(), 0);
        QCOMPARE(window_->ledtCaminho->EditLabel()->text(), QStringLiteral("Pasta onde estão os arquivos XML de clientes"));
        QVERIFY(window_->ledtCaminho->text().isEmpty());
    }

    // The mode choice is one tab stop: Tab and Shift+Tab land on its
    // selected item, from where the arrows switch the mode.
    void modeChoiceIsOneTabStop()
    {
        window_->ledtCaminho->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RadioGroup1_0"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(window_->itemIndex(), 1);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RadioGroup1_1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ledtCaminho"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RadioGroup1_1"));
        window_->btnVoltar->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("RadioGroup1_1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(window_->itemIndex(), 0);
        // Past either end the selection wraps round, as on the host's platform.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(window_->itemIndex(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QCOMPARE(window_->itemIndex(), 0);
        // Alt and the letters still reach the buttons from there.
        QSignalSpy pesquisar(window_->btnPesquisar, &QPushButton::clicked);
        QObject::disconnect(window_->btnPesquisar, &QPushButton::clicked, window_, nullptr);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::NoModifier, 0);
        QTRY_COMPARE(pesquisar.count(), 2);
    }

    void enterClicksTheFocusedOrDefaultButton()
    {
        QSignalSpy importar(window_->btnImportar, &QPushButton::clicked);
        QSignalSpy pesquisar(window_->btnPesquisar, &QPushButton::clicked);
        window_->btnImportar->setEnabled(false);  // a disabled button is not clicked
        QTest::keyClick(window_->ledtCaminho, Qt::Key_Return);
        QCOMPARE(importar.count(), 0);
        window_->btnImportar->setEnabled(true);
        QObject::disconnect(window_->btnImportar, &QPushButton::clicked, window_, nullptr);
        QObject::disconnect(window_->btnPesquisar, &QPushButton::clicked, window_, nullptr);
        QTest::keyClick(window_->ledtCaminho, Qt::Key_Return);
        QCOMPARE(importar.count(), 1);
        window_->btnPesquisar->setFocus();
        QTest::keyClick(window_->btnPesquisar, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(pesquisar.count(), 1);
        QCOMPARE(importar.count(), 1);
    }

    void shiftEnterMovesTheFocusForwardAndWraps()
    {
        QTest::keyClick(window_->ledtCaminho, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), window_->btnPesquisar);
        window_->modeButton(0)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), window_->ledtCaminho);
    }

    void escapeAndAltSCloseTheWindow()
    {
        QTest::keyClick(window_->ledtCaminho, Qt::Key_Escape);
        QVERIFY(!window_->isVisible());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
        window_->activateWindow();
        QTest::keyClick(window_->ledtCaminho, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!window_->isVisible());  // an access key clicks after the button's press animation
    }

    void letterAloneOnAButtonClicksItsButton()
    {
        window_->btnVoltar->setFocus();
        QSignalSpy pesquisar(window_->btnPesquisar, &QPushButton::clicked);
        QObject::disconnect(window_->btnPesquisar, &QPushButton::clicked, window_, nullptr);
        QTest::keyClick(window_->btnVoltar, Qt::Key_P, Qt::NoModifier, 0);
        QCOMPARE(pesquisar.count(), 1);
        QTest::keyClick(window_->ledtCaminho, Qt::Key_P);  // typing in the field types
        QCOMPARE(pesquisar.count(), 1);
        QCOMPARE(window_->ledtCaminho->text(), QStringLiteral("p"));
    }

    void lockingTouchesButtonsAndFieldOnly()
    {
        setScreenCursor(crHourGlass);
        window_->alteraStatusComponentes(false);
        for (QWidget* w : {static_cast<QWidget*>(window_->btnImportar), static_cast<QWidget*>(window_->btnVoltar),
                           static_cast<QWidget*>(window_->btnPesquisar), static_cast<QWidget*>(window_->ledtCaminho),
                           static_cast<QWidget*>(window_->ledtCaminho->EditLabel())})
            QVERIFY(!w->isEnabled());
        QVERIFY(window_->RadioGroup1->isEnabled());
        QVERIFY(window_->StatusBar1->isEnabled());
        QCOMPARE(screenCursor(), crHourGlass);
        window_->alteraStatusComponentes(true);
        QVERIFY(window_->btnImportar->isEnabled());
        QVERIFY(window_->ledtCaminho->EditLabel()->isEnabled());
        QCOMPARE(screenCursor(), Qt::ArrowCursor);
    }

    void errorsEscapingAHandlerReachTheErrorBox_data()
    {
        QTest::addColumn<QString>("thrown");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a full stop is added") << "Tabela em uso" << "Tabela em uso.";
        QTest::newRow("one already there stays") << "Tabela em uso." << "Tabela em uso.";
        QTest::newRow("a mark below the full stop stays") << "Tabela em uso!" << "Tabela em uso!";
        QTest::newRow("a digit gets one") << "Código 5" << "Código 5.";
    }
    void errorsEscapingAHandlerReachTheErrorBox()
    {
        QFETCH(QString, thrown);
        QFETCH(QString, shown);
        QPushButton button;
        connect(&button, &QPushButton::clicked, [&] { throw std::runtime_error(thrown.toStdString()); });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(appBoxes_.errors, QStringList{shown});
        QVERIFY(window_->isVisible());
    }

private:
    ScriptedDialogs& appBoxes_;
    ScriptedEnv* env_ = nullptr;
    TfrmClientes* window_ = nullptr;
};

int main(int argc, char** argv)
{
    ScriptedDialogs appBoxes;
    TApplication app(argc, argv, &appBoxes);
    WindowTest test(appBoxes);
    return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
