#include "app/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

// Line breaks of any kind show as line breaks.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

// The text broken into lines no wider than width: at blanks, and within a
// word that alone is wider (a long path, say).
QStringList wrappedLines(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    for (const QString& paragraph : text.split(QChar('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QChar(' '))) {
            const QString joined = line.isEmpty() ? word : line + QChar(' ') + word;
            if (metrics.horizontalAdvance(joined) <= width) {
                line = joined;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            line.clear();
            for (const QChar c : word) {
                if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
                    lines << line;
                    line.clear();
                }
                line += c;
            }
        }
        lines << line;
    }
    return lines;
}

void showBox(QMessageBox::Icon icon, const QString& text)
{
    QMessageBox box(icon, QString::fromLatin1(applicationTitle), QString(), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    if (QAbstractButton* ok = box.button(QMessageBox::Ok))
        ok->setIcon(QIcon());  // the box shows no picture at all
    // However long the text, the box fits the screen and its button stays
    // within reach: lines are wrapped to half the screen's width, and what
    // would not fit its height goes to the details, which scroll.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QFontMetrics metrics(box.font());
    QStringList lines = wrappedLines(displayText(text), metrics, area.width() / 2);
    const int room = std::max(3, area.height() * 2 / 3 / std::max(1, metrics.lineSpacing()));
    if (lines.size() > room) {
        lines = lines.mid(0, room - 1);
        lines << QStringLiteral("…");
        box.setDetailedText(displayText(text));
    }
    box.setText(lines.join(QChar('\n')));
    box.adjustSize();
    QRect frame = box.frameGeometry();
    frame.moveCenter(area.center());
    box.move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
    box.exec();
}

} // namespace

void QtDialogs::message(const QString& text) { showBox(QMessageBox::NoIcon, text); }

void QtDialogs::error(const QString& text) { showBox(QMessageBox::Critical, text); }

QString QtDialogs::chooseFolder(const QString& title, const QString& initialFolder)
{
    return QFileDialog::getExistingDirectory(nullptr, title, initialFolder, QFileDialog::ShowDirsOnly);
}

QString errorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() > '.')
        return text + QChar('.');
    return text;
}

void showErrorBox(Dialogs& dialogs, const QString& text) { dialogs.error(errorBoxText(text)); }
