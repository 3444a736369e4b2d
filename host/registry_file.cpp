#include "host/registry_file.h"

#include "host/host_paths.h"
#include "host/ini_file.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

namespace {

// Calls each(line) for every line of text, "\n" between them.
template <typename Each>
void forEachLine(std::string_view text, Each each)
{
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (!each(text.substr(start, end - start)))
            return;
        start = end + 1;
    }
}

// The key of a "[...]" line, its escapes decoded.
std::string keyOfLine(std::string_view line)
{
    const size_t end = line.rfind(']');
    return decodeRegistryString(end == std::string_view::npos ? line.substr(1) : line.substr(1, end - 1));
}

// Splits "name"=value; the name may hold escaped quotes.
bool splitValueLine(std::string_view line, std::string& name, std::string_view& value)
{
    if (line.starts_with('@')) {
        name.clear();
        const size_t eq = line.find('=');
        value = eq == std::string_view::npos ? line : line.substr(eq + 1);
        return line.size() > 1 && line[1] == '=';
    }
    if (!line.starts_with('"'))
        return false;
    size_t i = 1;
    while (i < line.size() && line[i] != '"')
        i += line[i] == '\\' ? 2 : 1;
    if (i + 1 >= line.size() || line[i + 1] != '=')
        return false;
    name = decodeRegistryString(line.substr(1, i - 1));
    value = line.substr(i + 2);
    return true;
}

// The text between the first and the last quote of a value.
std::string quotedPart(std::string_view value)
{
    const size_t first = value.find('"');
    const size_t last = value.rfind('"');
    return first != std::string_view::npos && last > first ? decodeRegistryString(value.substr(first + 1, last - first - 1))
                                                           : std::string();
}

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isOctal(char16_t c) { return c >= '0' && c <= '7'; }

} // namespace

std::string decodeRegistryString(std::string_view quoted)
{
    // In UTF-16 units, as the escapes count them.
    const std::u16string s = text::utf8ToUtf16(quoted);
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char16_t c = s[++i];
        switch (c) {
        case 'n': out += u'\n'; break;
        case 'r': out += u'\r'; break;
        case 't': out += u'\t'; break;
        case 'a': out += u'\a'; break;
        case 'b': out += u'\b'; break;
        case 'e': out += char16_t(0x1B); break;
        case 'f': out += u'\f'; break;
        case 'v': out += u'\v'; break;
        case 'x': {
            unsigned code = 0;
            for (int digits = 0; digits < 4 && i + 1 < s.size() && hexValue(s[i + 1]) >= 0; ++digits)
                code = code * 16 + unsigned(hexValue(s[++i]));
            out += char16_t(code);
            break;
        }
        default:
            if (isOctal(c)) {
                unsigned code = unsigned(c - '0');
                for (int k = 0; k < 2 && i + 1 < s.size() && isOctal(s[i + 1]); ++k)
                    code = code * 8 + unsigned(s[++i] - '0');
                out += char16_t(code);
            } else {
                out += c;
            }
        }
    }
    return text::utf16ToUtf8(out);
}

bool RegistryFile::load(const std::string& path)
{
    std::string bytes;
    if (!readHostFile(path, bytes))
        return false;
    const std::string_view raw = bytes;
    // Wine writes UTF-8; a file saved by the registry editor is UTF-16.
    text_ = raw.starts_with("\xFF\xFE") ? decodeWindowsText(raw) : text::validText(raw);
    win64_ = false;
    forEachLine(text_, [&](std::string_view line) {
        if (text::trimWhitespace(line) == "#arch=win64")
            win64_ = true;
        return !line.starts_with('[');
    });
    return true;
}

bool RegistryFile::hasKey(std::string_view key) const
{
    bool found = false;
    forEachLine(text_, [&](std::string_view line) {
        found = line.starts_with('[') && text::equalsIgnoringCase(keyOfLine(line), key);
        return !found;
    });
    return found;
}

std::optional<RegistryValue> RegistryFile::value(std::string_view key, std::string_view name) const
{
    bool inKey = false;
    std::optional<RegistryValue> found;
    forEachLine(text_, [&](std::string_view line) {
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.starts_with('[')) {
            if (inKey)
                return false;
            inKey = text::equalsIgnoringCase(keyOfLine(line), key);
            return true;
        }
        std::string valueName;
        std::string_view value;
        if (!inKey || !splitValueLine(line, valueName, value) || !text::equalsIgnoringCase(valueName, name))
            return true;
        if (value.starts_with('"'))
            found = RegistryValue {RegistryValue::Type::String, quotedPart(value)};
        else if (value.starts_with("str(2):"))
            found = RegistryValue {RegistryValue::Type::ExpandableString, quotedPart(value)};
        else if (value.starts_with("str:"))
            found = RegistryValue {RegistryValue::Type::String, quotedPart(value)};
        else
            found = RegistryValue {RegistryValue::Type::Other, {}};
        return false;
    });
    return found;
}
