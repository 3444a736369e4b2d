#include "app/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

namespace {

// Line breaks of any kind show as line breaks.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

void showBox(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, QString::fromLatin1(applicationTitle), displayText(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setIcon(QIcon());  // the box shows no picture at all
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = box.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        box.move(frame.topLeft());
    }
    box.exec();
}

class QtDialogs final : public Dialogs {
public:
    void message(const QString& text) override { showBox(QMessageBox::NoIcon, text); }
    void error(const QString& text) override { showBox(QMessageBox::Critical, text); }
    QString chooseFolder(const QString& title, const QString& initialFolder) override
    {
        return QFileDialog::getExistingDirectory(nullptr, title, initialFolder,
                                                 QFileDialog::ShowDirsOnly);
    }
};

QtDialogs qtDialogs;
Dialogs* current = &qtDialogs;

} // namespace

Dialogs& dialogs() { return *current; }

Dialogs* setDialogs(Dialogs* d)
{
    Dialogs* previous = current;
    current = d ? d : &qtDialogs;
    return previous;
}
