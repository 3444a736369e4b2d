#include "app/application.h"

#include "app/dialogs.h"
#include "app/screen_cursor.h"

#include <exception>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(applicationTitle));
    setApplicationDisplayName(QString::fromLatin1(applicationTitle));
}

QString errorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back().unicode() > '.')
        return text + QChar('.');
    return text;
}

void TApplication::showException(const QString& text)
{
    dialogs().error(errorBoxText(text));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showException(QString::fromUtf8(e.what()));
    }
    return false;
}
