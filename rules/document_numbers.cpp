#include "rules/document_numbers.h"

// CPF and CNPJ: printed forms and check digits.
//
// Since July 2026 a CNPJ may carry upper-case letters A-Z in its first twelve
// positions; each character then counts as its code minus 48, with the old
// weights. A number made only of digits gives exactly the old results, and
// lower-case letters stay ignored.

#include <charconv>
#include <string_view>

namespace {

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The characters of a CNPJ that count: digits anywhere, upper-case letters
// only while fewer than twelve characters have been kept.
std::string cnpjCharacters(std::string_view texto)
{
    std::string kept;
    for (char c : texto) {
        if (isAsciiDigit(c) || (isAsciiUpper(c) && kept.size() < 12))
            kept += c;
    }
    return kept;
}

// Joins pieces of s (1-based, inclusive ranges) with the separators between them;
// a piece takes only the characters that exist.
std::string printedForm(std::string_view s, std::initializer_list<std::pair<size_t, size_t>> pieces,
                        const char* separators)
{
    std::string result;
    size_t i = 0;
    for (auto [from, to] : pieces) {
        if (i > 0)
            result += separators[i - 1];
        if (from <= s.size())
            result += s.substr(from - 1, to - from + 1);
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
bool checkDigitsMatch(std::string_view c, Weight1 weight1, Weight2 weight2)
{
    constexpr std::string_view separators = "/-. ";
    int s1 = 0;
    int s2 = 0;
    int k = 0;
    for (size_t pos = 0; pos + 2 < c.size(); ++pos) {
        const char ch = c[pos];
        if (separators.find(ch) != std::string_view::npos)
            continue;
        ++k;
        const int d = ch - '0';
        s1 += weight1(k) * d;
        s2 += weight2(k) * d;
    }
    const int dv1 = checkDigit(s1);
    const int dv2 = checkDigit(s2 + 2 * dv1);
    const std::string_view last = c.substr(c.size() - 2);
    int written = 0;
    const auto [end, error] = std::from_chars(last.data(), last.data() + last.size(), written);
    return error == std::errc() && end == last.data() + last.size() && written == dv1 * 10 + dv2;
}

} // namespace

std::string justNumbers(std::string palavra)
{
    std::string digits;
    for (char c : palavra) {
        if (isAsciiDigit(c))
            digits += c;
    }
    return digits;
}

std::string FormataCPF(std::string CPFLimpo)
{
    if (CPFLimpo.empty())
        return {};
    return printedForm(justNumbers(CPFLimpo), {{1, 3}, {4, 6}, {7, 9}, {10, 11}}, "..-");
}

std::string FormataCNPJ(std::string CNPJSomenteNumeros)
{
    if (CNPJSomenteNumeros.empty())
        return {};
    return printedForm(cnpjCharacters(CNPJSomenteNumeros), {{1, 2}, {3, 5}, {6, 8}, {9, 12}, {13, 14}}, "../-");
}

bool ValidaCPF(std::string CPF)
{
    const std::string c = FormataCPF(justNumbers(CPF));
    if (c.size() != 14 || c == "000.000.000-00")
        return false;
    return checkDigitsMatch(
        c, [](int k) { return 11 - k; }, [](int k) { return 12 - k; });
}

bool ValidaCNPJ(std::string CNPJ)
{
    const std::string c = FormataCNPJ(cnpjCharacters(CNPJ));
    if (c.size() != 18 || c == "00.000.000/0000-00")
        return false;
    return checkDigitsMatch(
        c, [](int k) { return k < 5 ? 6 - k : 14 - k; }, [](int k) { return k < 6 ? 7 - k : 15 - k; });
}
