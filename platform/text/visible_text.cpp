#include "platform/text/visible_text.h"

#include "platform/text/utf8_text.h"

#include <cstdint>

namespace text {
namespace {

void appendEscape(std::string& out, uint8_t b)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    out += "\\x";
    out += hex[b >> 4];
    out += hex[b & 0xF];
}

} // namespace

size_t utf8Sequence(std::string_view bytes, char32_t& c)
{
    if (bytes.empty())
        return 0;
    const auto b = uint8_t(bytes[0]);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    size_t n = 0;
    char32_t least = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        least = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < n)
        return 0;
    char32_t code = b & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const auto next = uint8_t(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < least || code > 0x10FFFF || surrogate)
        return 0;
    c = code;
    return n;
}

std::string visible(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const auto b = uint8_t(bytes[at]);
        if (b >= 0x80) {
            char32_t c = 0;
            const size_t n = utf8Sequence(bytes.substr(at), c);
            if (n == 0) {
                appendEscape(out, b);
                ++at;
            } else {
                out.append(bytes.substr(at, n));
                at += n;
            }
            continue;
        }
        if (b == '\r')
            out += "\\r";
        else if (b == '\n')
            out += "\\n";
        else if (b == '\t')
            out += "\\t";
        else if (b < 0x20 || b == 0x7F)
            appendEscape(out, b);
        else
            out += char(b);
        ++at;
    }
    return out;
}

std::string validText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        const size_t length = utf8Sequence(bytes, c);
        if (length == 0) {
            appendUtf8(out, 0xFFFD);
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

} // namespace text
