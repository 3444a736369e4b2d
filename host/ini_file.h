#pragma once

#include <string>
#include <string_view>
#include <vector>

// An INI file read with the rules of the Windows INI reader: section and key
// names without regard to case, the first match wins, values trimmed with one
// pair of enclosing quotes removed, lines starting with ";" left out; text in
// Windows-1252 unless the file starts with a UTF-16 or UTF-8 byte-order mark.
// Paths, names and values are UTF-8.
class IniFile {
public:
    // False when the file can't be read; error then tells the system's reason.
    bool load(const std::string& path, std::string* error = nullptr);

    // The value, or defaultValue when the section or key is missing.
    std::string value(std::string_view section, std::string_view key, const std::string& defaultValue = {}) const;
    bool hasKey(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    const Entry* find(std::string_view section, std::string_view key) const;

    std::vector<Entry> entries_;
};

// The text (UTF-8) of bytes in Windows-1252, or as a byte-order mark says.
std::string decodeWindowsText(std::string_view bytes);
