#include "platform/paradox/primary_index.h"

#include "platform/paradox/file_names.h"

#include "platform/paradox/block.h"
#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"
#include "platform/paradox/file_lock.h"
#include "platform/paradox/journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>

namespace paradox {
namespace {

// Block numbers and counts in index entries are sortable shorts.
uint16_t sortableShort(const uint8_t* p) { return uint16_t(bytes::sortableSigned(p, 2)); }
void putSortableShort(uint8_t* p, uint16_t v) { bytes::putSortableSigned(p, 2, int16_t(v)); }


} // namespace

PrimaryIndex::PrimaryIndex(std::string path, const Header& table, Journal& journal)
    : path_(std::move(path)), journal_(journal)
{
    reopen();
    load();
    const std::string name = fileNameOf(path_);
    // A primary index, or the index of a secondary index file (.Ynn, .YGn).
    if (header_.fileType != FileType::PrimaryIndex && header_.fileType != FileType::SecondaryIndexOfX
        && header_.fileType != FileType::CompositeIndexOfX)
        throw Error("O arquivo " + name + " não é um índice primário.");
    bool fits = int(header_.fields.size()) == table.keyFieldCount;
    int width = 0;
    for (size_t i = 0; fits && i < header_.fields.size(); ++i) {
        fits = header_.fields[i].type == table.fields[i].type && header_.fields[i].size == table.fields[i].size;
        width += header_.fields[i].size;
    }
    if (!fits || width != keyWidth_)
        throw Error("O índice " + name + " não corresponde à chave da tabela.");
}

PrimaryIndex::~PrimaryIndex() = default;

void PrimaryIndex::reopen()
{
    if (const auto status = os::File::open(path_, os::Access::ReadWrite, file_); !status)
        throw errorOf("Não foi possível abrir o índice " + path_, status);
}

void PrimaryIndex::load()
{
    std::vector<uint8_t> image(size_t(std::max<int64_t>(journal_.size(path_, file_), 0)));
    if (!journal_.read(path_, file_, image.data(), image.size(), 0))
        throw Error("Não foi possível ler o índice " + path_);
    const std::string problem = parseHeader(image.data(), image.size(), image.size(), header_);
    if (!problem.empty())
        throw Error("O índice " + fileNameOf(path_) + " está danificado: " + problem + ".");
    keyWidth_ = header_.recordSize - 6;
    image.resize(size_t(header_.headerSize) + size_t(header_.blocksInFile) * size_t(header_.blockSize), 0);
    nodes_.clear();
    root_ = -1;
    indexNodes();
    if (header_.indexLevels == 0)
        return;
    std::vector<bool> seen(size_t(header_.blocksInFile) + 1, false);
    root_ = loadNode(image, header_.indexRoot, header_.indexLevels, -1, seen);
    indexNodes();
}

int PrimaryIndex::loadNode(const std::vector<uint8_t>& image, int block, int level, int parent,
                           std::vector<bool>& seen)
{
    const Header& h = header_;
    auto damaged = [&] {
        return Error("O índice " + fileNameOf(path_) + " está danificado (bloco " + std::to_string(block) + ").");
    };
    if (block < 1 || block > h.blocksInFile || seen[size_t(block)])
        throw damaged();
    seen[size_t(block)] = true;
    const ConstBlock b(image.data() + h.headerSize + size_t(block - 1) * size_t(h.blockSize), h.recordSize);
    if (!b.countValid(h.capacity()))
        throw damaged();
    Node node;
    node.block = block;
    node.level = level;
    node.parent = parent;
    node.next = b.next();
    node.prev = b.prev();
    for (int i = 0; i < b.count(); ++i) {
        const uint8_t* e = b.record(i);
        node.entries.push_back({std::vector<uint8_t>(e, e + keyWidth_), sortableShort(e + keyWidth_),
                                sortableShort(e + keyWidth_ + 2)});
    }
    const int index = int(nodes_.size());
    nodes_.push_back(std::move(node));
    if (level > 1) {
        for (size_t i = 0; i < nodes_[size_t(index)].entries.size(); ++i)
            loadNode(image, nodes_[size_t(index)].entries[i].child, level - 1, index, seen);
    }
    return index;
}

int PrimaryIndex::capacity() const { return header_.capacity(); }

// (node, entry) of every leaf entry, in key order.
std::vector<std::pair<int, int>> PrimaryIndex::leafPositions() const
{
    std::vector<std::pair<int, int>> out;
    if (root_ < 0)
        return out;
    std::vector<int> stack{root_};
    // Children of a node are found through their blocks.
    std::vector<int> nodeOfBlock(size_t(header_.blocksInFile) + 2, -1);
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (size_t(nodes_[i].block) < nodeOfBlock.size())
            nodeOfBlock[size_t(nodes_[i].block)] = int(i);
    auto visit = [&](auto&& self, int node) -> void {
        const Node& n = nodes_[size_t(node)];
        for (size_t i = 0; i < n.entries.size(); ++i) {
            if (n.level == 1)
                out.emplace_back(node, int(i));
            else
                self(self, nodeOfBlock.at(n.entries[i].child));
        }
    };
    visit(visit, root_);
    return out;
}

bool PrimaryIndex::describes(const std::vector<Leaf>& leaves) const
{
    const auto positions = leafPositions();
    if (positions.size() != leaves.size())
        return false;
    for (size_t i = 0; i < leaves.size(); ++i) {
        const Entry& e = nodes_[size_t(positions[i].first)].entries[size_t(positions[i].second)];
        if (e.key != leaves[i].key || e.child != leaves[i].block || e.count != leaves[i].count)
            return false;
    }
    // Upper entries name their child's first key and the sum of its counts.
    for (const Node& n : nodes_) {
        if (n.parent < 0)
            continue;
        const Node& parent = nodes_[size_t(n.parent)];
        uint32_t sum = 0;
        for (const Entry& e : n.entries)
            sum += e.count;
        bool found = false;
        for (const Entry& e : parent.entries)
            found = found || (e.child == n.block && !n.entries.empty() && e.key == n.entries[0].key && e.count == sum);
        if (!found)
            return false;
    }
    return header_.indexLevels == 0 ? leaves.empty() : true;
}

void PrimaryIndex::indexNodes()
{
    nodeOfBlock_.clear();
    leafOfDataBlock_.clear();
    for (size_t i = 0; i < nodes_.size(); ++i) {
        nodeOfBlock_[nodes_[i].block] = int(i);
        if (nodes_[i].level == 1)
            for (const Entry& e : nodes_[i].entries)
                leafOfDataBlock_[e.child] = int(i);
    }
}

size_t PrimaryIndex::entryOf(int node, uint16_t child) const
{
    const auto& entries = nodes_[size_t(node)].entries;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].child == child)
            return i;
    throw Error("O índice " + fileNameOf(path_) + " não corresponde aos blocos da tabela.");
}

void PrimaryIndex::update(const std::vector<Leaf>& changed, const std::vector<std::pair<uint16_t, Leaf>>& added,
                          int stampDelta)
{
    for (const auto& [after, leaf] : added) {
        if (root_ < 0) {
            // The first block of an empty table.
            Node n;
            n.block = ++header_.blocksInFile;
            ++header_.blocksInUse;
            n.level = 1;
            n.dirty = true;
            n.entries.push_back({leaf.key, leaf.block, leaf.count});
            nodes_.push_back(std::move(n));
            root_ = int(nodes_.size()) - 1;
            header_.indexRoot = header_.firstBlock = header_.lastBlock = nodes_.back().block;
            header_.indexLevels = 1;
            indexNodes();
            continue;
        }
        const auto it = leafOfDataBlock_.find(after);
        if (it == leafOfDataBlock_.end())
            throw Error("O índice " + fileNameOf(path_) + " não corresponde aos blocos da tabela.");
        insertEntry(it->second, entryOf(it->second, after) + 1, {leaf.key, leaf.block, leaf.count});
    }
    for (const Leaf& leaf : changed) {
        const auto it = leafOfDataBlock_.find(leaf.block);
        if (it == leafOfDataBlock_.end())
            throw Error("O índice " + fileNameOf(path_) + " não corresponde aos blocos da tabela.");
        Entry& e = nodes_[size_t(it->second)].entries[entryOf(it->second, leaf.block)];
        e.key = leaf.key;
        e.count = leaf.count;
        nodes_[size_t(it->second)].dirty = true;
        refreshAncestors(it->second);
    }
    writeChanges(stampDelta);
}

void PrimaryIndex::refreshAncestors(int node)
{
    while (nodes_[size_t(node)].parent >= 0) {
        const Node& child = nodes_[size_t(node)];
        Node& parent = nodes_[size_t(child.parent)];
        uint32_t sum = 0;
        for (const Entry& e : child.entries)
            sum += e.count;
        if (sum > 0xFFFF)
            throw Error("A tabela é grande demais para o índice " + fileNameOf(path_) + ".");
        for (Entry& e : parent.entries) {
            if (e.child == child.block) {
                e.key = child.entries.front().key;
                e.count = uint16_t(sum);
            }
        }
        parent.dirty = true;
        node = child.parent;
    }
}

// A new index block, linked into the index's chain right after the block it
// came from, or at the head of the chain (after = -1) for a new root: other
// readers take the first block of the chain for the upper level.
int PrimaryIndex::newNode(int level, int parent, int after)
{
    if (header_.blocksInFile >= 0xFFFF)
        throw Error("O índice " + fileNameOf(path_) + " não tem mais espaço.");
    Node n;
    n.block = ++header_.blocksInFile;
    ++header_.blocksInUse;
    n.level = level;
    n.parent = parent;
    n.dirty = true;
    const int nextBlock = after < 0 ? header_.firstBlock : nodes_[size_t(after)].next;
    n.prev = after < 0 ? 0 : nodes_[size_t(after)].block;
    n.next = nextBlock;
    if (nextBlock) {
        Node& other = nodes_[size_t(nodeOfBlock_.at(nextBlock))];
        other.prev = n.block;
        other.dirty = true;
    } else {
        header_.lastBlock = n.block;
    }
    if (after < 0) {
        header_.firstBlock = n.block;
    } else {
        nodes_[size_t(after)].next = n.block;
        nodes_[size_t(after)].dirty = true;
    }
    nodes_.push_back(std::move(n));
    nodeOfBlock_[nodes_.back().block] = int(nodes_.size()) - 1;
    return int(nodes_.size()) - 1;
}

void PrimaryIndex::insertEntry(int node, size_t at, Entry entry)
{
    if (nodes_[size_t(node)].level == 1)
        leafOfDataBlock_[entry.child] = node;
    nodes_[size_t(node)].entries.insert(nodes_[size_t(node)].entries.begin() + ptrdiff_t(at), std::move(entry));
    nodes_[size_t(node)].dirty = true;
    if (int(nodes_[size_t(node)].entries.size()) <= capacity()) {
        refreshAncestors(node);
        return;
    }
    // Split: the upper half moves to a new block after this one.
    const int level = nodes_[size_t(node)].level;
    int parent = nodes_[size_t(node)].parent;
    if (parent < 0) {
        const int newRoot = newNode(level + 1, -1, -1);
        nodes_[size_t(newRoot)].entries.push_back({nodes_[size_t(node)].entries.front().key,
                                                   uint16_t(nodes_[size_t(node)].block), 0});
        nodes_[size_t(node)].parent = newRoot;
        root_ = newRoot;
        header_.indexRoot = nodes_[size_t(newRoot)].block;
        header_.indexLevels = level + 1;
        parent = newRoot;
    }
    const int sibling = newNode(level, parent, node);
    auto& from = nodes_[size_t(node)].entries;
    const size_t half = from.size() / 2;
    std::vector<Entry> moved(from.begin() + ptrdiff_t(half), from.end());
    from.resize(half);
    nodes_[size_t(sibling)].entries = std::move(moved);
    for (const Entry& e : nodes_[size_t(sibling)].entries) {
        if (level == 1)
            leafOfDataBlock_[e.child] = sibling;
        else
            nodes_[size_t(nodeOfBlock_.at(e.child))].parent = sibling;
    }
    refreshAncestors(node);
    size_t position = 0;
    auto& parentEntries = nodes_[size_t(parent)].entries;
    while (position < parentEntries.size() && parentEntries[position].child != nodes_[size_t(node)].block)
        ++position;
    insertEntry(parent, position + 1, {nodes_[size_t(sibling)].entries.front().key,
                                       uint16_t(nodes_[size_t(sibling)].block), 0});
    refreshAncestors(sibling);
}

std::vector<uint8_t> PrimaryIndex::blockBytes(const Node& n) const
{
    std::vector<uint8_t> b(size_t(header_.blockSize), 0);
    const Block view(b.data(), header_.recordSize);
    view.setNext(n.next);
    view.setPrev(n.prev);
    view.setCount(int(n.entries.size()));
    for (size_t i = 0; i < n.entries.size(); ++i) {
        uint8_t* e = view.record(int(i));
        std::memcpy(e, n.entries[i].key.data(), size_t(keyWidth_));
        putSortableShort(e + keyWidth_, n.entries[i].child);
        putSortableShort(e + keyWidth_ + 2, n.entries[i].count);
        putSortableShort(e + keyWidth_ + 4, 0);
    }
    return b;
}

// The header counts the entries of every level. The index records the
// table's data-change counter: both move together.
void PrimaryIndex::storeHeaderCounters(int stampDelta)
{
    uint32_t entries = 0;
    for (const Node& n : nodes_)
        entries += uint32_t(n.entries.size());
    header_.recordCount = entries;
    storeCounters(header_);
    header_.raw[offsets::stampCopy] = uint8_t(header_.raw[offsets::stampCopy] + stampDelta);
}

// The changed blocks, then the header, into the family's journal.
void PrimaryIndex::writeChanges(int stampDelta)
{
    for (Node& n : nodes_) {
        if (!n.dirty)
            continue;
        const auto b = blockBytes(n);
        journal_.write(path_, file_, b.data(), b.size(), int64_t(header_.headerSize) + int64_t(n.block - 1) * header_.blockSize);
        n.dirty = false;
    }
    storeHeaderCounters(stampDelta);
    journal_.write(path_, file_, header_.raw.data(), header_.raw.size(), 0);
}

void PrimaryIndex::rebuild(const std::vector<Leaf>& leaves, int stampDelta)
{
    nodes_.clear();
    root_ = -1;
    header_.blocksInFile = header_.blocksInUse = 0;
    header_.firstBlock = header_.lastBlock = 0;
    header_.indexRoot = 1;
    header_.indexLevels = 0;
    // Bulk fill leaves one free entry per block, as the engine's own rebuild does.
    const size_t fill = size_t(std::max(1, capacity() - 1));
    std::vector<int> level;
    for (size_t i = 0; i < leaves.size(); i += fill) {
        Node n;
        n.block = ++header_.blocksInFile;
        n.level = 1;
        for (size_t j = i; j < std::min(leaves.size(), i + fill); ++j)
            n.entries.push_back({leaves[j].key, leaves[j].block, leaves[j].count});
        level.push_back(int(nodes_.size()));
        nodes_.push_back(std::move(n));
    }
    int depth = level.empty() ? 0 : 1;
    while (level.size() > 1) {
        std::vector<int> upper;
        for (size_t i = 0; i < level.size(); i += fill) {
            Node n;
            n.block = ++header_.blocksInFile;
            n.level = depth + 1;
            const int self = int(nodes_.size());
            for (size_t j = i; j < std::min(level.size(), i + fill); ++j) {
                Node& child = nodes_[size_t(level[j])];
                child.parent = self;
                uint32_t sum = 0;
                for (const Entry& e : child.entries)
                    sum += e.count;
                if (sum > 0xFFFF)
                    throw Error("A tabela é grande demais para o índice " + fileNameOf(path_) + ".");
                n.entries.push_back({child.entries.front().key, uint16_t(child.block), uint16_t(sum)});
            }
            upper.push_back(self);
            nodes_.push_back(std::move(n));
        }
        level = std::move(upper);
        ++depth;
    }
    // The chain starts at the root, then the other blocks as allocated.
    std::vector<size_t> chain;
    if (!level.empty())
        chain.push_back(size_t(level.front()));
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (level.empty() || i != size_t(level.front()))
            chain.push_back(i);
    for (size_t i = 0; i < chain.size(); ++i) {
        nodes_[chain[i]].prev = i == 0 ? 0 : nodes_[chain[i - 1]].block;
        nodes_[chain[i]].next = i + 1 == chain.size() ? 0 : nodes_[chain[i + 1]].block;
    }
    header_.blocksInUse = header_.blocksInFile;
    if (!nodes_.empty()) {
        root_ = level.front();
        header_.indexRoot = nodes_[size_t(root_)].block;
        header_.indexLevels = depth;
        header_.firstBlock = nodes_[chain.front()].block;
        header_.lastBlock = nodes_[chain.back()].block;
    }
    storeHeaderCounters(stampDelta);

    std::vector<uint8_t> file = header_.raw;
    for (const Node& n : nodes_) {
        const auto b = blockBytes(n);
        file.insert(file.end(), b.begin(), b.end());
    }
    journal_.replace(path_, file_, file);
    for (Node& n : nodes_)
        n.dirty = false;
    indexNodes();
}

} // namespace paradox
