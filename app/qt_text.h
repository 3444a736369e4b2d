#pragma once

#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

#include <QString>

// The text helpers for the window, which holds QString: it converts here, at
// its edge, to the UTF-8 helpers below it.

// Without every leading and trailing character whose code is 32 or below.
inline QString trimControls(const QString& texto)
{
    const std::string utf8 = texto.toStdString();
    const std::string_view trimmed = text::trimControls(utf8);
    return QString::fromUtf8(trimmed.data(), qsizetype(trimmed.size()));
}

// A value from outside as it goes into a log line: control characters and
// undecodable bytes written as visible escapes (\r, \n, \xFF...).
inline QString visibleText(const QString& texto) { return QString::fromStdString(text::visible(texto.toStdString())); }
