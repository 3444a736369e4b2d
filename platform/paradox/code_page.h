#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace paradox {

// Text of a table in its code page, converted to and from UTF-8. Code page 0
// (none stored) passes bytes through unchanged.
class CodePage {
public:
    explicit CodePage(int number);

    int number() const { return number_; }

    std::string toUtf8(std::string_view bytes) const;
    // Empty when a character has no place in the code page (or the text is
    // not valid UTF-8).
    std::optional<std::string> fromUtf8(std::string_view text) const;
    // The text as it fits a field of width bytes: a character the code page
    // lacks becomes the same letter without its accent, or "?", and the text
    // is cut at a character boundary. Unchanged when it fits as it is.
    std::string fitted(std::string_view text, size_t width) const;

private:
    int number_;
};

} // namespace paradox
