#pragma once

#include <QString>
#include <optional>

// A value read from a registry file of a Wine prefix (system.reg).
struct RegistryValue {
    enum class Type { String, ExpandableString, Other } type = Type::String;
    QString text;  // decoded, for the two string types
};

// The registry as a Wine prefix keeps it: text with "[key] time" lines and
// "name"=value lines, backslashes and quotes escaped.
class RegistryFile {
public:
    // False when the file can't be read.
    bool load(const QString& path);

    // Whether the prefix is 64-bit ("#arch=win64").
    bool is64Bit() const { return win64_; }

    // The key (names without regard to case, "\" between parts) exists.
    bool hasKey(const QString& key) const;
    // The value of a key, empty when either is missing.
    std::optional<RegistryValue> value(const QString& key, const QString& name) const;

private:
    QString text_;
    bool win64_ = false;
};

// Decodes the escapes of a quoted registry string (without its quotes).
QString decodeRegistryString(const QString& quoted);
