#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small operations on UTF-8 text. A byte that does not start a valid sequence
// counts as one character of its own, so that no input is ever cut inside a
// sequence and none is refused.
namespace text {

// Without every leading and trailing character whose code is 32 (the blank)
// or below; nothing inside changes. The trim of the import's values and of
// the folder field.
std::string_view trimControls(std::string_view s);

// Without leading and trailing white space: the ASCII blanks and controls
// \t \n \v \f \r, U+0085, the no-break space and the other Unicode space
// separators. Controls other than those stay.
std::string_view trimWhitespace(std::string_view s);
bool isWhitespace(char32_t c);

// True when a and b differ at most in the case of their letters: the ASCII
// letters, the accented Latin letters of U+00C0..U+017F, and the long s and
// Kelvin sign, which fold to s and k.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The number of characters of s.
size_t characterCount(std::string_view s);

// The first count characters of s, all of s when it has fewer.
std::string_view leftCharacters(std::string_view s, size_t count);

// The code point at the start of a non-empty s and its length in bytes; a
// byte that starts no valid sequence reads as U+FFFD, one byte long.
size_t codePointAt(std::string_view s, char32_t& c);

// Appends c as one UTF-16 unit, or as a surrogate pair beyond U+FFFF.
void appendUtf16(std::u16string& out, char32_t c);

// Appends the UTF-8 form of the code point c (U+FFFD for a surrogate or a
// value beyond U+10FFFF).
void appendUtf8(std::string& out, char32_t c);

// UTF-16 text in UTF-8 and back. A surrogate without its pair, and a byte
// that starts no valid sequence, become U+FFFD.
std::string utf16ToUtf8(std::u16string_view s);
std::u16string utf8ToUtf16(std::string_view s);

} // namespace text
