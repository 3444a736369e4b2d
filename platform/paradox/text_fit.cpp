#include "platform/paradox/code_page.h"

#include "platform/text/visible_text.h"

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

} // namespace

std::string CodePage::fitted(std::string_view text, size_t width) const
{
    if (const auto whole = fromUtf8(text); whole && whole->size() <= width)
        return std::string(text);
    std::string out;
    size_t stored = 0;
    for (size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const size_t valid = text::utf8Sequence(text.substr(at), c);
        const size_t n = valid ? valid : 1;  // a byte that is no text becomes "?"
        std::string piece(text.substr(at, n));
        auto bytes = valid ? fromUtf8(piece) : std::nullopt;
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
