#include "platform/xml/document.h"

#include <pugixml.hpp>

#include "platform/os/file.h"
#include "platform/text/visible_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace xml {
namespace {

// Line and column (1-based) of a byte offset into the file's bytes.
std::pair<long, long> lineAndColumn(const std::string& bytes, ptrdiff_t offset)
{
    long line = 1;
    long column = 1;
    for (ptrdiff_t i = 0; i < offset && i < ptrdiff_t(bytes.size()); ++i) {
        if (bytes[size_t(i)] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

const char* nameOf(os::Kind kind)
{
    switch (kind) {
    case os::Kind::Folder: return "pasta";
    case os::Kind::Fifo: return "FIFO";
    case os::Kind::Socket: return "socket";
    case os::Kind::Device: return "dispositivo";
    case os::Kind::None:
    case os::Kind::Regular:
    case os::Kind::Link:
    case os::Kind::Other:
    case os::Kind::Unknown: break;
    }
    return "tipo desconhecido";
}

} // namespace

std::string passedOver(const os::Facts& facts, const std::string& shown)
{
    if (facts.kind == os::Kind::None || facts.kind == os::Kind::Unknown)
        return {};  // not looked at: opening it tells what is wrong
    return passedOver(facts.kind, facts.size, shown);
}

std::string passedOver(os::Kind kind, uint64_t size, const std::string& shown)
{
    if (kind != os::Kind::Regular)
        return std::string("O item \"") + shown + "\" não é um arquivo comum (" + nameOf(kind) + ") e foi ignorado.";
    if (size > largestFile)
        return "O arquivo \"" + shown + "\" tem " + std::to_string(size) + " bytes, mais que o limite de "
               + std::to_string(largestFile) + " bytes (32 MiB) de um arquivo XML, e foi ignorado.";
    return {};
}

RootElement rootElementOf(const std::string& path)
{
    // A root element starts within the first few hundred bytes; what lies
    // before it (declaration, comments, a document type) is passed over.
    constexpr size_t looked = 64 * 1024;
    os::File file;
    if (!os::File::openForReading(path, file) || file.kind() != os::Kind::Regular)
        return {};
    std::string raw(std::min(looked, size_t(std::max<int64_t>(file.size(), 0))), '\0');
    size_t n = 0;
    if (!file.readSomeAt(reinterpret_cast<uint8_t*>(raw.data()), raw.size(), 0, n) || n == 0)
        return {};
    raw.resize(n);
    std::string text;
    if (raw.starts_with("\xFF\xFE") || raw.starts_with("\xFE\xFF")) {
        // UTF-16: the markup is ASCII, one byte of each pair.
        const size_t low = raw.starts_with("\xFF\xFE") ? 0 : 1;
        for (size_t i = 2 + low; i < raw.size(); i += 2)
            text += raw[i];
    } else {
        text = raw.starts_with("\xEF\xBB\xBF") ? raw.substr(3) : raw;
    }
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        if (text.compare(at, 4, "<!--") == 0) {
            at = text.find("-->", at);
            continue;
        }
        if (text.compare(at, 2, "<?") == 0 || text.compare(at, 2, "<!") == 0) {
            at = text.find('>', at);
            continue;
        }
        const size_t end = text.find('>', at);
        if (end == std::string::npos)
            return {};
        const std::string tag = text.substr(at + 1, end - at - 1);
        const size_t nameEnd = tag.find_first_of(" \t\r\n/");
        const std::string name = tag.substr(0, nameEnd);
        const size_t colon = name.find(':');
        const std::string prefix = colon == std::string::npos ? std::string() : name.substr(0, colon);
        RootElement root{colon == std::string::npos ? name : name.substr(colon + 1), {}};
        const std::string declaration = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
        for (size_t a = tag.find(declaration); a != std::string::npos; a = tag.find(declaration, a + 1)) {
            size_t p = a + declaration.size();
            while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p])))
                ++p;
            if (p >= tag.size() || tag[p] != '=')
                continue;
            const size_t open = tag.find_first_of("\"'", p);
            const size_t close = open == std::string::npos ? open : tag.find(tag[open], open + 1);
            if (close != std::string::npos)
                root.namespaceUri = tag.substr(open + 1, close - open - 1);
            break;
        }
        return root;
    }
    return {};
}

std::string passedOver(const std::string& path, const std::string& shown)
{
    return passedOver(os::factsOf(path, true), shown);
}

Element Element::child(std::string_view name) const
{
    for (pugi::xml_node c = pugi::xml_node(node_).first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && name == c.name())
            return Element(c.internal_object());
    }
    return Element();
}

Element Element::childStartingWith(std::string_view prefix) const
{
    for (pugi::xml_node c = pugi::xml_node(node_).first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && std::string_view(c.name()).starts_with(prefix))
            return Element(c.internal_object());
    }
    return Element();
}

std::vector<Element> Element::children(std::string_view name) const
{
    std::vector<Element> found;
    for (pugi::xml_node c = pugi::xml_node(node_).first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && name == c.name())
            found.push_back(Element(c.internal_object()));
    }
    return found;
}

std::vector<Element> Element::descendants(std::string_view name, std::initializer_list<std::string_view> notInside) const
{
    // The first character tells most names apart without measuring them.
    const auto named = [](const char* n, std::string_view wanted) { return n[0] == wanted.front() && wanted == n; };
    std::vector<Element> found;
    const pugi::xml_node top(node_);
    if (!top || name.empty())
        return found;
    // Depth first in document order, without recursion: a deep file must not
    // exhaust the stack.
    for (pugi::xml_node n = top; n;) {
        bool enter = n == top;
        if (n.type() == pugi::node_element) {
            const char* own = n.name();
            if (named(own, name))
                found.push_back(Element(n.internal_object()));
            enter = enter || std::none_of(notInside.begin(), notInside.end(),
                                          [&](std::string_view skip) { return !skip.empty() && named(own, skip); });
        }
        if (enter && n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n != top && !n.next_sibling())
            n = n.parent();
        n = n == top ? pugi::xml_node() : n.next_sibling();
    }
    return found;
}

Element Element::parent() const
{
    const pugi::xml_node p = pugi::xml_node(node_).parent();
    return p.type() == pugi::node_element ? Element(p.internal_object()) : Element();
}

std::string Element::attribute(std::string_view name) const
{
    for (pugi::xml_attribute a = pugi::xml_node(node_).first_attribute(); a; a = a.next_attribute()) {
        if (name == a.name())
            return a.value();
    }
    return {};
}

Element Element::path(std::initializer_list<std::string_view> names) const
{
    Element e = *this;
    for (std::string_view n : names)
        e = e.child(n);
    return e;
}

std::string Element::text() const
{
    const pugi::xml_node node(node_);
    const pugi::xml_node first = node.first_child();
    if (!first)
        return {};
    const bool single = !first.next_sibling();
    if (single && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata))
        return first.value();
    throw Error("Element \"" + name() + "\" does not contain a single text node");
}

std::string Element::name() const { return pugi::xml_node(node_).name(); }

Document::Document() : doc_(std::make_unique<pugi::xml_document>()) {}

Document::~Document() = default;

void Document::load(const std::string& path)
{
    doc_->reset();
    const std::string shown = text::visible(path);
    const std::string unreadable = "Não foi possível ler o arquivo XML \"" + shown + "\"";
    // Without blocking: a FIFO or a device must not stall the reader.
    os::File file;
    if (const os::Status s = os::File::openForReading(path, file); !s) {
        if (s.error() == ENXIO)  // a socket
            throw SkippedFile(passedOver(os::Kind::Socket, 0, shown));
        throw Error(unreadable);
    }
    const os::Kind kind = file.kind();
    if (kind == os::Kind::Unknown)
        throw Error(unreadable);
    if (const std::string reason = passedOver(kind, uint64_t(file.size()), shown); !reason.empty())
        throw SkippedFile(reason);
    // One byte more than the limit tells a file that grew since it was looked at.
    std::string bytes;
    bytes.resize(size_t(file.size()) + 1);
    size_t got = 0;
    while (got < bytes.size()) {
        size_t n = 0;
        if (!file.readSomeAt(reinterpret_cast<uint8_t*>(bytes.data() + got), bytes.size() - got, int64_t(got), n))
            throw Error(unreadable);
        if (n == 0)
            break;
        got += n;
        if (got > largestFile)
            throw SkippedFile(passedOver(os::Kind::Regular, got, shown));
        if (got == bytes.size())
            bytes.resize(std::min<size_t>(bytes.size() * 2, largestFile + 1));
    }
    bytes.resize(got);
    const pugi::xml_parse_result result =
        doc_->load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        const auto [line, column] = lineAndColumn(bytes, result.offset);
        doc_->reset();
        throw Error("O arquivo XML \"" + shown + "\" não é válido: " + result.description() + " (linha "
                    + std::to_string(line) + ", coluna " + std::to_string(column) + ")");
    }
    if (!doc_->document_element()) {
        throw Error("O arquivo XML \"" + shown + "\" não é válido: no document element");
    }
}

Element Document::root() const { return Element(doc_->document_element().internal_object()); }

} // namespace xml
