#include "platform/os/strftime_pattern.h"

#include <algorithm>
#include <cctype>

namespace os {
namespace {

// The pattern of one conversion, empty for one we leave out.
std::string_view patternOf(char conversion)
{
    switch (conversion) {
    case 'a': return "ddd";
    case 'A': return "dddd";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'd': return "dd";
    case 'e': return "d";
    case 'm': return "MM";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'D': return "MM/dd/yy";
    case 'F': return "yyyy-MM-dd";
    case 'H': return "HH";
    case 'k': return "H";
    case 'I': return "hh";
    case 'l': return "h";
    case 'M': return "mm";
    case 'S': return "ss";
    case 'p':
    case 'P': return "tt";
    case 'R': return "HH:mm";
    case 'T': return "HH:mm:ss";
    case 'n':
    case 't': return " ";
    default: return {};
    }
}

// A two-digit field: dd, MM, HH...
bool isNumber(std::string_view field)
{
    return field.size() == 2 && field[0] == field[1] && std::string_view("dMHhms").find(field[0]) != std::string_view::npos;
}

// Literal text as a pattern: a run with a letter or a quote goes in quotes,
// so that it never reads as pattern letters; other characters stay bare,
// since the first of them tells the separator of a date.
void appendLiteral(std::string& out, std::string_view literal)
{
    const bool quoted = std::any_of(literal.begin(), literal.end(), [](char c) {
        return c == '\'' || std::isalpha(static_cast<unsigned char>(c));
    });
    if (!quoted) {
        out += literal;
        return;
    }
    out += '\'';
    for (char c : literal)
        out += c == '\'' ? std::string_view("''") : std::string_view(&c, 1);
    out += '\'';
}

// Runs of blanks become one, and none stays at either end: a time zone left
// out would otherwise leave its blank behind.
std::string withSingleBlanks(const std::string& pattern)
{
    std::string out;
    for (char c : pattern) {
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace

std::string patternOfStrftime(std::string_view format, std::string_view ampmFormat)
{
    std::string out;
    std::string literal;
    for (size_t at = 0; at < format.size(); ++at) {
        if (format[at] != '%' || at + 1 == format.size()) {
            literal += format[at];
            continue;
        }
        ++at;
        // Flags, widths and the E and O modifiers change no field here, but
        // for '-': no leading zero.
        bool unpadded = false;
        while (at + 1 < format.size()
               && (std::string_view("_-0^#EO").find(format[at]) != std::string_view::npos
                   || std::isdigit(static_cast<unsigned char>(format[at])))) {
            unpadded = unpadded || format[at] == '-';
            ++at;
        }
        const char conversion = format[at];
        if (conversion == '%') {
            literal += '%';
            continue;
        }
        appendLiteral(out, literal);
        literal.clear();
        if (conversion == 'r')
            out += patternOfStrftime(ampmFormat.empty() ? "%I:%M:%S %p" : ampmFormat, "%I:%M:%S %p");
        else if (const std::string_view field = patternOf(conversion); unpadded && isNumber(field))
            out += field.substr(1);
        else
            out += field;
    }
    appendLiteral(out, literal);
    return withSingleBlanks(out);
}

} // namespace os
