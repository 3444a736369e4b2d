#include "nfe/element_text.h"

#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"
#include "platform/xml/document.h"

std::string validText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        const size_t length = text::utf8Sequence(bytes, c);
        if (length == 0) {
            text::appendUtf8(out, 0xFFFD);
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

std::string trimmedText(const xml::Element& element)
{
    return validText(text::trimControls(element.text()));
}
