#include "nfe/element_text.h"

#include "platform/xml/document.h"
#include "platform/text/utf8_text.h"

QString trimmedText(const xml::Element& element)
{
    const std::string value = element.text();
    const std::string_view trimmed = text::trimControls(value);
    return QString::fromUtf8(trimmed.data(), qsizetype(trimmed.size()));
}
