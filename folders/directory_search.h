#pragma once

#include "platform/os/file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One entry of a directory enumeration: the name and its attribute word.
struct TSearchRec {
    std::string Name;  // UTF-8 as shown: bytes that are no text written as escapes
    uint32_t Attr = 0;
    std::string nativeName;  // the name's own bytes, which open the file
    // Kind and size, links followed, looked at as the search reaches the
    // entry; kind None or Unknown when it could not be.
    os::Facts Facts;
};

inline constexpr uint32_t faDirectory = 0x10;

// A directory enumeration in name order without regard to case, as the host's
// platform lists a folder: every kind of entry (files, folders, hidden ones),
// but "." and "..", one at a time, as find-first and find-next give them. A
// link counts as what it points to. Folder names are the file system's bytes.
class DirectorySearch {
public:
    DirectorySearch() = default;
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    // Opens folder and moves to the first entry whose name matches pattern
    // ("*.*" for all, "*.ext" for an extension without regard to case).
    // Returns 0 when an entry was found, else the platform's status:
    // pathNotFound or noMoreFiles.
    int32_t findFirst(const std::string& folder, std::string_view pattern, TSearchRec& entry);
    int32_t findNext(TSearchRec& entry);
    void close();
    // How many entries the pattern matched.
    size_t size() const { return names_.size(); }
    // The i-th entry of the listing, looked at without moving the search
    // and without looking at the file: its name as shown and as the file
    // system spells it.
    const std::string& shownName(size_t i) const { return names_.at(i).shown; }
    const std::string& nativeName(size_t i) const { return names_.at(i).native; }

private:
    bool matches(const std::string& name) const;

    struct Name {
        std::u16string key;  // the name in capitals, compared as UTF-16 as Windows does
        std::string shown;
        std::string native;  // as the file system spells it
    };
    std::vector<Name> names_;  // in listing order
    size_t next_ = 0;
    std::string folder_;
    std::string extension_;  // empty: every entry
};

// Folds the ASCII letters only, as the folder search compares names.
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

// The capitals of a name as the listing orders it: the letters of the Latin,
// Greek and Cyrillic alphabets in capitals ("ß" as "SS"), every other
// character as it is; in UTF-16.
std::u16string listingKey(std::string_view name);

// The statuses of a search that found nothing, as the host's platform numbers them.
inline constexpr int32_t pathNotFound = 3;
inline constexpr int32_t noMoreFiles = 18;
