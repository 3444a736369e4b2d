#include "app/folder_dialog.h"

#include "app/dialogs.h"

#include <QDir>

QString SelecionaPasta(Dialogs& dialogs, const QString& Titulo, uint32_t Flags, const QString& PastaInicial)
{
    (void)Flags;  // the dialog accepts only file-system folders in any case
    const QString chosen = dialogs.chooseFolder(Titulo, PastaInicial);
    if (chosen.isEmpty())
        return {};
    // Folder values never end with a path delimiter.
    QString path = QDir::cleanPath(chosen);
    if (path.size() > 1 && path.endsWith(QChar('/')))
        path.chop(1);
    return path;
}
