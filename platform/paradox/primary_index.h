#pragma once

#include "platform/paradox/header.h"

#include "platform/os/file.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace paradox {

class Journal;

// The primary index (.PX) of a keyed table: a tree whose leaf level holds one
// entry per data block, in chain order, with the block's first key and its
// record count; each upper entry holds its child's first key and the sum of
// its counts.
// One leaf entry: a data block with its first key and record count.
struct IndexLeaf {
    std::vector<uint8_t> key;
    uint16_t block = 0;
    uint16_t count = 0;
    bool operator==(const IndexLeaf&) const = default;
};

class PrimaryIndex {
public:
    using Leaf = IndexLeaf;

    // Loads the index file, read and written through the family's journal.
    // Raises Error when it can't be read or does not fit the table (key
    // fields of other types or sizes).
    PrimaryIndex(std::string path, const Header& table, Journal& journal);
    ~PrimaryIndex();
    PrimaryIndex(const PrimaryIndex&) = delete;
    PrimaryIndex& operator=(const PrimaryIndex&) = delete;

    // Whether the index describes exactly these data blocks.
    bool describes(const std::vector<Leaf>& leaves) const;

    // Brings the index in line with data blocks that changed (their count or
    // first key) and blocks newly linked into the chain, each right after
    // another block. stampDelta is added to the change stamp.
    void update(const std::vector<Leaf>& changed, const std::vector<std::pair<uint16_t, Leaf>>& added,
                int stampDelta);

    // Writes a new index file for the blocks, replacing the old one whole.
    void rebuild(const std::vector<Leaf>& leaves, int stampDelta);

    int levels() const { return header_.indexLevels; }
    const std::string& path() const { return path_; }
    int stamp() const { return header_.raw[offsets::stampCopy]; }

private:
    struct Entry {
        std::vector<uint8_t> key;
        uint16_t child = 0;
        uint16_t count = 0;
    };
    struct Node {
        int block = 0;
        int level = 0;  // 1 = leaf
        int parent = -1;
        int next = 0;
        int prev = 0;
        bool dirty = false;
        std::vector<Entry> entries;
    };

    void load();
    int loadNode(const std::vector<uint8_t>& image, int block, int level, int parent, std::vector<bool>& seen);
    std::vector<std::pair<int, int>> leafPositions() const;
    void indexNodes();
    size_t entryOf(int node, uint16_t child) const;
    void insertEntry(int node, size_t at, Entry entry);
    void refreshAncestors(int node);
    int newNode(int level, int parent, int after);
    std::vector<uint8_t> blockBytes(const Node& n) const;
    void writeChanges(int stampDelta);
    void storeHeaderCounters(int stampDelta);
    int capacity() const;

    void reopen();

    std::string path_;
    Journal& journal_;
    os::File file_;  // kept open for writing while the index is in use
    Header header_;
    int keyWidth_ = 0;
    std::vector<Node> nodes_;
    int root_ = -1;  // node index
    std::unordered_map<int, int> nodeOfBlock_;      // index block -> node
    std::unordered_map<int, int> leafOfDataBlock_;  // data block -> leaf node
};

} // namespace paradox
