#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Zero-filled codes for the host tables. Pure functions of UTF-8 text that
// count characters, never bytes; the caller's text is never changed.

// Pads Texto on the left with Preenchimento up to Largura characters; a longer
// text is cut to its leftmost Largura characters (none when Largura <= 0).
std::string CompletaAEsquerda(std::string_view Texto, int32_t Largura, char32_t Preenchimento);

// Trims characters up to U+0020 on both sides, then pads with "0".
std::string CompletaComZeros(std::string_view Texto, int32_t Largura);

// Numero in plain decimal, then CompletaComZeros.
std::string InteiroComZeros(int64_t Numero, int32_t Largura);
