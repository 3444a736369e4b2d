#pragma once

#include <string>
#include <string_view>

namespace xml {
class Element;
}

// The text of an element without the blanks and control characters around
// it, as valid UTF-8; a missing element reads as the empty text.
std::string trimmedText(const xml::Element& element);
