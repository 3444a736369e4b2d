#pragma once

#include <Qt>

// The application-wide cursor, as one value: setting Qt::ArrowCursor returns
// to the default cursor of every widget.
void setScreenCursor(Qt::CursorShape shape);
Qt::CursorShape screenCursor();

// The two busy cursors of the program.
inline constexpr Qt::CursorShape crHourGlass = Qt::WaitCursor;
inline constexpr Qt::CursorShape crSQLWait = Qt::BusyCursor;
