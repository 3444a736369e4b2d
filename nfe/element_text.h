#pragma once

#include <QString>

namespace xml {
class Element;
}

// The text of an element without the blanks and control characters around
// it; a missing element reads as the empty text.
QString trimmedText(const xml::Element& element);
