#include "rules/text_padding.h"

#include "platform/text/visible_text.h"

QString trimControls(const QString& texto)
{
    qsizetype inicio = 0;
    qsizetype fim = texto.size();
    while (inicio < fim && texto.at(inicio).unicode() <= 0x20)
        ++inicio;
    while (fim > inicio && texto.at(fim - 1).unicode() <= 0x20)
        --fim;
    return texto.mid(inicio, fim - inicio);
}

QString CompletaAEsquerda(const QString& Texto, int32_t Largura, QChar Preenchimento)
{
    if (Texto.size() < Largura)
        return QString(Largura - Texto.size(), Preenchimento) + Texto;
    return Largura <= 0 ? QString() : Texto.left(Largura);
}

QString CompletaComZeros(const QString& Texto, int32_t Largura)
{
    return CompletaAEsquerda(trimControls(Texto), Largura, QChar('0'));
}

QString InteiroComZeros(int64_t Numero, int32_t Largura)
{
    return CompletaComZeros(QString::number(Numero), Largura);
}

QString visibleText(const QString& texto)
{
    return QString::fromStdString(text::visible(texto.toStdString()));
}
