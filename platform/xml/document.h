#pragma once

#include "platform/os/file.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_document;
struct xml_node_struct;
}

namespace xml {

// Raised for a file that can't be read or isn't well-formed, and for an
// element read as text that holds anything but one piece of text.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised for a file that is passed over rather than read: not a regular file
// (a FIFO, a device, a folder...), or larger than any export file.
class SkippedFile : public Error {
public:
    using Error::Error;
};

// Export files are a few kilobytes; nothing larger than this is read.
inline constexpr uint64_t largestFile = uint64_t(32) << 20;

// Why the file at path is passed over, looked at without opening it (links
// followed); empty for a regular file within the size limit. The message
// names the file as shown.
std::string passedOver(const std::string& path, const std::string& shown);
// The same for a file already looked at without opening it (a folder
// listing's entry): nothing to say when it could not be looked at.
std::string passedOver(const os::Facts& facts, const std::string& shown);
// The same for a file of a known kind and size.
std::string passedOver(os::Kind kind, uint64_t size, const std::string& shown);

// The root element of a file, told from its first bytes only: its local
// name and namespace. Empty when the file starts with no element (or is no
// XML) within the bytes looked at.
struct RootElement {
    std::string localName;
    std::string namespaceUri;
};
RootElement rootElementOf(const std::string& path);

// An element of a loaded document, or a missing one. A missing element has no
// children and reads as the empty text, so lookups chain without checks.
class Element {
public:
    Element() = default;

    // The first child element whose name equals name exactly.
    Element child(std::string_view name) const;
    // The first child element whose name begins with prefix.
    Element childStartingWith(std::string_view prefix) const;
    // Every child element of that name, in document order.
    std::vector<Element> children(std::string_view name) const;
    // Every element of that name at any depth below this one, this one
    // included, in document order; the elements named in notInside are not
    // looked into (a large part of the document known to hold none).
    std::vector<Element> descendants(std::string_view name,
                                     std::initializer_list<std::string_view> notInside = {}) const;
    // The element this one is a child of; a missing element for the root.
    Element parent() const;
    // The value of an attribute; empty when there is none.
    std::string attribute(std::string_view name) const;
    // Follows a path of child names, one level each.
    Element path(std::initializer_list<std::string_view> names) const;
    // The text of an element without children is empty; of one whose only
    // child is a text or CDATA node, that node's value (UTF-8); anything else
    // raises Error.
    std::string text() const;
    std::string name() const;
    bool exists() const { return node_ != nullptr; }

private:
    friend class Document;
    explicit Element(pugi::xml_node_struct* node) : node_(node) {}

    pugi::xml_node_struct* node_ = nullptr;
};

// One XML document; each load replaces the previous content. Files in UTF-8,
// UTF-16 with a byte-order mark, and ISO-8859-1 (as declared) are read. No DTD
// is processed and no external entity is ever fetched.
class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Raises Error naming the file, and the line and column of a syntax error;
    // SkippedFile for what passedOver() refuses, judged on the open file.
    // Opening never blocks and nothing past the size limit is read.
    void load(const std::string& path);
    Element root() const;

private:
    std::unique_ptr<pugi::xml_document> doc_;
};

} // namespace xml
