#include "host/ini_file.h"

#include "host/host_paths.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

namespace {

// The characters of Windows-1252 at 0x80..0x9F; its five unassigned bytes
// stand for the C1 controls of the same code, as in Latin-1.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u16string utf16Units(std::string_view bytes, bool bigEndian)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units += bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
    }
    return units;
}

std::string trimmed(std::string_view s) { return std::string(text::trimWhitespace(s)); }

} // namespace

std::string decodeWindowsText(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return text::validText(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return text::utf16ToUtf8(utf16Units(bytes.substr(2), false));
    if (bytes.starts_with("\xFE\xFF"))
        return text::utf16ToUtf8(utf16Units(bytes.substr(2), true));
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        text::appendUtf8(out, c >= 0x80 && c < 0xA0 ? windows1252High[c - 0x80] : char32_t(c));
    }
    return out;
}

bool IniFile::load(const std::string& path, std::string* error)
{
    entries_.clear();
    std::string bytes;
    if (!readHostFile(path, bytes, error))
        return false;
    const std::string text = decodeWindowsText(bytes);
    std::string section;
    bool inSection = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.starts_with('[')) {
            const size_t close = line.find(']');
            section = trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inSection = true;
            continue;
        }
        const size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos)
            continue;
        std::string value = trimmed(std::string_view(line).substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        entries_.push_back({section, trimmed(std::string_view(line).substr(0, eq)), value});
    }
    return true;
}

const IniFile::Entry* IniFile::find(std::string_view section, std::string_view key) const
{
    for (const Entry& e : entries_)
        if (text::equalsIgnoringCase(e.section, section) && text::equalsIgnoringCase(e.key, key))
            return &e;
    return nullptr;
}

std::string IniFile::value(std::string_view section, std::string_view key, const std::string& defaultValue) const
{
    const Entry* e = find(section, key);
    return e ? e->value : defaultValue;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const { return find(section, key) != nullptr; }
