#pragma once

#include <QString>
#include <ostream>

// Lets GoogleTest print a QString as its text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
