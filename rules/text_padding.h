#pragma once

#include <QString>
#include <cstdint>

// Zero-filled codes for the host tables. Pure functions; the caller's text is
// never changed.

// Pads Texto on the left with Preenchimento up to Largura characters; a longer
// text is cut to its leftmost Largura characters (none when Largura <= 0).
QString CompletaAEsquerda(const QString& Texto, int32_t Largura, QChar Preenchimento);

// Trims characters up to U+0020 on both sides, then pads with "0".
QString CompletaComZeros(const QString& Texto, int32_t Largura);

// Numero in plain decimal, then CompletaComZeros.
QString InteiroComZeros(int64_t Numero, int32_t Largura);

// Removes every leading and trailing character whose code is 32 or below.
QString trimControls(const QString& texto);

// A value from outside as it goes into a log line: control characters and
// undecodable bytes written as visible escapes (\r, \n, \xFF...).
QString visibleText(const QString& texto);
