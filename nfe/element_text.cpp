#include "nfe/element_text.h"

#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"
#include "platform/xml/document.h"

std::string trimmedText(const xml::Element& element)
{
    return text::validText(text::trimControls(element.text()));
}
