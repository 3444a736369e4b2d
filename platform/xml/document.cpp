#include "platform/xml/document.h"

#include <pugixml.hpp>

#include <fstream>
#include <iterator>

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

} // namespace

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
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("Não foi possível ler o arquivo XML \"" + path + "\"");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Error("Não foi possível ler o arquivo XML \"" + path + "\"");
    const pugi::xml_parse_result result =
        doc_->load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        const auto [line, column] = lineAndColumn(bytes, result.offset);
        doc_->reset();
        throw Error("O arquivo XML \"" + path + "\" não é válido: " + result.description() + " (linha "
                    + std::to_string(line) + ", coluna " + std::to_string(column) + ")");
    }
    if (!doc_->document_element()) {
        throw Error("O arquivo XML \"" + path + "\" não é válido: no document element");
    }
}

Element Document::root() const { return Element(doc_->document_element().internal_object()); }

} // namespace xml
