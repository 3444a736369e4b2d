#include "platform/text/utf8_text.h"

#include "platform/text/visible_text.h"

namespace text {
namespace {

// Beyond the last code point: a stray byte stands for itself, so that two
// different stray bytes never compare equal and none reads as a blank.
constexpr char32_t strayByte = 0x110000;

// The character at the start of s and its length in bytes.
size_t nextCharacter(std::string_view s, char32_t& c)
{
    const size_t n = utf8Sequence(s, c);
    if (n > 0)
        return n;
    c = strayByte + static_cast<unsigned char>(s[0]);
    return 1;
}

// The length of the last character of a non-empty s, under the same rule.
size_t lastCharacterSize(std::string_view s, char32_t& c)
{
    for (size_t n = 2; n <= 4 && n <= s.size(); ++n) {
        if (utf8Sequence(s.substr(s.size() - n), c) == n)
            return n;
    }
    return nextCharacter(s.substr(s.size() - 1), c);
}

template <typename Trimmed>
std::string_view trimBoth(std::string_view s, Trimmed trimmed)
{
    char32_t c = 0;
    while (!s.empty()) {
        const size_t n = nextCharacter(s, c);
        if (!trimmed(c))
            break;
        s.remove_prefix(n);
    }
    while (!s.empty()) {
        const size_t n = lastCharacterSize(s, c);
        if (!trimmed(c))
            break;
        s.remove_suffix(n);
    }
    return s;
}

// Simple case folding of the Latin letters (lower case is the folded form).
char32_t foldCase(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c == 0x17F)
        return 's';
    if (c == 0x212A)
        return 'k';
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A pairs its letters upper then lower, with the odd
    // stretch U+0139..U+0148 and U+0179..U+017E shifted by one.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149)
        return oddUpper ? (c % 2 == 1 ? c + 1 : c) : (c % 2 == 0 ? c + 1 : c);
    return c;
}

} // namespace

std::string_view trimControls(std::string_view s)
{
    return trimBoth(s, [](char32_t c) { return c <= 0x20; });
}

bool isWhitespace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680
           || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F
           || c == 0x3000;
}

std::string_view trimWhitespace(std::string_view s) { return trimBoth(s, isWhitespace); }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    while (!a.empty() && !b.empty()) {
        char32_t ca = 0;
        char32_t cb = 0;
        a.remove_prefix(nextCharacter(a, ca));
        b.remove_prefix(nextCharacter(b, cb));
        if (foldCase(ca) != foldCase(cb))
            return false;
    }
    return a.empty() && b.empty();
}

size_t characterCount(std::string_view s)
{
    size_t count = 0;
    char32_t c = 0;
    for (size_t at = 0; at < s.size(); at += nextCharacter(s.substr(at), c))
        ++count;
    return count;
}

std::string_view leftCharacters(std::string_view s, size_t count)
{
    size_t at = 0;
    char32_t c = 0;
    for (; count > 0 && at < s.size(); --count)
        at += nextCharacter(s.substr(at), c);
    return s.substr(0, at);
}

void appendUtf8(std::string& out, char32_t c)
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        out += char(c);
        return;
    }
    const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    static constexpr unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    out += char(lead[n] | (c >> (6 * (n - 1))));
    for (int i = n - 2; i >= 0; --i)
        out += char(0x80 | ((c >> (6 * i)) & 0x3F));
}

std::string utf16ToUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        appendUtf8(out, c);
    }
    return out;
}

size_t codePointAt(std::string_view s, char32_t& c)
{
    if (const size_t n = utf8Sequence(s, c); n > 0)
        return n;
    c = 0xFFFD;
    return 1;
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += char16_t(c);
        return;
    }
    c -= 0x10000;
    out += char16_t(0xD800 + (c >> 10));
    out += char16_t(0xDC00 + (c & 0x3FF));
}

std::u16string utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    while (!s.empty()) {
        char32_t c = 0;
        s.remove_prefix(codePointAt(s, c));
        appendUtf16(out, c);
    }
    return out;
}

} // namespace text
