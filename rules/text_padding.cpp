#include "rules/text_padding.h"

#include "platform/text/utf8_text.h"

std::string CompletaAEsquerda(std::string_view Texto, int32_t Largura, char32_t Preenchimento)
{
    if (Largura <= 0)
        return {};
    const auto width = size_t(Largura);
    const size_t length = text::characterCount(Texto);
    if (length >= width)
        return std::string(text::leftCharacters(Texto, width));
    std::string padded;
    for (size_t i = length; i < width; ++i)
        text::appendUtf8(padded, Preenchimento);
    return padded.append(Texto);
}

std::string CompletaComZeros(std::string_view Texto, int32_t Largura)
{
    return CompletaAEsquerda(text::trimControls(Texto), Largura, U'0');
}

std::string InteiroComZeros(int64_t Numero, int32_t Largura)
{
    return CompletaComZeros(std::to_string(Numero), Largura);
}
