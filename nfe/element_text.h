#pragma once

#include <string>
#include <string_view>

namespace xml {
class Element;
}

// The text of an element without the blanks and control characters around
// it, as valid UTF-8; a missing element reads as the empty text.
std::string trimmedText(const xml::Element& element);

// bytes as valid UTF-8: every byte that starts no valid sequence becomes
// U+FFFD, so that a value of a file never carries bytes that are no text
// into a table or a log line.
std::string validText(std::string_view bytes);
