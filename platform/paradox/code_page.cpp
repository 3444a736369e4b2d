#include "platform/paradox/code_page.h"

#include "platform/os/code_pages.h"

namespace paradox {

CodePage::CodePage(int number) : number_(number) {}

std::string CodePage::toUtf8(std::string_view bytes) const
{
    if (number_ == 0)
        return std::string(bytes);
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && (static_cast<unsigned char>(c) < 0x80);
    if (ascii)
        return std::string(bytes);
    if (auto text = os::decodeCodePage(number_, bytes))
        return *text;
    // A byte the code page leaves undefined: keep every byte visible.
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (auto one = os::decodeCodePage(number_, std::string_view(&c, 1))) {
            out += *one;
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

std::optional<std::string> CodePage::fromUtf8(std::string_view text) const
{
    bool ascii = true;
    for (char c : text)
        ascii = ascii && (static_cast<unsigned char>(c) < 0x80);
    if (ascii || number_ == 0)
        return std::string(text);
    return os::encodeCodePage(number_, text);
}

} // namespace paradox
