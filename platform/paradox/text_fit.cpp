#include "platform/paradox/code_page.h"

#include <cstdint>

namespace paradox {
namespace {

// The base letter of each precomposed Latin letter, blank where none: the
// letter without its accent, for a code page that lacks the accented one.
constexpr char32_t latinFirst = 0xC0;
constexpr std::string_view latinLetters =
        "AAAAAA CEEEEIIIIDNOOOOO OUUUUY  aaaaaa ceeeeiiiidnooooo ouuuuy y"
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi  JjKk LlLlLl "
        " LlNnNnNn   OoOoOo  RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz "
        "b                      I        Oo             Uu    Zz         "
        "             AaIiOoUuUuUuUuUu AaAa  GgGgKkOoOo  j   Gg  NnAa    "
        "AaAaEeEeIiIiOoOoRrRrUuUuSsTt  Hh      AaEeOoOoOoOoYy      ACc   "
        "      Ee        ";
constexpr char32_t extendedFirst = 0x1E00;
constexpr std::string_view extendedLetters =
        "AaBbBbBbCcDdDdDdDdDdEeEeEeEeEeFfGgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMm"
        "MmMmNnNnNnNnOoOoOoOoPpPpRrRrRrRrSsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVv"
        "WwWwWwWwWwXxXxYyZzZzZzhtwy      AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEe"
        "EeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYyYyYy      ";

char baseLetter(char32_t c)
{
    char letter = ' ';
    if (c >= latinFirst && c - latinFirst < latinLetters.size())
        letter = latinLetters[c - latinFirst];
    else if (c >= extendedFirst && c - extendedFirst < extendedLetters.size())
        letter = extendedLetters[c - extendedFirst];
    return letter == ' ' ? '\0' : letter;
}

// Length of the UTF-8 sequence that starts at text[at], and its code point;
// 1 and U+FFFD for a byte that starts no valid sequence.
size_t decodeOne(std::string_view text, size_t at, char32_t& c)
{
    const auto b = static_cast<unsigned char>(text[at]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || at + n > text.size()) {
        c = 0xFFFD;
        return 1;
    }
    c = n == 1 ? b : b & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            c = 0xFFFD;
            return 1;
        }
        c = (c << 6) | (next & 0x3F);
    }
    return n;
}

} // namespace

std::string CodePage::fitted(std::string_view text, size_t width) const
{
    if (const auto whole = fromUtf8(text); whole && whole->size() <= width)
        return std::string(text);
    std::string out;
    size_t stored = 0;
    for (size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const size_t n = decodeOne(text, at, c);
        std::string piece(text.substr(at, n));
        auto bytes = c == 0xFFFD ? std::nullopt : fromUtf8(piece);
        if (!bytes) {
            const char letter = baseLetter(c);
            piece = letter ? std::string(1, letter) : std::string("?");
            bytes = piece;
        }
        if (stored + bytes->size() > width)
            break;
        stored += bytes->size();
        out += piece;
        at += n;
    }
    return out;
}

} // namespace paradox
