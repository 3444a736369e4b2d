#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TrimCase {
    const char* name;
    std::string in;
    std::string controls;    // trimControls
    std::string whitespace;  // trimWhitespace
};

TEST(Utf8Text, TrimsControlsOrWhiteSpaceAtBothEnds)
{
    const TrimCase cases[] = {
        {"nothing to trim", "abc", "abc", "abc"},
        {"empty", "", "", ""},
        {"only blanks", " \t\r\n ", "", ""},
        {"blanks inside stay", "  a b\tc ", "a b\tc", "a b\tc"},
        {"control characters", std::string("\x01\x1F" "42\x00", 5), "42", std::string("\x01\x1F" "42\x00", 5)},
        {"delete is no control here", "\x7F" "a\x7F", "\x7F" "a\x7F", "\x7F" "a\x7F"},
        {"no-break space", "\xC2\xA0" "a\xC2\xA0", "\xC2\xA0" "a\xC2\xA0", "a"},
        {"ideographic and narrow spaces", "\xE3\x80\x80" "a\xE2\x80\xAF", "\xE3\x80\x80" "a\xE2\x80\xAF", "a"},
        {"accented letters at the ends", " ação ", "ação", "ação"},
        {"stray bytes stay", " \xFF" "a\xC3 ", "\xFF" "a\xC3", "\xFF" "a\xC3"},
        {"a sequence cut short before a blank", "a\xE3\x80 ", "a\xE3\x80", "a\xE3\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(text::trimControls(c.in), c.controls);
        EXPECT_EQ(text::trimWhitespace(c.in), c.whitespace);
    }
}

TEST(Utf8Text, ComparesIgnoringLetterCase)
{
    const struct {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"SEM GTIN", "sem gtin", true},
        {"SEM GTIN", "Sem Gtin", true},
        {"SEM GTIN", "SEM GTIN ", false},
        {"SEM GTIN", "SEM GTI", false},
        {"", "", true},
        {"AÇÃO ÉÍÓÚ", "ação éíóú", true},
        {"ŁÓDŹ Ÿ", "łódź ÿ", true},
        {"\xC5\xBF" "em gtin", "SEM GTIN", true},  // the long s folds to s
        {"\xE2\x84\xAA", "k", true},               // the Kelvin sign folds to k
        {"×", "÷", false},
        {"ß", "SS", false},
        {"a\xFF", "a\xFE", false},
        {"a\xFF", "A\xFF", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(text::equalsIgnoringCase(c.a, c.b), c.equal);
        EXPECT_EQ(text::equalsIgnoringCase(c.b, c.a), c.equal);
    }
}

TEST(Utf8Text, CountsAndCutsWholeCharacters)
{
    const struct {
        std::string in;
        size_t characters;
        size_t cut;
        std::string left;
    } cases[] = {
        {"abc", 3, 2, "ab"},
        {"abc", 3, 5, "abc"},
        {"abc", 3, 0, ""},
        {"", 0, 3, ""},
        {"ação", 4, 2, "aç"},
        {"ação", 4, 3, "açã"},
        {"€uro", 4, 1, "€"},
        {"\xF0\x9F\x98\x80" "x", 2, 1, "\xF0\x9F\x98\x80"},
        {"a\xFF" "b", 3, 2, "a\xFF"},
        {"\xE2\x82" "x", 3, 1, "\xE2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(text::characterCount(c.in), c.characters);
        EXPECT_EQ(text::leftCharacters(c.in, c.cut), c.left);
    }
}

TEST(Utf8Text, WritesCodePointsAsUtf8)
{
    const std::pair<char32_t, const char*> cases[] = {
        {U'*', "*"}, {U'ç', "ç"}, {U'€', "€"}, {U'\U0001F600', "\xF0\x9F\x98\x80"},
        {0xD800, "\xEF\xBF\xBD"}, {0x110000, "\xEF\xBF\xBD"},
    };
    for (auto [c, utf8] : cases) {
        std::string out = "x";
        text::appendUtf8(out, c);
        EXPECT_EQ(out, std::string("x") + utf8) << unsigned(c);
    }
}

// A pair of surrogates is one character; one alone, or a byte that starts
// no sequence, is U+FFFD either way.
TEST(Utf8Text, ConvertsToAndFromUtf16)
{
    const std::pair<std::u16string, const char*> both[] = {
        {u"", ""}, {u"Café – ok", "Caf\xC3\xA9 \xE2\x80\x93 ok"}, {u"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    for (const auto& [utf16, utf8] : both) {
        EXPECT_EQ(text::utf16ToUtf8(utf16), utf8);
        EXPECT_EQ(text::utf8ToUtf16(utf8), utf16) << utf8;
    }
    EXPECT_EQ(text::utf16ToUtf8(std::u16string {u'a', char16_t(0xD83D)}), "a\xEF\xBF\xBD");
    EXPECT_EQ(text::utf16ToUtf8(std::u16string {char16_t(0xDE00), u'a'}), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(text::utf8ToUtf16("a\xFF" "b\xC3"), (std::u16string {u'a', char16_t(0xFFFD), u'b', char16_t(0xFFFD)}));
}

// Valid text passes unchanged; each byte that starts no valid sequence (a
// stray byte, a sequence cut short, an overlong form, a surrogate) becomes
// one U+FFFD, and what follows it is read again.
TEST(Utf8Text, MakesBytesValidTextByteByByte)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC3", "\xEF\xBF\xBD"},
        {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xE2\x82" "a", "\xEF\xBF\xBD\xEF\xBF\xBD" "a"},
        {"\xC0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(text::validText(bytes), valid) << text::visible(bytes);
}

} // namespace
