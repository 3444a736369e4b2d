#include "app/application.h"

#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

TApplication::TApplication(int& argc, char** argv, Dialogs* errorBoxes)
    : QApplication(argc, argv), errorBoxes_(errorBoxes ? *errorBoxes : ownDialogs_)
{
    setApplicationName(QString::fromLatin1(applicationTitle));
    // The window's font is Tahoma; Debian's fonts-wine carries a clone with
    // the same metrics, which keeps the layout's texts inside their controls.
    // Its bold face draws as thin as the regular one at these sizes, so bold
    // is drawn from the regular face instead.
    QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));

    // Qt's own texts (the folder dialog, standard buttons) in the user's
    // language; the program's texts are Portuguese anyway.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);

    // The icon of the desktop's theme when installed, the program's own otherwise.
    Q_INIT_RESOURCE(tessaly);  // the resources live in a static library
    QIcon own;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        own.addFile(QStringLiteral(":/icons/tessaly-%1.png").arg(size), QSize(size, size));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tessaly"), own));
    setDesktopFileName(QStringLiteral("com.harbek.Tessaly"));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showErrorBox(errorBoxes_, QString::fromUtf8(e.what()));
    }
    return false;
}
