#include "nfe/integer_text.h"

bool textToInt32(std::string_view text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0'
               && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return false;
        magnitude = magnitude * uint64_t(base) + uint64_t(digit);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (base == 16) {
        const auto bits = int32_t(uint32_t(magnitude));
        value = negative ? int32_t(0u - uint32_t(bits)) : bits;
        return true;
    }
    if (magnitude > (negative ? 2147483648ull : 2147483647ull))
        return false;
    value = negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
    return true;
}
