#include "app/application.h"

#include "app/dialogs.h"

#include <QFontDatabase>

#include <exception>

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(applicationTitle));
    // The window's font is Tahoma; Debian's fonts-wine carries a clone with
    // the same metrics, which keeps the layout's texts inside their controls.
    // Its bold face draws as thin as the regular one at these sizes, so bold
    // is drawn from the regular face instead.
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
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
        std::function<void()> step = std::move(pendingRecovery_);
        pendingRecovery_ = nullptr;
        if (step)
            step();
    }
    return false;
}
