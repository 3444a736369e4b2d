#include "app/screen_cursor.h"

#include <QCursor>
#include <QGuiApplication>

void setScreenCursor(Qt::CursorShape shape)
{
    if (shape == Qt::ArrowCursor) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    } else if (QGuiApplication::overrideCursor()) {
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(shape));
    }
}

Qt::CursorShape screenCursor()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}
