#include "rules/document_numbers.h"

// CPF and CNPJ: printed forms and check digits.
//
// Since July 2026 a CNPJ may carry upper-case letters A-Z in its first twelve
// positions; each character then counts as its code minus 48, with the old
// weights. A number made only of digits gives exactly the old results, and
// lower-case letters stay ignored.

namespace {

bool isAsciiDigit(QChar c) { return c >= QChar('0') && c <= QChar('9'); }
bool isAsciiUpper(QChar c) { return c >= QChar('A') && c <= QChar('Z'); }

// The characters of a CNPJ that count: digits anywhere, upper-case letters
// only while fewer than twelve characters have been kept.
QString cnpjCharacters(const QString& texto)
{
    QString kept;
    for (QChar c : texto) {
        if (isAsciiDigit(c) || (isAsciiUpper(c) && kept.size() < 12))
            kept += c;
    }
    return kept;
}

// Joins pieces of s (1-based, inclusive ranges) with the separators between them;
// a piece takes only the characters that exist.
QString printedForm(const QString& s, std::initializer_list<std::pair<int, int>> pieces, const char* separators)
{
    QString result;
    int i = 0;
    for (auto [from, to] : pieces) {
        if (i > 0)
            result += QChar(separators[i - 1]);
        result += s.mid(from - 1, to - from + 1);
        ++i;
    }
    return result;
}

int checkDigit(int sum)
{
    const int r = sum % 11;
    return r < 2 ? 0 : 11 - r;
}

// Walks c up to its last two characters, skipping the separator set, and
// compares the two check digits computed with the weight functions.
template <typename Weight1, typename Weight2>
bool checkDigitsMatch(const QString& c, Weight1 weight1, Weight2 weight2)
{
    static const QString separators = QStringLiteral("/-. ");
    int s1 = 0;
    int s2 = 0;
    int k = 0;
    for (qsizetype pos = 0; pos < c.size() - 2; ++pos) {
        const QChar ch = c.at(pos);
        if (separators.contains(ch))
            continue;
        ++k;
        const int d = ch.unicode() - '0';
        s1 += weight1(k) * d;
        s2 += weight2(k) * d;
    }
    const int dv1 = checkDigit(s1);
    const int dv2 = checkDigit(s2 + 2 * dv1);
    bool ok = false;
    const int written = c.right(2).toInt(&ok);
    return ok && written == dv1 * 10 + dv2;
}

} // namespace

QString justNumbers(QString palavra)
{
    QString digits;
    for (QChar c : palavra) {
        if (isAsciiDigit(c))
            digits += c;
    }
    return digits;
}

QString FormataCPF(QString CPFLimpo)
{
    if (CPFLimpo.isEmpty())
        return {};
    return printedForm(justNumbers(CPFLimpo), {{1, 3}, {4, 6}, {7, 9}, {10, 11}}, "..-");
}

QString FormataCNPJ(QString CNPJSomenteNumeros)
{
    if (CNPJSomenteNumeros.isEmpty())
        return {};
    return printedForm(cnpjCharacters(CNPJSomenteNumeros), {{1, 2}, {3, 5}, {6, 8}, {9, 12}, {13, 14}}, "../-");
}

bool ValidaCPF(QString CPF)
{
    const QString c = FormataCPF(justNumbers(CPF));
    if (c.size() != 14 || c == QLatin1String("000.000.000-00"))
        return false;
    return checkDigitsMatch(
        c, [](int k) { return 11 - k; }, [](int k) { return 12 - k; });
}

bool ValidaCNPJ(QString CNPJ)
{
    const QString c = FormataCNPJ(cnpjCharacters(CNPJ));
    if (c.size() != 18 || c == QLatin1String("00.000.000/0000-00"))
        return false;
    return checkDigitsMatch(
        c, [](int k) { return k < 5 ? 6 - k : 14 - k; }, [](int k) { return k < 6 ? 7 - k : 15 - k; });
}
