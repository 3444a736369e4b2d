#include "folders/directory_search.h"

#include "platform/os/folder.h"
#include "platform/text/utf8_text.h"
#include "platform/text/visible_text.h"

#include <algorithm>
#include <vector>

namespace {

// The capital of a lower-case letter of the alphabets a name may be written
// in; any other character stays.
char32_t upperOf(char32_t c)
{
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return c - 0x20;
    if (c == 0xB5)
        return 0x39C;
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A: pairs, the capital first, but for the runs that pair
    // the other way round and the letters without a pair.
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131)
            return U'I';
        if (c == 0x17F)
            return U'S';
        if (c == 0x130 || c == 0x138 || c == 0x149)
            return c;
        const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddCapital)
            return c % 2 == 0 ? c - 1 : c;
        return c % 2 == 1 ? c - 1 : c;
    }
    if ((c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
        return c - 0x20;
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

} // namespace

std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return out;
}

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return out;
}

std::u16string listingKey(std::string_view name)
{
    std::u16string key;
    key.reserve(name.size());
    while (!name.empty()) {
        char32_t c = 0;
        name.remove_prefix(text::codePointAt(name, c));
        if (c == 0xDF)
            key += u"SS";
        else
            text::appendUtf16(key, upperOf(c));
    }
    return key;
}

DirectorySearch::~DirectorySearch() { close(); }

void DirectorySearch::close()
{
    names_.clear();
    next_ = 0;
}

bool DirectorySearch::matches(const std::string& name) const
{
    return extension_.empty() || asciiUpper(name).ends_with(extension_);
}

int32_t DirectorySearch::findFirst(const std::string& folder, std::string_view pattern, TSearchRec& entry)
{
    close();
    folder_ = folder;
    extension_ = pattern == "*.*" ? std::string() : asciiUpper(pattern.substr(1));
    std::vector<std::string> native;
    // A folder that can't be read is reported as one that isn't there.
    if (!os::namesIn(folder, native))
        return pathNotFound;
    for (std::string& raw : native) {
        std::string name = text::visible(raw);
        if (matches(name))
            names_.push_back({listingKey(name), std::move(name), std::move(raw)});
    }
    // Windows lists a folder in name order without regard to case.
    std::sort(names_.begin(), names_.end(), [](const Name& a, const Name& b) {
        return a.key != b.key ? a.key < b.key : a.native < b.native;
    });
    return findNext(entry);
}

int32_t DirectorySearch::findNext(TSearchRec& entry)
{
    if (next_ >= names_.size())
        return noMoreFiles;
    const Name& name = names_[next_++];
    entry.Name = name.shown;
    entry.nativeName = name.native;
    entry.Facts = os::factsOf(folder_ + '/' + name.native, true);
    entry.Attr = entry.Facts.kind == os::Kind::Folder ? faDirectory : 0;
    return 0;
}
