#pragma once

#include <optional>
#include <string>
#include <string_view>

// A value read from a registry file of a Wine prefix (system.reg).
struct RegistryValue {
    enum class Type { String, ExpandableString, Other } type = Type::String;
    std::string text;  // decoded (UTF-8), for the two string types
};

// The registry as a Wine prefix keeps it: text with "[key] time" lines and
// "name"=value lines, backslashes and quotes escaped. Keys, names and paths
// are UTF-8.
class RegistryFile {
public:
    // False when the file can't be read.
    bool load(const std::string& path);

    // Whether the prefix is 64-bit ("#arch=win64").
    bool is64Bit() const { return win64_; }

    // The key (names without regard to case, "\" between parts) exists.
    bool hasKey(std::string_view key) const;
    // The value of a key, empty when either is missing.
    std::optional<RegistryValue> value(std::string_view key, std::string_view name) const;

private:
    std::string text_;
    bool win64_ = false;
};

// Decodes the escapes of a quoted registry string (without its quotes).
// "\x" takes up to four hex digits and an octal escape up to three digits,
// each one UTF-16 unit: two in a row may make one character.
std::string decodeRegistryString(std::string_view quoted);
